#pragma once

// The first 64 bytes of the logger memory as the information read gets them:
//   0x09-0x0A data sets in memory | 0x0B-0x0D end address (last used byte) |
//   0x0E interval minutes (BCD) | 0x0F interval seconds (BCD)
// all most significant byte first. Records may use addresses up to 64255
// (0xFAFF); a sample takes 2 bytes.

#include <QByteArray>

#include <algorithm>
#include <cstdint>

struct ControlPage
{
    static constexpr int Size = 64;
    static constexpr int HighestAddress = 64255;

    QByteArray bytes;

    [[nodiscard]] int byteAt(int at) const { return at < bytes.size() ? quint8(bytes.at(at)) : 0; }
    [[nodiscard]] int dataSets() const { return byteAt(0x09) * 256 + byteAt(0x0A); }
    [[nodiscard]] int endAddress() const
    {
        return byteAt(0x0B) << 16 | byteAt(0x0C) << 8 | byteAt(0x0D);
    }
    [[nodiscard]] std::uint8_t intervalMinutesBcd() const { return std::uint8_t(byteAt(0x0E)); }
    [[nodiscard]] std::uint8_t intervalSecondsBcd() const { return std::uint8_t(byteAt(0x0F)); }
    // Free memory in samples: (64255 - end address) / 2, never below 0.
    [[nodiscard]] int memoryAvailable() const
    {
        return std::max(0, (HighestAddress - endAddress()) / 2);
    }
};
