#include "meter/LiveFrame.h"

namespace {
int word(const std::uint8_t* bytes, int offset)
{
    return (bytes[offset] << 8) | bytes[offset + 1];
}

constexpr int LevelOffset = 3;
constexpr int DisplayOffset = 5;
constexpr int MaxOffset = 7;
constexpr int MinOffset = 9;
constexpr int ClockOffset = 11;

constexpr int RangeLow[4] = {30, 50, 80, 30};
constexpr int RangeHigh[4] = {80, 100, 130, 130};
} // namespace

MeterReading decodeFrame(const std::uint8_t* bytes)
{
    using namespace LiveFrame;
    MeterReading r;
    r.flagsA = bytes[1];
    r.flagsB = bytes[2];
    r.recording = r.flagsA & FlagA::Recording;
    r.maxMinMode = r.flagsA & FlagA::MaxMinMode;
    r.weightingA = r.flagsA & FlagA::WeightingA;
    r.fast = r.flagsA & FlagA::Fast;
    r.batteryLow = r.flagsA & FlagA::BatteryLow;
    r.under = r.flagsA & FlagA::Under;
    r.over = r.flagsA & FlagA::Over;
    r.range = r.flagsB & FlagB::RangeMask;
    r.maxMinSelect = r.flagsB & FlagB::SelectMask;
    r.memoryFull = r.flagsB & FlagB::MemoryFull;
    r.level = static_cast<float>(word(bytes, LevelOffset) * 0.1);

    // The selection only counts in MAX/MIN mode; alternating shows the display.
    int valueOffset = DisplayOffset;
    if (r.maxMinMode && r.maxMinSelect == FlagB::SelectMax)
        valueOffset = MaxOffset;
    else if (r.maxMinMode && r.maxMinSelect == FlagB::SelectMin)
        valueOffset = MinOffset;
    r.displayTenths = word(bytes, valueOffset);

    for (int i = 0; i < 3; ++i)
        r.clock[i] = bytes[ClockOffset + i];
    return r;
}

int rangeLowDb(int range)
{
    return RangeLow[range & 3];
}

int rangeHighDb(int range)
{
    return RangeHigh[range & 3];
}

QString bcdText(std::uint8_t byte)
{
    return QStringLiteral("%1").arg(byte, 2, 16, QLatin1Char('0')).toUpper();
}
