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
// The information read of the setup ("P" and "Q" with sub-command "i") is
// the same transfer, stopped after its first block (the control page).
// A "y" or "n" that arrives while a block is still on the line answers
// nothing: it cannot refer to that block yet.
//
// Faults, all off by default, spoil chosen answers; see LoggerFaults.
//
// Besides the commands the logger keeps what the setup and a recording do to
// its memory: the recording interval of the control page (0x0E minutes,
// 0x0F seconds, BCD), the erase (no data sets, end address 0x0000FF, the
// records area back to 0xFF) and the data set a running recording grows
// sample by sample, always a complete record with its end marker.
//
// Contract: driven by MeterProtocol from one thread; answers are appended to
// the caller's output list.

#include <QByteArray>
#include <QDateTime>
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
    // Letters ("w", "r") whose 9-byte reply comes without its data byte.
    QByteArray shortReplyLetters;
    // Addresses that keep the inverse of what is written to them.
    QSet<int> badCells;
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
    // The highest address a record may use, and the end address of an empty logger.
    static constexpr int highestAddress = 0xFAFF;
    static constexpr int emptyEndAddress = 0xFF;
    static constexpr int firstRecord = 256;

    // byteTime: how long one byte takes on the line (0 when unpaced).
    MeterLogger(const LoggerSettings& settings, std::chrono::microseconds byteTime);

    // True when the letter is a logger command (the frame is then handled).
    [[nodiscard]] static bool isLoggerLetter(char letter);
    void handleFrame(const QByteArray& frame, SteadyTime now, QList<LoggerMessage>& out);

    [[nodiscard]] const QByteArray& memory() const { return memory_; }
    // Used size from the control page: (byte 0x0C x 256 + byte 0x0D) + 1.
    [[nodiscard]] int usedSize() const;
    [[nodiscard]] bool transferring() const { return transferring_; }
    void stopTransfer() { transferring_ = false; }

    // Control page: data set count (0x09-0x0A) and end address (0x0B-0x0D).
    [[nodiscard]] int setCount() const;
    [[nodiscard]] int endAddress() const;
    // The recording interval of the control page, as the "int" command stores it.
    void setStoredInterval(std::uint8_t minutesBcd, std::uint8_t secondsBcd);
    // That interval in seconds; 2 when it is 0 or not a BCD time.
    [[nodiscard]] int storedIntervalSeconds() const;
    // No data sets, end address 0x0000FF, records area 0xFF; the interval stays.
    void erase();

    // Opens a new data set after the used memory, stamped with start (its
    // BCD date and time) and the stored interval; false when no sample fits.
    [[nodiscard]] bool openRecord(const QDateTime& start, bool aWeighting);
    // Appends one sample (tenths of a dB, 12 bits) to the open record; false
    // when the memory is full (the sample is not stored).
    [[nodiscard]] bool appendSample(int tenths);
    // Ends the open record; a record without samples is dropped again.
    void closeRecord();
    [[nodiscard]] bool recordOpen() const { return recordAt_ >= 0; }

private:
    void echo(const QByteArray& frame, QList<LoggerMessage>& out);
    void sendBlock(SteadyTime now, QList<LoggerMessage>& out);
    [[nodiscard]] bool blockOnLine(SteadyTime now) const;
    [[nodiscard]] QByteArray buildBlock(int block);
    void applyMemoryFaults();
    void writeControl(int setCount, int endAddress);

    LoggerFaults faults_;
    std::chrono::microseconds byteTime_;
    QByteArray memory_;
    QMap<int, int> badChecksSent_;

    bool transferring_ = false;
    int block_ = 0;
    int blockCount_ = 0;
    qint64 transferBytes_ = 0;
    SteadyTime blockOnLineUntil_{};
    // First byte of the record a recording grows, or -1.
    int recordAt_ = -1;
};

} // namespace vmeter
