#include "logger/DumpLine.h"

#include "data/GraphTexts.h"
#include "logger/DateTimeValue.h"

namespace DumpLine {

namespace {
void appendTwoDigits(QString& text, int value)
{
    text += QLatin1Char(char('0' + value / 10));
    text += QLatin1Char(char('0' + value % 10));
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
