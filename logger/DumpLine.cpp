#include "logger/DumpLine.h"

#include "data/GraphTexts.h"
#include "logger/DateTimeValue.h"

#include <cmath>

namespace DumpLine {

namespace {
void appendTwoDigits(QString& text, int value)
{
    text += QLatin1Char(char('0' + value / 10));
    text += QLatin1Char(char('0' + value % 10));
}
constexpr qint64 msPerDay = 86400000;

// The rounding of DateTimeValue::datePart and timePart.
qint64 roundedMilliseconds(double dateTime)
{
    return qint64(std::llround(dateTime * double(msPerDay)));
}

void appendTwoDigits(QByteArray& text, int value)
{
    text += char('0' + value / 10);
    text += char('0' + value % 10);
}

QString hexPair(char byte)
{
    return QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString dateText(double dateTime, const QLocale& locale)
{
    return locale.toString(DateTimeValue::datePart(dateTime),
                           DateTimeValue::fourDigitYearShortDateFormat(locale));
}

QString timeText(double dateTime)
{
    const QTime time = DateTimeValue::timePart(dateTime);
    QString text;
    text.reserve(12);
    appendTwoDigits(text, time.hour());
    text += QLatin1Char(':');
    appendTwoDigits(text, time.minute());
    text += QLatin1Char(':');
    appendTwoDigits(text, time.second());
    text += QLatin1Char('.');
    // Three digits: other programs read the field as a decimal fraction.
    const int ms = time.msec();
    text += QLatin1Char(char('0' + ms / 100));
    appendTwoDigits(text, ms % 100);
    return text;
}

QString valueText(float value, const QLocale& locale)
{
    return GraphTexts::levelText(double(value), locale);
}

QString line(double dateTime, float value, const QLocale& locale)
{
    return dateText(dateTime, locale) + QStringLiteral(", ") + timeText(dateTime) +
           QLatin1Char(',') + valueText(value, locale);
}

LineTexts::LineTexts(const QLocale& locale)
    : locale_(locale),
      dateFormat_(DateTimeValue::fourDigitYearShortDateFormat(locale)),
      decimalPoint_(locale.decimalPoint().toUtf8()),
      latinDigits_(locale.zeroDigit() == QLatin1String("0"))
{
}

void LineTexts::appendDate(QByteArray& out, double dateTime)
{
    const qint64 ms = roundedMilliseconds(dateTime);
    const qint64 day = ms >= 0 ? ms / msPerDay : -((-ms + msPerDay - 1) / msPerDay);
    if (!dayKnown_ || day != day_) {
        dayText_ = locale_.toString(DateTimeValue::datePart(dateTime), dateFormat_).toUtf8();
        day_ = day;
        dayKnown_ = true;
    }
    out += dayText_;
}

void LineTexts::appendTime(QByteArray& out, double dateTime)
{
    const qint64 ms = roundedMilliseconds(dateTime);
    const int ofDay = int(((ms % msPerDay) + msPerDay) % msPerDay);
    appendTwoDigits(out, ofDay / 3600000);
    out += ':';
    appendTwoDigits(out, ofDay / 60000 % 60);
    out += ':';
    appendTwoDigits(out, ofDay / 1000 % 60);
    out += '.';
    const int milliseconds = ofDay % 1000;
    out += char('0' + milliseconds / 100);
    appendTwoDigits(out, milliseconds % 100);
}

void LineTexts::appendValue(QByteArray& out, float value) const
{
    const double level = double(value);
    const double tenths = level * 10.0;
    // Far from a tie, rounding the tenths gives the decimal rounding of
    // the level itself; levels beyond the meter's are left to the locale.
    const double below = std::floor(tenths);
    if (latinDigits_ && level >= 0.0 && !std::signbit(level) && level < 1.0e6 &&
        std::abs(tenths - below - 0.5) > 1.0e-6) {
        const qint64 rounded = qint64(below) + (tenths - below > 0.5 ? 1 : 0);
        out += QByteArray::number(rounded / 10);
        out += decimalPoint_;
        out += char('0' + rounded % 10);
        return;
    }
    out += valueText(value, locale_).toUtf8();
}

QString fileName(const QByteArray& dateBytes)
{
    const QByteArray bytes = dateBytes.leftJustified(5, '\0', true);
    const int year = 2000 + (quint8(bytes.at(0)) >> 4) * 10 + (quint8(bytes.at(0)) & 0x0F);
    QString name = QString::number(year);
    for (int i = 1; i < 5; ++i)
        name += hexPair(bytes.at(i));
    return name + QStringLiteral(".CSV");
}

} // namespace DumpLine
