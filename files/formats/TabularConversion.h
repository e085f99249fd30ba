#pragma once

// "Output Tabular to graph": the Date, Time and Value columns of a list
// window's table read back into a series. Date and time are joined with one
// blank and read as a date-time in the locale's short date format (four- or
// two-digit year; a two-digit year falls in the 100 years centred on today)
// followed by hh:mm[:ss[.ms]] with ms read as whole milliseconds, exactly as
// the graph export writes it ("09:05:07.5" is 5 ms). Values are read with the
// locale's decimal separator; a row whose value does not read, or reads as
// no finite number ("nan", "inf"), has no level and makes no point (the
// callers count such rows and say so).

#include "files/formats/TabularTable.h"

#include <QByteArrayView>
#include <QDate>
#include <QLocale>
#include <QString>
#include <memory>
#include <optional>

namespace TabularConversion {

inline const QString NoDataMessage = QStringLiteral("No data to graph !");

// The date-time value (days since 30 December 1899) of a date and a time
// cell; nothing when they do not convert.
[[nodiscard]] std::optional<double> dateTime(const QString& date, const QString& time,
                                             const QLocale& locale,
                                             const QDate& today = QDate::currentDate());
// The conversion error's message for a date and time that do not convert:
// "'<date> <time>' is not a valid date and time".
[[nodiscard]] QString dateTimeError(const QString& date, const QString& time);

struct Ends
{
    QString error;      // not empty: show it and stop
    bool noData = false; // the error is NoDataMessage (no graph window is made)
    double first = 0.0;
    double last = 0.0;
    int count = 0; // data rows N
};
// The checks before the conversion: the first row's date cell, then the
// date-time of the first and of the last data row.
[[nodiscard]] Ends ends(const TabularTable& table, const QLocale& locale,
                        const QDate& today = QDate::currentDate());

struct Point
{
    double x = 0.0;
    std::optional<float> y; // nothing when the level does not convert
};
// Grid row r (1-based) as a point; nothing when its date-time does not
// convert. The cells are read from the table's bytes, with no string made
// per cell; `today` places two-digit years (ask the clock once, not per row).
[[nodiscard]] std::optional<Point> point(const TabularTable& table, int gridRow,
                                         const QLocale& locale, const QDate& today);

namespace detail {
class DateTimeReader;
}

// Reads the cells of many rows, a table's or a file's lines', in one locale
// on one day (ask the locale and the clock once, not per row), as dateTime()
// and point() read them. Cells are UTF-8 bytes; cells of plain ASCII, the
// usual ones, are read with no string made for them.
class RowReader
{
public:
    RowReader(const QLocale& locale, const QDate& today);
    ~RowReader();
    RowReader(const RowReader&) = delete;
    RowReader& operator=(const RowReader&) = delete;

    // The date and the time cell joined with one blank and read.
    [[nodiscard]] std::optional<double> dateTime(QByteArrayView date, QByteArrayView time) const;
    // A value cell's level: the locale's decimal separator, no group
    // separators, blanks around it ignored; nothing when it does not read
    // or is no finite number.
    [[nodiscard]] std::optional<float> level(QByteArrayView value) const;
    // A level that a comma separator cut at its decimal comma (a logger
    // dump read where the decimal separator is a comma: "65,3" in the Value
    // and the next column): whole, the locale's decimal separator and
    // fraction read as the locale reads numbers (group separators allowed);
    // nothing when the fraction is empty or the text does not read.
    [[nodiscard]] std::optional<float> joinedLevel(QByteArrayView whole,
                                                   QByteArrayView fraction) const;

private:
    std::unique_ptr<detail::DateTimeReader> reader_;
};

// What is said once about the rows left out for want of a level:
// "1 row without a level skipped", "2 rows without a level skipped".
[[nodiscard]] QString rowsWithoutLevelNote(qsizetype rows);

} // namespace TabularConversion
