#pragma once

// The logger dump file: one line per sample of a data set,
//   date ", " hh ":" mm ":" ss "." mmm "," value
// date in the locale's short date format with a four-digit year, the time of
// day rounded to the nearest millisecond (milliseconds as three digits, so
// that "07.042" reads as 42 ms in every program; 0 is "000"), the value with
// one decimal and the locale's decimal separator.
// The field separator is always a comma. Lines end with CR LF on disk.
//
// The date, time and value texts here are also the fields of the graph
// export line of text and CSV files (files/formats/ExportText).

#include <QByteArray>
#include <QLocale>
#include <QString>

namespace DumpLine {

inline constexpr char LineEnd[] = "\r\n";

// The date of a date-time value in the locale's short date format, the year
// widened to four digits. Date and time round together: 23:59:59.9996 is
// 00:00:00.0 of the next day.
[[nodiscard]] QString dateText(double dateTime, const QLocale& locale = QLocale());
// "hh:mm:ss.mmm" of a date-time value.
[[nodiscard]] QString timeText(double dateTime);
// One decimal, the locale's decimal separator, no group separators.
[[nodiscard]] QString valueText(float value, const QLocale& locale = QLocale());
[[nodiscard]] QString line(double dateTime, float value, const QLocale& locale = QLocale());

// The same date, time and value texts for many lines in one locale, appended
// as UTF-8: the date text is made once per day, the time and the value are
// written with integer arithmetic (a value that lies on a rounding tie, or a
// locale with other digits, takes valueText).
class LineTexts
{
public:
    explicit LineTexts(const QLocale& locale);
    void appendDate(QByteArray& out, double dateTime);
    static void appendTime(QByteArray& out, double dateTime);
    void appendValue(QByteArray& out, float value) const;

private:
    QLocale locale_;
    QString dateFormat_;
    QByteArray decimalPoint_;
    bool latinDigits_ = true;
    bool dayKnown_ = false;
    qint64 day_ = 0;
    QByteArray dayText_;
};

// The dump file name of a record whose BCD bytes yy mm dd hh nn begin at
// `dateBytes`: "20" + yy as four-digit year, then mm dd hh nn each as two
// hexadecimal digits, then ".CSV" (14 April 2010 15:30 -> 201004141530.CSV).
[[nodiscard]] QString fileName(const QByteArray& dateBytes);

} // namespace DumpLine
