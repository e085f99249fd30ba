#pragma once

// The texts of the files the program writes for other programs: the graph
// export line of text (TAB) and CSV (comma) files, one line per point:
//   date S hh ":" mm ":" ss "." mmm S value
// - date: the locale's short date format with the year always written with
//   four digits (a two-digit year would make the file ambiguous and read back
//   a century off); day/month order and separators follow the locale;
// - time: the time of day rounded to the nearest millisecond, hours, minutes
//   and seconds as two digits, milliseconds as three (0 -> "000", 5 -> "005",
//   500 -> "500"), so that spreadsheets read the seconds as a decimal number;
//   files written with unpadded milliseconds ("07.5" for 5 ms) are still read
//   with their meaning (files/formats/TabularConversion);
// - value: fixed point with one decimal and the locale's decimal separator.
// No header line, no trailing separator; lines end with CR LF on disk.

#include "logger/DumpLine.h"

#include <QChar>
#include <QLocale>
#include <QString>

namespace ExportText {

inline constexpr QChar Tab = QLatin1Char('\t');
inline constexpr QChar Comma = QLatin1Char(',');
inline constexpr const char (&LineEnd)[3] = DumpLine::LineEnd;

// The locale's short date format with any year field widened to "yyyy".
[[nodiscard]] QString shortDateFormat(const QLocale& locale);
[[nodiscard]] QString dateText(double dateTime, const QLocale& locale);
// "hh:mm:ss.mmm" of a date-time value (days since 30 December 1899).
[[nodiscard]] QString timeText(double dateTime);
[[nodiscard]] QString valueText(float value, const QLocale& locale);
// One graph export line, without its line end.
[[nodiscard]] QString graphExportLine(double dateTime, float value, QChar separator,
                                      const QLocale& locale);

// CSV is offered only where the decimal separator is not a comma.
[[nodiscard]] bool csvOffered(const QLocale& locale);

} // namespace ExportText
