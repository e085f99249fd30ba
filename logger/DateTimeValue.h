#pragma once

// Date-time values as the program stores them: days since 30 December 1899
// 00:00 of the local wall clock, the time of day as the fraction.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace DateTimeValue {

[[nodiscard]] double fromDateTime(const QDate& date, const QTime& time);
[[nodiscard]] double fromDateTime(const QDateTime& dateTime);
// The date and the time of day rounded to the nearest millisecond.
[[nodiscard]] QDate datePart(double value);
[[nodiscard]] QTime timePart(double value);

// The locale's short date format with every year field written as "yyyy":
// files written for other programs keep the locale's order and separators
// but never a two-digit year, which reads back a century off.
[[nodiscard]] QString fourDigitYearShortDateFormat(const QLocale& locale);

} // namespace DateTimeValue
