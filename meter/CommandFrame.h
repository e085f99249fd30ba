#pragma once

// Every command to the meter is 8 bytes: 0x02, a command letter, five
// parameter bytes, 0x03. On the live port the parameters are always zero.

#include <QByteArray>
#include <array>
#include <cstdint>

// The letters sent on the live port.
namespace CommandLetter {
constexpr char Poll = 'A';          // every tick while no meter is connected
constexpr char Identify = 'K';      // answered by 4 bytes naming the model
constexpr char StartLive = 'a';     // after opening the port and after identification
constexpr char NextFrame = 'X';     // after every decoded frame
constexpr char FastSlow = 'F';
constexpr char Weighting = 'C';
constexpr char Record842 = 'E';
constexpr char Record841 = 'L';
constexpr char Level = 'l';
constexpr char MaxMin = 'M';
constexpr char MaxMinEnd = 'N';
} // namespace CommandLetter

class CommandFrame
{
public:
    static constexpr int Size = 8;

    explicit CommandFrame(char letter = CommandLetter::Identify) { setLetter(letter); }

    void setLetter(char letter) { bytes_[1] = static_cast<std::uint8_t>(letter); }
    [[nodiscard]] char letter() const { return static_cast<char>(bytes_[1]); }

    // Parameter byte 2..6 (the logger uses them; the live port keeps them zero).
    void setParameter(int index, std::uint8_t value) { bytes_[index] = value; }

    [[nodiscard]] const std::uint8_t* data() const { return bytes_.data(); }
    [[nodiscard]] QByteArray toByteArray() const
    {
        return QByteArray(reinterpret_cast<const char*>(bytes_.data()), Size);
    }

private:
    std::array<std::uint8_t, Size> bytes_{0x02, 0, 0, 0, 0, 0, 0, 0x03};
};
