#pragma once

// An auto-load device that hands each memory it downloaded whole to a
// keeper before the cycle goes on (and before it erases anything), and
// passes everything else through to the device it wraps. The program and
// audimark-cli autoload keep each memory in the archive this way.

#include "logger/AutoLoadDevice.h"

#include <functional>

class KeepingAutoLoadDevice : public AutoLoadDevice
{
public:
    // keeper gets the memory of each download that ended Ok.
    KeepingAutoLoadDevice(AutoLoadDevice& device,
                            std::function<void(const LoggerMemory&)> keeper);

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

private:
    AutoLoadDevice& device_;
    std::function<void(const LoggerMemory&)> keeper_;
};
