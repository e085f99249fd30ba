#include "logger/AutoLoadCycle.h"

#include "data/LoggerMemory.h"
#include "logger/AutoLoadDevice.h"
#include "logger/DumpFile.h"
#include "logger/SetupFrames.h"
#include "meter/MeterClock.h"

#include <QDir>
#include <QFileInfo>

namespace {
// RAII for the running flag, so that a throwing step cannot leave it set.
class RunningFlag
{
public:
    explicit RunningFlag(bool& flag) : flag_(flag) { flag_ = true; }
    ~RunningFlag() { flag_ = false; }
    RunningFlag(const RunningFlag&) = delete;
    RunningFlag& operator=(const RunningFlag&) = delete;

private:
    bool& flag_;
};

QString downloadFailure(LoadResult result, const TransferReport& transfer)
{
    switch (result) {
    case LoadResult::BadSize:
        return transfer.usedSize == 0
                   ? QStringLiteral("the meter's used memory size could not be read")
                   : QStringLiteral("the meter reported a used memory size of %1 bytes, which "
                                    "no logger memory has")
                         .arg(transfer.usedSize);
    case LoadResult::NoHandshake:
        return QStringLiteral("the meter did not acknowledge the start of the transfer");
    case LoadResult::Incomplete:
        return QStringLiteral("the download broke off after %1 of %2 bytes")
            .arg(transfer.receivedBytes)
            .arg(transfer.totalBytes);
    default:
        return QStringLiteral("the download failed (%1)").arg(loadResultName(result));
    }
}

QString decodeFailure(const DumpFile::AllSetsOutcome& written)
{
    switch (written.result) {
    case LoadResult::NoData:
        return QStringLiteral("the meter's memory holds no data sets");
    case LoadResult::MemoryError:
        return QStringLiteral("the meter's memory counts more than 4000 data sets");
    case LoadResult::DataError:
        return QStringLiteral("data set %1 in the meter's memory is damaged after byte %2")
            .arg(written.errorPosition.badSetIndex + 1)
            .arg(written.errorPosition.badOffset);
    default:
        return QStringLiteral("the data sets could not be read (%1)")
            .arg(loadResultName(written.result));
    }
}
} // namespace

AutoLoadCycle::AutoLoadCycle(AutoLoadDevice& device, LoggerMemory& memory, MeterClock& clock)
    : device_(device), memory_(memory), clock_(clock)
{
}

AutoLoadOutcome AutoLoadCycle::dumpAndClearMemory()
{
    AutoLoadOutcome outcome;
    outcome.started = clock_.currentDateTime();
    if (running_) {
        outcome.result = AutoLoadOutcome::Result::Skipped;
        outcome.reason = QStringLiteral("a cycle is already running");
    } else if (device_.deviceLent()) {
        outcome.result = AutoLoadOutcome::Result::Skipped;
        outcome.reason = QStringLiteral("another logger command holds the serial device");
    } else {
        const RunningFlag flag(running_);
        runCycle(outcome);
    }
    const QString logDirectory = logDirectory_.isEmpty() ? dataDirectory_ : logDirectory_;
    // Also a cycle that failed before writing anything leaves its line.
    (void)QDir().mkpath(logDirectory);
    outcome.logError = AutoLoadLog::append(logDirectory, outcome, locale_);
    return outcome;
}

void AutoLoadCycle::runCycle(AutoLoadOutcome& outcome)
{
    const bool stateKnown =
        device_.recordingKnown() || device_.awaitFreshFrames(FreshFramesLimitMs);
    device_.writeLive(SetupFrames::c());
    clock_.Delay(AfterClearMs);
    if (stateKnown && device_.meterRecording())
        device_.writeLive(SetupFrames::recordKey()); // stops the recording
    device_.releaseTick();

    downloadAndKeep(outcome);
    if (!stateKnown && outcome.reason.isEmpty())
        outcome.reason = QStringLiteral("no live frame told whether the meter records; a "
                                        "record it may be growing is not in the download");
    if (outcome.reason.isEmpty())
        eraseMemory(outcome);
    finish(stateKnown, outcome);
}

void AutoLoadCycle::downloadAndKeep(AutoLoadOutcome& outcome)
{
    memory_.clearImage();
    outcome.download = device_.downloadMemory(memory_);
    if (outcome.download != LoadResult::Ok) {
        memory_.clearImage();
        outcome.reason = downloadFailure(outcome.download, device_.lastTransfer());
        return;
    }
    if (!QDir().mkpath(dataDirectory_)) {
        memory_.clearImage();
        outcome.reason = QStringLiteral("cannot create the directory %1").arg(dataDirectory_);
        return;
    }
    const DumpFile::AllSetsOutcome written = DumpFile::exportAllDataSets(
        memory_.memoryImage(), memory_.memoryEnd(), dataDirectory_, outcome.started, locale_);
    memory_.clearImage();

    for (const DumpFile::WrittenDump& dump : written.dumps) {
        ++outcome.sets;
        outcome.samples += dump.samples;
        outcome.files << QFileInfo(dump.path).fileName();
    }
    if (!written.imagePath.isEmpty())
        outcome.files << QFileInfo(written.imagePath).fileName();
    if (written.result != LoadResult::Ok)
        outcome.reason = decodeFailure(written);
    else if (!written.complete)
        outcome.reason = written.error;
}

void AutoLoadCycle::eraseMemory(AutoLoadOutcome& outcome)
{
    device_.writeLogger(SetupFrames::erase());
    clock_.Delay(AfterEraseMs);
    const std::optional<int> left = device_.readStoredSetCount();
    if (!left) {
        outcome.result = AutoLoadOutcome::Result::EraseUnconfirmed;
        outcome.reason =
            QStringLiteral("the meter did not answer the data set count after the erase");
    } else if (*left != 0) {
        outcome.result = AutoLoadOutcome::Result::NothingErased;
        outcome.reason =
            QStringLiteral("the meter still reports %1 data sets after the erase").arg(*left);
    } else {
        outcome.result = AutoLoadOutcome::Result::Emptied;
    }
}

void AutoLoadCycle::finish(bool restartMeter, AutoLoadOutcome& outcome)
{
    // The meter restarts and records again whether or not it was erased:
    // it was recording when the cycle began, or Start asked it to.
    if (restartMeter) {
        device_.writeLogger(SetupFrames::boot());
        clock_.Delay(AfterBootMs);
        device_.writeLogger(SetupFrames::recordKey());
        clock_.Delay(AfterRecordMs);
    }

    device_.closeLoggerPort();
    clock_.Delay(PortSwitchMs);
    device_.openLivePort();
    clock_.Delay(PortSwitchMs);
    device_.writeLive(SetupFrames::startLive());
    clock_.Delay(AfterLiveStartMs);
    if (restartMeter && !confirmRecordingAgain()) {
        const QString notRecording =
            QStringLiteral("the meter is not recording again after the cycle");
        outcome.reason = outcome.reason.isEmpty()
                             ? notRecording
                             : outcome.reason + QStringLiteral("; ") + notRecording;
    }
    device_.startMainTimer();
}

bool AutoLoadCycle::confirmRecordingAgain()
{
    for (int check = 0; check < RecordingChecks; ++check) {
        if (!device_.awaitFreshFrames(FreshFramesLimitMs)) {
            // Still silent (a meter slow to come back from its restart):
            // ask for the stream again, press nothing blind.
            device_.writeLive(SetupFrames::startLive());
            continue;
        }
        if (device_.meterRecording())
            return true;
        // The key went out while the meter was not listening yet.
        device_.writeLive(SetupFrames::recordKey());
    }
    return device_.awaitFreshFrames(FreshFramesLimitMs) && device_.meterRecording();
}
