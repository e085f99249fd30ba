#pragma once

// The order of day, month and year in a short date format, as the logger
// setup needs it to read and write dates the way the user writes them.

#include <QString>

namespace DateOrder {
enum Order
{
    DayFirst = 1,     // d m y
    MonthFirst = 2,   // m d y
    YearMonthDay = 3, // y m d
    YearDayMonth = 4, // y d m
};

// The order of a short date format such as "dd/MM/yyyy" (QLocale's format
// letters; case is ignored). The separator is the first of "/", "-", ".",
// "," that the format contains; the first field ends at its first
// occurrence and the second field at the next one. A format without any of
// these separators is ordered by the first appearance of its d, m and y
// letters; a format that names no field at all counts as month first.
[[nodiscard]] int fromShortDateFormat(const QString& format);
} // namespace DateOrder
