#pragma once

// The data logger of a virtual model 842: its 65,536-byte memory and its
// answers to the logger command frames 02 letter 45 A2 A1 A0 D 03 (address
// A2 A1 A0 most significant first, data byte D):
//   "r"  exact 8-byte echo, then the memory byte at the address
//   "w"  writes D at the address; exact echo, then the byte now stored
//   "P"  exact echo, then the memory from address 0 in 65-byte blocks
//        (64 bytes and their sum modulo 256), one block at a time
//   "y"  the next block; nothing after the last one (used size = end address
//        at 0x0C-0x0D + 1, rounded up to whole blocks)
//   "n"  the same block again
//   "Q"  the transfer stops
// A "y" or "n" that arrives while a block is still on the line answers
// nothing: it cannot refer to that block yet.
//
// Faults, all off by default, spoil chosen answers; see LoggerFaults.
//
// Contract: driven by MeterProtocol from one thread; answers are appended to
// the caller's output list.

#include <QByteArray>
#include <QMap>
#include <QSet>

#include <chrono>
#include <cstdint>
#include <optional>

namespace vmeter {

using SteadyTime = std::chrono::steady_clock::time_point;

struct LoggerFaults
{
    // Block number -> how many times it goes out with a wrong check byte
    // (0: every time).
    QMap<int, int> badCheckBlocks;
    // Transfer bytes after which the logger falls silent (negative: never).
    qint64 silenceAfterBytes = -1;
    // Letters whose frames get no echo at all.
    QByteArray noEchoLetters;
    // Letters whose echo comes back with one parameter byte changed.
    QByteArray changedEchoLetters;
    // Control addresses whose "r" is echoed but gets no data byte.
    QSet<int> failedReadAddresses;
    // Used size reported in the control page (1..65536), replacing the real one.
    std::optional<int> usedSize;
    // Set numbers (from 0) whose start marker, or end marker, is damaged.
    QSet<int> damagedStartSets;
    QSet<int> damagedEndSets;
};

struct LoggerSettings
{
    // The memory image; shorter images are padded with 0xFF, longer ones cut.
    // Empty: generatedSets plausible sets from seed.
    QByteArray memory;
    int generatedSets = 0;
    std::uint32_t seed = 1;
    LoggerFaults faults;
};

struct LoggerMessage
{
    enum class Kind
    {
        Echo,
        Block
    };
    Kind kind = Kind::Echo;
    QByteArray bytes;
};

class MeterLogger
{
public:
    static constexpr int memorySize = 65536;
    static constexpr int blockData = 64;
    static constexpr int blockSize = 65;

    // byteTime: how long one byte takes on the line (0 when unpaced).
    MeterLogger(const LoggerSettings& settings, std::chrono::microseconds byteTime);

    // True when the letter is a logger command (the frame is then handled).
    [[nodiscard]] static bool isLoggerLetter(char letter);
    void handleFrame(const QByteArray& frame, SteadyTime now, QList<LoggerMessage>& out);

    [[nodiscard]] const QByteArray& memory() const { return memory_; }
    // Used size from the control page: (byte 0x0C x 256 + byte 0x0D) + 1.
    [[nodiscard]] int usedSize() const;
    [[nodiscard]] bool transferring() const { return transferring_; }

private:
    void echo(const QByteArray& frame, QList<LoggerMessage>& out);
    void sendBlock(SteadyTime now, QList<LoggerMessage>& out);
    [[nodiscard]] bool blockOnLine(SteadyTime now) const;
    [[nodiscard]] QByteArray buildBlock(int block);
    void applyMemoryFaults();

    LoggerFaults faults_;
    std::chrono::microseconds byteTime_;
    QByteArray memory_;
    QMap<int, int> badChecksSent_;

    bool transferring_ = false;
    int block_ = 0;
    int blockCount_ = 0;
    qint64 transferBytes_ = 0;
    SteadyTime blockOnLineUntil_{};
};

} // namespace vmeter
