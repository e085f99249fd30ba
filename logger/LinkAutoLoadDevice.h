#pragma once

// The auto-load cycle's serial operations on the program's meter link: the
// live port Comm1, the memory download, and the logger setup's exchanges on
// the logger port Comm2 (unchecked frames, the information read).
//
// Live frames are written as given, never through the link's shared live
// frame, so that frame stays the "X" request it was (the download's
// take-over writes it once more) and a recording key is never repeated.

#include "logger/AutoLoadDevice.h"
#include "logger/LoggerSetupPort.h"

class LoggerPort;
class MemoryDownload;

class LinkAutoLoadDevice : public AutoLoadDevice
{
public:
    // None is owned; download works on port.
    LinkAutoLoadDevice(LoggerPort& port, MemoryDownload& download);

    [[nodiscard]] bool meterRecording() const override;
    [[nodiscard]] bool recordingKnown() const override;
    [[nodiscard]] bool awaitFreshFrames(int limitMs) override;
    [[nodiscard]] bool deviceLent() const override;
    void writeLive(const QByteArray& frame) override;
    void releaseTick() override;
    [[nodiscard]] LoadResult downloadMemory(LoggerMemory& memory) override;
    [[nodiscard]] TransferReport lastTransfer() const override;
    void writeLogger(const QByteArray& frame) override;
    [[nodiscard]] std::optional<int> readStoredSetCount() override;
    void closeLoggerPort() override;
    void openLivePort() override;
    void startMainTimer() override;

private:
    LoggerPort& port_;
    MemoryDownload& download_;
    LoggerSetupPort setup_;
};
