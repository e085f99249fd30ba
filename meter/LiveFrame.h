#pragma once

// The meter's live frame: 15 bytes describing its display, no checksum,
// multi-byte values most significant byte first.
//
//   0      sync 0x02
//   1      flagsA: REC, MAX/MIN mode, A/C, FAST/SLOW, battery, UNDER, OVER
//   2      flagsB: range, MAX/MIN selection, FULL; bits 5-7 always 111
//   3..4   level    tenths of a dB, the measured level (bar, recording)
//   5..6   display  tenths of a dB, the main display value
//   7..8   maxValue tenths of a dB, shown while MAX is selected
//   9..10  minValue tenths of a dB, shown while MIN is selected
//   11..13 meter clock hours, minutes, seconds in BCD (model 842)
//   14     end 0x03

#include <QString>
#include <array>
#include <cstdint>

namespace LiveFrame {
constexpr int Size = 15;
constexpr std::uint8_t Sync = 0x02;
constexpr std::uint8_t End = 0x03;
constexpr std::uint8_t ValidityMask = 0xE0;

namespace FlagA {
constexpr std::uint8_t Recording = 0x01;
constexpr std::uint8_t MaxMinMode = 0x04;
constexpr std::uint8_t WeightingA = 0x08;
constexpr std::uint8_t Fast = 0x10;
constexpr std::uint8_t BatteryLow = 0x20;
constexpr std::uint8_t Under = 0x40;
constexpr std::uint8_t Over = 0x80;
} // namespace FlagA

namespace FlagB {
constexpr std::uint8_t RangeMask = 0x03;
constexpr std::uint8_t SelectMask = 0x0C;
constexpr std::uint8_t SelectMax = 0x04;
constexpr std::uint8_t SelectMin = 0x08;
constexpr std::uint8_t SelectAlternating = 0x0C;
constexpr std::uint8_t MemoryFull = 0x10;
} // namespace FlagB

// A frame is valid when it has the sync and end bytes and flagsB carries the
// 111 marker in its top bits; nothing else is checked.
[[nodiscard]] constexpr bool isValid(const std::uint8_t* bytes)
{
    return bytes[0] == Sync && bytes[14] == End && (bytes[2] & ValidityMask) == ValidityMask;
}
} // namespace LiveFrame

// The decoded content of one valid live frame.
struct MeterReading
{
    std::uint8_t flagsA = 0;
    std::uint8_t flagsB = 0;
    bool recording = false;
    bool maxMinMode = false;
    bool weightingA = false;
    bool fast = false;
    bool batteryLow = false;
    bool under = false;
    bool over = false;
    std::uint8_t range = 0;        // 0: 30-80 dB, 1: 50-100, 2: 80-130, 3: 30-130
    std::uint8_t maxMinSelect = 0; // 0x00, 0x04 MAX, 0x08 MIN, 0x0C alternating
    bool memoryFull = false;
    float level = 0.0f;      // dB
    int displayTenths = 0;   // the value the main display shows, tenths of a dB
    std::array<std::uint8_t, 3> clock{}; // BCD hours, minutes, seconds as received

    bool operator==(const MeterReading&) const = default;
};

// Decodes the 15 bytes of a frame (validity is the caller's business).
[[nodiscard]] MeterReading decodeFrame(const std::uint8_t* bytes);

// Lowest and highest level of a range, in dB.
[[nodiscard]] int rangeLowDb(int range);
[[nodiscard]] int rangeHighDb(int range);

// A BCD clock byte as the meter shows it: two upper-case hexadecimal digits.
[[nodiscard]] QString bcdText(std::uint8_t byte);
