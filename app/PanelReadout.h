#pragma once

// What the control panel shows for a reading, worked out without widgets:
// digit images, bar width, range labels and the meter clock text.

#include <QString>

#include <array>
#include <cstdint>
#include <optional>

namespace PanelReadout {
// Index of the blank image in DigitImages.
constexpr int BlankDigit = 10;
// Widest bar in pixels: 50 dB above the range's foot, one lit column per dB.
constexpr int MaxBarSteps = 50;

// The digit image indices of MainD1..MainD4 for a display value in tenths of
// a dB (hundreds, tens, units, tenths; the first place shows only a 1), or
// nothing when the value is too large to show (11000 tenths and more): the
// panel then keeps the digits it shows.
[[nodiscard]] std::optional<std::array<int, 4>> digitIndices(int displayTenths);

// Width of the bar graph in pixels, 2n + 1 for n dB above the range's foot
// (range 3 counts half a step per dB from 50 dB), at most 101; 0 when the
// level lies below the range.
[[nodiscard]] int barWidth(int range, float level);

// The meter clock as shown on the panel: the BCD bytes read as hh:mm:ss,
// one second earlier (the meter stamps the frame with the coming second);
// a text that is no time of day is shown as received.
[[nodiscard]] QString clockText(const std::array<std::uint8_t, 3>& clock);
} // namespace PanelReadout
