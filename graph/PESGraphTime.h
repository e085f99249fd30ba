#pragma once

// Date-time values of the chart: days since 30 December 1899 00:00 in local
// wall-clock time. QCustomPlot's date-time keys count seconds since
// 1 January 1970; the chart uses them as wall-clock seconds and displays
// them as UTC, so no time-zone shift ever applies.

namespace PESGraphTime {
constexpr double kDaysFrom1899To1970 = 25569.0;
constexpr double kSecondsPerDay = 86400.0;

constexpr double daysToKey(double days)
{
    return (days - kDaysFrom1899To1970) * kSecondsPerDay;
}

constexpr double keyToDays(double key)
{
    return key / kSecondsPerDay + kDaysFrom1899To1970;
}
} // namespace PESGraphTime
