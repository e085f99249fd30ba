#pragma once

// The recording period the setup dialog shows: how long n points take at an
// interval, rounded to whole seconds, as hours:minutes:seconds.

#include <QString>

#include <optional>

namespace RecordingPeriod {

// n × interval + 0.5, truncated to whole seconds.
[[nodiscard]] qint64 seconds(qint64 pointCount, double intervalSeconds);

// "0:03:20" (minutes and seconds two digits) or, unpadded, "0:3:20".
[[nodiscard]] QString text(qint64 totalSeconds, bool padded);

// The most points a real-time recording holds (the dialog's five digits).
inline constexpr int MaxPointCount = 99999;

// The point count typed in the dialog: the text without surrounding blanks
// as a decimal integer. None when it is not one, none for 0 or less, since
// a recording without points has nowhere to put its first sample, and none
// above MaxPointCount.
[[nodiscard]] std::optional<int> pointCount(const QString& text);

// The number the period is computed from while the user types: the count,
// or 0 when the text is not a number.
[[nodiscard]] qint64 typedPointCount(const QString& text);

} // namespace RecordingPeriod
