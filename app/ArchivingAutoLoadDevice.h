#pragma once

// The auto-load cycle's device with the archive in between: each memory the
// cycle downloads is stored in the archive (the image and its data sets, kind
// autoload) as soon as the download ends, before the cycle erases the meter.
// Every other operation goes to the device it wraps unchanged.

#include "app/LoggerSetsStore.h"
#include "logger/AutoLoadDevice.h"

#include <functional>

class ArchiveSession;
class MeterClock;

class ArchivingAutoLoadDevice : public AutoLoadDevice
{
public:
    ArchivingAutoLoadDevice(AutoLoadDevice& device, ArchiveSession& session, MeterClock& clock,
                            std::function<LoggerSetsStore::Meter()> meter);

    [[nodiscard]] bool meterRecording() const override { return device_.meterRecording(); }
    [[nodiscard]] bool recordingKnown() const override { return device_.recordingKnown(); }
    [[nodiscard]] bool awaitFreshFrames(int limitMs) override
    {
        return device_.awaitFreshFrames(limitMs);
    }
    [[nodiscard]] bool deviceLent() const override { return device_.deviceLent(); }
    void writeLive(const QByteArray& frame) override { device_.writeLive(frame); }
    void releaseTick() override { device_.releaseTick(); }
    [[nodiscard]] LoadResult downloadMemory(LoggerMemory& memory) override;
    [[nodiscard]] TransferReport lastTransfer() const override { return device_.lastTransfer(); }
    void writeLogger(const QByteArray& frame) override { device_.writeLogger(frame); }
    [[nodiscard]] std::optional<int> readStoredSetCount() override
    {
        return device_.readStoredSetCount();
    }
    void closeLoggerPort() override { device_.closeLoggerPort(); }
    void openLivePort() override { device_.openLivePort(); }
    void startMainTimer() override { device_.startMainTimer(); }

    // What the last download's store gave; empty before the first.
    [[nodiscard]] const std::optional<LoggerSetsStoreOutcome>& lastStore() const
    {
        return lastStore_;
    }

private:
    AutoLoadDevice& device_;
    ArchiveSession& session_;
    MeterClock& clock_;
    std::function<LoggerSetsStore::Meter()> meter_;
    std::optional<LoggerSetsStoreOutcome> lastStore_;
};
