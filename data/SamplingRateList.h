#pragma once

// The sampling rate list of a graph window: nine intervals in seconds, shown
// as level texts in the user's locale, and the item that stands for an
// interval (each bound is "below").

#include <QLocale>
#include <QStringList>

#include <array>
#include <optional>

namespace SamplingRateList {

inline constexpr std::array<double, 9> kIntervals{0.1, 0.2, 0.5, 1, 2, 5, 10, 20, 30};

// "0.1", "0.2", ... "30.0" with the locale's decimal separator.
[[nodiscard]] QStringList itemTexts(const QLocale& locale = QLocale());

// Item of an interval: below 0.15 -> 0, below 0.25 -> 1, ... below 30.5 -> 8;
// nothing from 30.5 s on.
[[nodiscard]] std::optional<int> rateItemIndex(double seconds);

} // namespace SamplingRateList
