#pragma once

// The "Load Data" command of the data logger without its windows: the checks
// before a download, the DataLogger window, the load (download, decode, the
// temporary image file, data set 0), the messages and questions on failure,
// Retry, the repair on OK, and the return of the device to the live port.
//
// Contract: loadDataCommand() blocks the main thread until the command ends.
// Whenever it got past its checks, it ends with Comm2 closed, Comm1 open and
// MainTimer running, whatever happened (also when the logger port could not
// be opened: that ends as a failed read, with the Retry/Cancel question).
// The memory image is empty after every load.

#include "logger/LoadResult.h"
#include "logger/MemoryDownload.h"

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <utility>

class DataSetCollection;
class LoggerMemory;
class LoggerPort;
class LoggerUi;

struct LoadCommandOutcome
{
    bool started = false;               // got past the connection and recording checks
    LoadResult result = LoadResult::Ok; // of the last load
    int loads = 0;                      // loads run (1 + Retry answers)
    bool dataLoaded = false;            // a load ended with Ok: the data is unsaved
    bool repaired = false;              // the damaged set was dropped (answer OK)
    bool aborted = false;               // ended by an error (the temp directory)
    // Of the first load: the first failure when no load ended Ok.
    LoadResult firstResult = LoadResult::Ok;
    // The image of the last load whose transfer was complete, decoded or not
    // (empty when none was): the memory itself is emptied after every load,
    // and a command-line caller saves it, also when it did not decode.
    QByteArray image;
};

class LoggerLoad
{
public:
    LoggerLoad(LoggerPort& port, LoggerMemory& memory, DataSetCollection& collection, LoggerUi& ui);

    // Where "temp/DataSetsTemp.tmp" goes; empty: no temporary file.
    void setDataDirectory(const QString& directory) { dataDirectory_ = directory; }
    // For the date column of the data set list.
    void setLocale(const QLocale& locale) { locale_ = locale; }

    // The command (the main window's LoadData1Click calls it).
    LoadCommandOutcome loadDataCommand();
    // One load: empty image, download, decode, temporary file, data set 0;
    // the result of the first step that failed. Throws LoadAborted when the
    // temp directory can be neither found nor created.
    [[nodiscard]] LoadResult loadLoggerData();

    [[nodiscard]] const MemoryDownload& download() const { return download_; }

    // The error that ends a load; what() is the directory path.
    class LoadAborted
    {
    public:
        explicit LoadAborted(QString text) : text_(std::move(text)) {}
        [[nodiscard]] const QString& text() const { return text_; }

    private:
        QString text_;
    };

private:
    void handleResult(LoadResult result, LoadCommandOutcome& outcome, bool& again);

    LoggerPort& port_;
    LoggerMemory& memory_;
    DataSetCollection& collection_;
    LoggerUi& ui_;
    MemoryDownload download_;
    QByteArray downloadedImage_;
    QString dataDirectory_;
    QLocale locale_;
};
