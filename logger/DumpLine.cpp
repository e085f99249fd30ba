#include "logger/DumpLine.h"

#include "logger/DateTimeValue.h"

namespace DumpLine {

namespace {
QString twoDigits(int value)
{
    return QStringLiteral("%1").arg(value, 2, 10, QLatin1Char('0'));
}
QString hexPair(char byte)
{
    return QStringLiteral("%1").arg(quint8(byte), 2, 16, QLatin1Char('0')).toUpper();
}
} // namespace

QString timeText(double dateTime)
{
    const QTime time = DateTimeValue::timePart(dateTime);
    return twoDigits(time.hour()) + QLatin1Char(':') + twoDigits(time.minute()) + QLatin1Char(':') +
           twoDigits(time.second()) + QLatin1Char('.') + QString::number(time.msec());
}

QString line(double dateTime, float value, const QLocale& locale)
{
    return locale.toString(DateTimeValue::datePart(dateTime), QLocale::ShortFormat) +
           QStringLiteral(", ") + timeText(dateTime) + QLatin1Char(',') +
           locale.toString(double(value), 'f', 1);
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
