#include "app/AutoLoadCommands.h"

#include "app/LoggerDownloadCommand.h"
#include "files/dialogs/BusyCursor.h"
#include "logger/DateTimeValue.h"
#include "logger/KeepingAutoLoadDevice.h"
#include "logger/SetupFrames.h"
#include "meter/MeterLink.h"

AutoLoadCommands::AutoLoadCommands(Context context, QObject* parent)
    : QObject(parent), context_(std::move(context))
{
}

AutoLoadCommands::~AutoLoadCommands()
{
    delete dialog_;
}

QString AutoLoadCommands::badHoursText(const QString& text)
{
    return QStringLiteral("\"%1\" is not a whole number of hours from %2 to %3.\n"
                          "Auto loading has not been started.")
        .arg(text)
        .arg(AutoLoadSchedule::MinHours)
        .arg(AutoLoadSchedule::MaxHours);
}

QString AutoLoadCommands::statusText() const
{
    if (!schedule_.AutoLoadEnabled())
        return {};
    const QLocale locale;
    const QDateTime next = schedule_.NextAutoLoad();
    return QStringLiteral("%1, next %2 %3")
        .arg(ModeText,
             locale.toString(next.date(), DateTimeValue::fourDigitYearShortDateFormat(locale)),
             locale.toString(next.time(), QLocale::ShortFormat));
}

void AutoLoadCommands::showStatus()
{
    emit statusTextChanged(statusText());
}

AutoLoadCycle& AutoLoadCommands::cycle()
{
    if (!cycle_) {
        LoggerDownloadCommand& load = context_.loggerDownload();
        download_ = std::make_unique<MemoryDownload>(load.port(), load.ui());
        device_ = std::make_unique<LinkAutoLoadDevice>(load.port(), *download_);
        AutoLoadDevice* device = device_.get();
        if (context_.archive) {
            // Kept before the cycle erases the meter.
            archivingDevice_ = std::make_unique<KeepingAutoLoadDevice>(
                *device_, [this](const LoggerMemory& memory) {
                    (void)LoggerArchiving::keepMemory(
                        *context_.archive, memory.memoryImage(), memory.memoryEnd(),
                        context_.link->clock().currentDateTime(),
                        LoggerArchiving::sourceOf(MeasurementKind::AutoLoad, context_.meter));
                });
            device = archivingDevice_.get();
        }
        cycle_ = std::make_unique<AutoLoadCycle>(*device, load.memory(), context_.link->clock());
        cycle_->setDataDirectory(context_.dataDirectory);
    }
    return *cycle_;
}

void AutoLoadCommands::StartAutoLoading1Click()
{
    if (!dialog_)
        dialog_ = new TfrmAutoLoad(context_.mainWindow);
    if (context_.dialogs.exec(*dialog_) != QDialog::Accepted) {
        schedule_.stop();
        showStatus();
        return;
    }
    const QString text = dialog_->hourText();
    const std::optional<int> hours = AutoLoadSchedule::parseHours(text);
    if (!hours) {
        context_.dialogs.inform(context_.mainWindow, badHoursText(text));
        return;
    }
    schedule_.start(*hours, context_.link->clock().currentDateTime());
    showStatus();
    startRecordingIfIdle();
}

void AutoLoadCommands::StopAutoLoading1Click()
{
    schedule_.stop();
    showStatus();
}

void AutoLoadCommands::startRecordingIfIdle()
{
    (void)cycle();
    // The key toggles: a meter no frame has shown idle is not pressed.
    const bool known =
        device_->recordingKnown() || device_->awaitFreshFrames(AutoLoadCycle::FreshFramesLimitMs);
    if (known && !device_->meterRecording())
        device_->writeLive(SetupFrames::recordKey());
}

AutoLoadOutcome AutoLoadCommands::dumpAndClearMemory()
{
    AutoLoadCycle& running = cycle();
    running.setLocale(QLocale());
    {
        // A cycle blocks for seconds (the erase alone waits five): say what
        // is waited for, with the busy cursor, until it ends.
        const BusyCursor busy(context_.mainWindow);
        emit statusTextChanged(CycleRunningText);
        last_ = running.dumpAndClearMemory();
    }
    showStatus();
    emit cycleFinished(AutoLoadLog::line(*last_, QLocale()));
    return *last_;
}

void AutoLoadCommands::checkSchedule(const QDateTime& now)
{
    if (!schedule_.takeDue(now, context_.link->MeterConnected()))
        return;
    showStatus();
    (void)dumpAndClearMemory();
}
