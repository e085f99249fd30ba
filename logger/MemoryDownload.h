#pragma once

// Reads the meter's logger memory into the memory image: the hand-over of
// the device to the logger port, the read of the used size, the "P"
// handshake and the transfer in 65-byte blocks (64 image bytes and their sum
// modulo 256), each answered with "y" (accepted) or "n" (send it again).
//
// Timing, all measured on the link's MeterClock as elapsed time: 2 s after
// opening the logger port (the drain), 200 ms per echo check, up to 10 "y"
// 100 ms apart until the next block starts, a fragment older than 1.5 s is
// dropped with "n", and 3 s without a block end the transfer. More than 20
// rejected blocks or fragments, or more bytes than the total, end it with "Q".
//
// Contract: downloadMemory() leaves Comm1 closed and Comm2 open (also after a
// failure); the caller gives the device back (LoggerPort::giveBack).

#include "logger/LoadResult.h"

class LoggerMemory;
class LoggerPort;
class LoggerUi;

// What the last transfer did, for progress reports and tests.
struct TransferReport
{
    int usedSize = 0;      // 0 when the size could not be read
    int totalBytes = 0;    // used size rounded up to whole 64-byte blocks
    int receivedBytes = 0; // image bytes accepted
    int retries = 0;       // rejected blocks and dropped fragments
    bool quitSent = false; // the transfer was stopped with "Q"
};

class MemoryDownload
{
public:
    static constexpr int MinUsedSize = 256;
    static constexpr int MaxUsedSize = 0x18000;
    static constexpr int BlockData = 64;
    static constexpr int BlockSize = 65;
    static constexpr int MaxRetries = 20;
    static constexpr int OpenSettleMs = 2000;
    static constexpr double DrainLimitSeconds = 2.0;
    static constexpr double FragmentAgeSeconds = 1.5;
    static constexpr double SilenceSeconds = 3.0;
    static constexpr int AckAttempts = 10;
    static constexpr int AckWaitMs = 100;

    MemoryDownload(LoggerPort& port, LoggerUi& ui);

    // The transfer into memory's image (appended to; the caller empties it
    // first). Sets memory's memory end to the used size - 1.
    [[nodiscard]] LoadResult downloadMemory(LoggerMemory& memory);
    // The used size: (control byte 0x0C x 256 + control byte 0x0D) + 1, or 0
    // when an echo or a reply byte count is wrong.
    [[nodiscard]] int readEndAddress();

    [[nodiscard]] const TransferReport& lastTransfer() const { return report_; }
    [[nodiscard]] static int totalBytesFor(int usedSize);

private:
    void transfer(LoggerMemory& memory);
    void acceptBlock();

    LoggerPort& port_;
    LoggerUi& ui_;
    TransferReport report_;
};
