#pragma once

// Date-time values as the program stores them: days since 30 December 1899
// 00:00 of the local wall clock, the time of day as the fraction.

#include <QDateTime>

namespace DateTimeValue {

[[nodiscard]] double fromDateTime(const QDate& date, const QTime& time);
[[nodiscard]] double fromDateTime(const QDateTime& dateTime);
// The date and the time of day rounded to the nearest millisecond.
[[nodiscard]] QDate datePart(double value);
[[nodiscard]] QTime timePart(double value);

} // namespace DateTimeValue
