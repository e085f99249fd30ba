#pragma once

// The texts a graph window shows for levels and date-time values, in the
// user's regional settings (the locale passed in):
// - level text: fixed point with one decimal and the locale's decimal
//   separator, no group separators (65.27 -> "65.3", "65,3" under de_DE);
// - date-time text: the short date, a blank and the long time;
// - time text: the long time alone.
// The long time leaves out any time-zone name: stored date-time values are
// wall-clock times without a zone. Date-time values count days since
// 30 December 1899 00:00, the fraction being the time of day.

#include <QDateTime>
#include <QLocale>
#include <QString>

namespace GraphTexts {

[[nodiscard]] QDateTime toDateTime(double dateTime);
[[nodiscard]] double fromDateTime(const QDateTime& dateTime);

[[nodiscard]] QString levelText(double value, const QLocale& locale = QLocale());
[[nodiscard]] QString dateTimeText(double dateTime, const QLocale& locale = QLocale());
[[nodiscard]] QString timeText(double dateTime, const QLocale& locale = QLocale());

// The coordinate readout over the chart: "65.3dB@10:15:42".
[[nodiscard]] QString readoutText(double dateTime, double level, const QLocale& locale = QLocale());
// The text of a cursor line: "|t" (text at the top), time, LF, level, "dB".
[[nodiscard]] QString cursorLineText(double dateTime, double level,
                                     const QLocale& locale = QLocale());
// The data-point marker: time, CR, level, " dB".
[[nodiscard]] QString dataPointMarkerText(double dateTime, double level,
                                          const QLocale& locale = QLocale());

} // namespace GraphTexts
