#pragma once

// The logger commands' windows on a terminal: the information text, the
// transfer progress and the messages go to a text stream (standard error);
// questions are answered without asking: Retry as often as allowed, then OK
// to the data error question when the repair was asked for, else Cancel.
// There is no graph window; the rows and the shown set are ignored.
//
// Told where to look (explainFrom), it also says which data set is damaged
// before the data error question, and it stops retrying a failed read once
// the meter's device is gone: retrying a port that no longer exists only
// hides the real failure.

#include "logger/LoggerUi.h"

#include <QString>
#include <QTextStream>

class LoggerMemory;
class MemoryDownload;

enum class Verbosity
{
    Quiet,
    Normal,
    Verbose
};

enum class ProgressStyle
{
    None,    // no progress at all
    InPlace, // one line rewritten after '\r'
    Lines    // one line per step
};

[[nodiscard]] ProgressStyle progressStyleFor(Verbosity verbosity, bool terminal);
// Whether standard error is a terminal.
[[nodiscard]] bool standardErrorIsTerminal();

struct ConsoleAnswers
{
    int retries = 0;     // Retry answers before any other
    bool repair = false; // then OK to the data error question: the repair
};

class ConsoleLoggerUi : public LoggerUi
{
public:
    ConsoleLoggerUi(QTextStream& out, ConsoleAnswers answers,
                    ProgressStyle progress = ProgressStyle::Lines, bool showInfo = true)
        : out_(out), retriesLeft_(answers.retries), repair_(answers.repair), progress_(progress),
          showInfo_(showInfo)
    {
    }

    // The objects of the running load; they must outlive the questions.
    void explainFrom(const LoggerMemory& memory, const MemoryDownload& download,
                     const QString& devicePath);
    // Why the reads failed, when the device went away during the command;
    // empty otherwise.
    [[nodiscard]] const QString& portGoneNote() const { return portGoneNote_; }

    void showInfo(const QString& text) override;
    void closeInfo() override {}
    void showTransferProgress(int totalBytes) override;
    void setBytesReceived(int bytesReceived) override;
    void repaintTransferProgress() override {}
    void closeTransferProgress() override;
    void showMessage(const QString& text) override;
    [[nodiscard]] Answer ask(const QString& text, Buttons buttons) override;
    void showError(const QString& text) override;
    bool prepareLoggerWindow() override { return false; }
    void showDataSetRows(const QList<DataSetListRow>&) override {}
    void showDataSet(int) override {}

private:
    [[nodiscard]] bool deviceGone() const;
    [[nodiscard]] Answer choose(Buttons buttons);

    QTextStream& out_;
    int retriesLeft_;
    bool repair_;
    ProgressStyle progress_;
    bool showInfo_;
    int totalBytes_ = 0;
    const LoggerMemory* memory_ = nullptr;
    const MemoryDownload* download_ = nullptr;
    QString devicePath_;
    QString portGoneNote_;
};
