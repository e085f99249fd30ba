#pragma once

// The meter's display state as its keys change it, and the 15-byte live frame
// that reports it:
//   0 sync 0x02 | 1 flagsA | 2 flagsB (bits 5-7 always 1) | 3-4 level |
//   5-6 display | 7-8 maxValue | 9-10 minValue | 11-13 clock h:m:s BCD | 14 end 0x03
// Levels are unsigned tenths of a dB, most significant byte first.
//
// Contract: applyKey() takes a command letter and returns whether the letter
// is a key of this model; buildFrame() takes the measured level and the clock
// bytes and is the only place that lays out a frame.

#include <QByteArray>

#include <array>
#include <cstdint>

namespace vmeter {

enum class MeterModel
{
    Model841,
    Model842
};

namespace FlagsA {
constexpr std::uint8_t recording = 0x01;
constexpr std::uint8_t maxMinMode = 0x04;
constexpr std::uint8_t weightingA = 0x08;
constexpr std::uint8_t fast = 0x10;
constexpr std::uint8_t batteryLow = 0x20;
constexpr std::uint8_t under = 0x40;
constexpr std::uint8_t over = 0x80;
} // namespace FlagsA

namespace FlagsB {
constexpr std::uint8_t rangeMask = 0x03;
constexpr std::uint8_t selectMax = 0x04;
constexpr std::uint8_t selectMin = 0x08;
constexpr std::uint8_t selectBoth = 0x0C;
constexpr std::uint8_t selectMask = 0x0C;
constexpr std::uint8_t memoryFull = 0x10;
constexpr std::uint8_t marker = 0xE0;
} // namespace FlagsB

using ClockBytes = std::array<std::uint8_t, 3>;

class MeterDisplay
{
public:
    static constexpr int frameSize = 15;

    explicit MeterDisplay(MeterModel model) : model_(model) {}

    [[nodiscard]] bool applyKey(char letter, int levelTenths);
    void setBatteryLow(bool low) { batteryLow_ = low; }
    void setRecording(bool on) { recording_ = on; }
    void setMemoryFull(bool full) { memoryFull_ = full; }

    // Lowest and highest level of a range in tenths of a dB.
    [[nodiscard]] static int rangeLowTenths(int range);
    [[nodiscard]] static int rangeHighTenths(int range);

    [[nodiscard]] QByteArray buildFrame(int levelTenths, const ClockBytes& clock);

    [[nodiscard]] bool fast() const { return fast_; }
    [[nodiscard]] bool weightingA() const { return weightingA_; }
    [[nodiscard]] bool recording() const { return recording_; }
    [[nodiscard]] int range() const { return range_; }
    [[nodiscard]] bool maxMinMode() const { return maxMinMode_; }

private:
    void pressMaxMin(int levelTenths);
    void track(int levelTenths);

    MeterModel model_;
    bool fast_ = true;
    bool weightingA_ = true;
    bool recording_ = false;
    bool batteryLow_ = false;
    bool memoryFull_ = false;
    int range_ = 1;
    bool maxMinMode_ = false;
    std::uint8_t selection_ = 0;
    int maxTenths_ = 0;
    int minTenths_ = 0;
};

} // namespace vmeter
