#include "logger/DateTimeValue.h"

#include <cmath>

namespace DateTimeValue {

namespace {
const qint64 epochJulianDay = QDate(1899, 12, 30).toJulianDay();
constexpr qint64 msPerDay = 86400000;

qint64 roundedMilliseconds(double value)
{
    return qint64(std::llround(value * double(msPerDay)));
}
} // namespace

double fromDateTime(const QDate& date, const QTime& time)
{
    return double(date.toJulianDay() - epochJulianDay) +
           double(time.msecsSinceStartOfDay()) / double(msPerDay);
}

double fromDateTime(const QDateTime& dateTime)
{
    return fromDateTime(dateTime.date(), dateTime.time());
}

QDate datePart(double value)
{
    const qint64 ms = roundedMilliseconds(value);
    const qint64 days = ms >= 0 ? ms / msPerDay : -((-ms + msPerDay - 1) / msPerDay);
    return QDate::fromJulianDay(epochJulianDay + days);
}

QTime timePart(double value)
{
    const qint64 ms = roundedMilliseconds(value);
    const qint64 ofDay = ((ms % msPerDay) + msPerDay) % msPerDay;
    return QTime::fromMSecsSinceStartOfDay(int(ofDay));
}

QString fourDigitYearShortDateFormat(const QLocale& locale)
{
    const QString format = locale.dateFormat(QLocale::ShortFormat);
    QString widened;
    widened.reserve(format.size() + 2);
    bool quoted = false;
    for (qsizetype i = 0; i < format.size(); ++i) {
        const QChar c = format.at(i);
        if (c == QLatin1Char('\'')) {
            quoted = !quoted; // '' inside or outside quotes toggles twice: a literal quote
            widened += c;
        } else if (!quoted && c == QLatin1Char('y')) {
            while (i + 1 < format.size() && format.at(i + 1) == QLatin1Char('y'))
                ++i;
            widened += QLatin1String("yyyy");
        } else {
            widened += c;
        }
    }
    return widened;
}

} // namespace DateTimeValue
