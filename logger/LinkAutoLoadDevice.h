#pragma once

// The auto-load cycle's serial operations on the program's meter link: the
// live port Comm1, the logger port Comm2 with the shared logger frame, and
// the memory download.
//
// Live frames are written from a frame of their own, so the link's shared
// live frame (which the take-over of the download writes once more) stays
// the "X" request it was, and a recording key sent here is never repeated.

#include "logger/AutoLoadDevice.h"

class LoggerPort;
class MemoryDownload;

class LinkAutoLoadDevice : public AutoLoadDevice
{
public:
    // None is owned; download works on port.
    LinkAutoLoadDevice(LoggerPort& port, MemoryDownload& download);

    [[nodiscard]] bool meterRecording() const override;
    [[nodiscard]] bool deviceLent() const override;
    void writeLive(char letter) override;
    void releaseTick() override;
    [[nodiscard]] LoadResult downloadMemory(LoggerMemory& memory) override;
    [[nodiscard]] TransferReport lastTransfer() const override;
    void writeLogger(const CommandFrame& frame) override;
    [[nodiscard]] std::optional<int> readStoredSetCount() override;
    void closeLoggerPort() override;
    void openLivePort() override;
    void startMainTimer() override;

private:
    [[nodiscard]] std::optional<int> readControlByte(quint32 address);

    LoggerPort& port_;
    MemoryDownload& download_;
};
