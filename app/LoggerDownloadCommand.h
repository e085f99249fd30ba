#pragma once

// The main window's "Load Data" command (LoadData1Click) put together: the
// logger port on the main window's link, the memory image, the window-free
// load command, and its windows (WindowLoggerUi with the "DataLogger" graph
// window). A load that ends with Ok marks the logger data unsaved.
//
// Contract: owned by the main window and created once; main thread only;
// run() blocks until the command ends and leaves the device with the live
// port (LoggerLoad's contract).

#include "app/LoggerDialogs.h"
#include "app/LoggerGraphWindow.h"
#include "app/LoggerArchiving.h"
#include "app/WindowLoggerUi.h"
#include "data/LoggerMemory.h"
#include "logger/LoggerLoad.h"
#include "logger/LoggerPort.h"

class ArchiveSession;
class DataSetCollection;
class MeterLink;
class QMdiArea;
struct GraphWindowState;

class LoggerDownloadCommand
{
public:
    struct Context
    {
        QWidget* mainWindow = nullptr;
        QMdiArea* mdiArea = nullptr;
        MeterLink* link = nullptr;
        GraphWindowState* graphs = nullptr;
        DataSetCollection* dataSets = nullptr;
        // Creates or restores the "DataLogger" graph window.
        LoggerGraphWindow::OpenWindow openLoggerGraph;
        // Where "temp/DataSetsTemp.tmp" goes.
        QString dataDirectory;
        LoggerDialogs dialogs = LoggerDialogs::modal();
        // Where every load is kept besides its window; null: nowhere.
        ArchiveSession* archive = nullptr;
        // The meter's model and port, as the archive records them.
        LoggerArchiving::MeterSource meter;
    };

    explicit LoggerDownloadCommand(Context context);

    LoadCommandOutcome run();

    // What the last load's store in the archive gave; empty when nothing
    // was stored.
    [[nodiscard]] const std::optional<LoggerArchiveResult>& lastStore() const
    {
        return lastStore_;
    }

    [[nodiscard]] LoggerPort& port() { return port_; }
    [[nodiscard]] LoggerMemory& memory() { return memory_; }
    [[nodiscard]] LoggerLoad& load() { return load_; }
    [[nodiscard]] WindowLoggerUi& ui() { return ui_; }

private:
    void keepInArchive(const LoadCommandOutcome& outcome);

    QWidget* mainWindow_;
    DataSetCollection& dataSets_;
    ArchiveSession* archive_;
    LoggerArchiving::MeterSource meter_;
    std::optional<LoggerArchiveResult> lastStore_;
    GraphWindowState& graphs_;
    LoggerPort port_;
    LoggerMemory memory_;
    LoggerGraphWindow graphWindow_;
    WindowLoggerUi ui_;
    LoggerLoad load_;
};
