#pragma once

// The main window's scheduled auto-loading: Start and Stop Auto Loading with
// the schedule dialog (TfrmAutoLoad), the schedule check of the one-second
// tick, the cycle of dump_and_clear_memory and of the one-minute test, and
// the text of the status bar's third panel. The behaviour lives in the core
// (AutoLoadSchedule, AutoLoadCycle); this class reads the dialog and shows
// the results.
//
// Contract: owned by the main window, main thread only. The cycle shares the
// "Load Data" command's logger port, memory image and windows, so it shows
// the same information window and transfer progress. A cycle blocks the
// main thread for about 13 s plus the transfer.

#include "app/LoggerArchiving.h"
#include "app/TfrmAutoLoad.h"
#include "files/dialogs/FileDialogRunner.h"
#include "logger/AutoLoadCycle.h"
#include "logger/AutoLoadSchedule.h"
#include "logger/LinkAutoLoadDevice.h"
#include "logger/MemoryDownload.h"

#include <QObject>
#include <QPointer>

#include <functional>
#include <memory>
#include <optional>

class ArchiveSession;
class LoggerDownloadCommand;
class MeterLink;

class AutoLoadCommands : public QObject
{
    Q_OBJECT

public:
    static inline const QString ModeText = QStringLiteral("Auto Loading Mode");
    // In the third status panel while a cycle blocks the program.
    static inline const QString CycleRunningText =
        QStringLiteral("Auto loading: emptying the meter's memory .....");

    struct Context
    {
        QWidget* mainWindow = nullptr; // parent of the dialog and the messages
        MeterLink* link = nullptr;
        // The "Load Data" command, whose port, memory and windows the cycle uses.
        std::function<LoggerDownloadCommand&()> loggerDownload;
        // Where the dump files and autoload.log go.
        QString dataDirectory;
        // exec shows the schedule dialog, inform the message on bad hours.
        FileDialogRunner dialogs = FileDialogRunner::modal();
        // Where each cycle's download is kept besides its files; null: nowhere.
        ArchiveSession* archive = nullptr;
        // The meter's model and port, as the archive records them.
        LoggerArchiving::MeterSource meter;
    };

    explicit AutoLoadCommands(Context context, QObject* parent = nullptr);
    ~AutoLoadCommands() override;

    void StartAutoLoading1Click();
    void StopAutoLoading1Click();
    // One cycle (dump_and_clear_memory, the one-minute test, the schedule).
    AutoLoadOutcome dumpAndClearMemory();
    // Sends the recording key "E" on the live port unless the meter records.
    void startRecordingIfIdle();
    // The tick's check, with the tick's time; runs a due cycle.
    void checkSchedule(const QDateTime& now);

    [[nodiscard]] const AutoLoadSchedule& schedule() const { return schedule_; }
    // The schedule dialog once it was shown (null before).
    [[nodiscard]] TfrmAutoLoad* dialog() const { return dialog_; }
    [[nodiscard]] const std::optional<AutoLoadOutcome>& lastOutcome() const { return last_; }
    // "Auto Loading Mode, next <date> <time>" while on, else empty.
    [[nodiscard]] QString statusText() const;

    // The message shown for an hour text that is not 1 to 24.
    [[nodiscard]] static QString badHoursText(const QString& text);

signals:
    // The third status panel's text changed.
    void statusTextChanged(const QString& text);
    // A cycle ended; its log line, for a person looking at the window.
    void cycleFinished(const QString& logLine);

private:
    AutoLoadCycle& cycle();
    void showStatus();

    Context context_;
    AutoLoadSchedule schedule_;
    QPointer<TfrmAutoLoad> dialog_;
    std::unique_ptr<MemoryDownload> download_;
    std::unique_ptr<LinkAutoLoadDevice> device_;
    // device_ with the archive in between, when there is one.
    std::unique_ptr<AutoLoadDevice> archivingDevice_;
    std::unique_ptr<AutoLoadCycle> cycle_;
    std::optional<AutoLoadOutcome> last_;
};
