#include "tools/virtual-meter/MeterDisplay.h"

#include <algorithm>

namespace vmeter {

namespace {
void putTenths(QByteArray& frame, int offset, int tenths)
{
    const int value = std::clamp(tenths, 0, 0xFFFF);
    frame[offset] = char(value >> 8);
    frame[offset + 1] = char(value & 0xFF);
}
} // namespace

bool MeterDisplay::applyKey(char letter, int levelTenths)
{
    switch (letter) {
    case 'F':
        fast_ = !fast_;
        return true;
    case 'C':
        weightingA_ = !weightingA_;
        return true;
    case 'l':
        range_ = (range_ + 1) % 4;
        return true;
    case 'M':
        pressMaxMin(levelTenths);
        return true;
    case 'N':
        maxMinMode_ = false;
        selection_ = 0;
        return true;
    case 'E':
    case 'L':
        // Each model has its own REC key letter; the other one means nothing to it.
        if ((letter == 'E') != (model_ == MeterModel::Model842))
            return false;
        recording_ = !recording_;
        return true;
    default:
        return false;
    }
}

void MeterDisplay::pressMaxMin(int levelTenths)
{
    if (!maxMinMode_) {
        maxMinMode_ = true;
        selection_ = FlagsB::selectMax;
        maxTenths_ = minTenths_ = levelTenths;
        return;
    }
    switch (selection_) {
    case FlagsB::selectMax:
        selection_ = FlagsB::selectMin;
        break;
    case FlagsB::selectMin:
        selection_ = FlagsB::selectBoth;
        break;
    default:
        selection_ = FlagsB::selectMax;
        break;
    }
}

void MeterDisplay::track(int levelTenths)
{
    maxTenths_ = std::max(maxTenths_, levelTenths);
    minTenths_ = std::min(minTenths_, levelTenths);
}

int MeterDisplay::rangeLowTenths(int range)
{
    static constexpr int lows[] = {300, 500, 800, 300};
    return lows[range & 3];
}

int MeterDisplay::rangeHighTenths(int range)
{
    static constexpr int highs[] = {800, 1000, 1300, 1300};
    return highs[range & 3];
}

QByteArray MeterDisplay::buildFrame(int levelTenths, const ClockBytes& clock)
{
    if (maxMinMode_)
        track(levelTenths);
    const int low = rangeLowTenths(range_);
    const int high = rangeHighTenths(range_);
    auto clip = [&](int tenths) { return std::clamp(tenths, low, high); };

    std::uint8_t flagsA = 0;
    if (recording_)
        flagsA |= FlagsA::recording;
    if (maxMinMode_)
        flagsA |= FlagsA::maxMinMode;
    if (weightingA_)
        flagsA |= FlagsA::weightingA;
    if (fast_)
        flagsA |= FlagsA::fast;
    if (batteryLow_)
        flagsA |= FlagsA::batteryLow;
    if (levelTenths < low)
        flagsA |= FlagsA::under;
    if (levelTenths > high)
        flagsA |= FlagsA::over;
    const std::uint8_t flagsB =
        FlagsB::marker | selection_ | std::uint8_t(range_) | (memoryFull_ ? FlagsB::memoryFull : 0);

    const int display = clip(levelTenths);
    QByteArray frame(frameSize, '\0');
    frame[0] = 0x02;
    frame[1] = char(flagsA);
    frame[2] = char(flagsB);
    putTenths(frame, 3, levelTenths);
    putTenths(frame, 5, display);
    putTenths(frame, 7, maxMinMode_ ? clip(maxTenths_) : display);
    putTenths(frame, 9, maxMinMode_ ? clip(minTenths_) : display);
    frame[11] = char(clock[0]);
    frame[12] = char(clock[1]);
    frame[13] = char(clock[2]);
    frame[14] = 0x03;
    return frame;
}

} // namespace vmeter
