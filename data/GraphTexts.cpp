#include "data/GraphTexts.h"

#include <QRegularExpression>

#include <cmath>

namespace GraphTexts {

namespace {
// QDate(1899, 12, 30).toJulianDay(), as a constant so that it holds during static initialisation.
constexpr qint64 kEpochJulianDay = 2415019;
constexpr qint64 kMsPerDay = 86400000;
constexpr double kMaxDays = 365.25e6;

// The locale's long time format without its time-zone field ("t", "tt", ...).
QString longTimeFormat(const QLocale& locale)
{
    QString format = locale.timeFormat(QLocale::LongFormat);
    static const QRegularExpression zone(QStringLiteral("\\s*(?<!')\\bt+\\b(?!')"));
    format.remove(zone);
    return format.trimmed();
}

QLocale withoutGroupSeparators(QLocale locale)
{
    locale.setNumberOptions(locale.numberOptions() | QLocale::OmitGroupSeparator);
    return locale;
}
} // namespace

QDateTime toDateTime(double dateTime)
{
    // A time stamp beyond a million years (a damaged chart, nan) has no
    // date; checked before it becomes a count of milliseconds.
    if (!(std::abs(dateTime) < kMaxDays))
        return QDateTime();
    // Rounded to the millisecond so that 10:15:42 does not show as 10:15:41.
    const qint64 ms = std::llround(dateTime * double(kMsPerDay));
    const qint64 days = ms >= 0 ? ms / kMsPerDay : -((-ms + kMsPerDay - 1) / kMsPerDay);
    const qint64 ofDay = ms - days * kMsPerDay;
    return QDateTime(QDate::fromJulianDay(kEpochJulianDay + days),
                     QTime::fromMSecsSinceStartOfDay(int(ofDay)));
}

double fromDateTime(const QDateTime& dateTime)
{
    return double(dateTime.date().toJulianDay() - kEpochJulianDay) +
           double(dateTime.time().msecsSinceStartOfDay()) / double(kMsPerDay);
}

QString levelText(double value, const QLocale& locale)
{
    return withoutGroupSeparators(locale).toString(value, 'f', 1);
}

QString dateTimeText(double dateTime, const QLocale& locale)
{
    const QDateTime t = toDateTime(dateTime);
    return locale.toString(t.date(), QLocale::ShortFormat) + QLatin1Char(' ') +
           locale.toString(t.time(), longTimeFormat(locale));
}

QString timeText(double dateTime, const QLocale& locale)
{
    return locale.toString(toDateTime(dateTime).time(), longTimeFormat(locale));
}

QString readoutText(double dateTime, double level, const QLocale& locale)
{
    return levelText(level, locale) + QStringLiteral("dB@") + timeText(dateTime, locale);
}

QString cursorLineText(double dateTime, double level, const QLocale& locale)
{
    return QStringLiteral("|t") + timeText(dateTime, locale) + QLatin1Char('\n') +
           levelText(level, locale) + QStringLiteral("dB");
}

QString dataPointMarkerText(double dateTime, double level, const QLocale& locale)
{
    return timeText(dateTime, locale) + QLatin1Char('\r') + levelText(level, locale) +
           QStringLiteral(" dB");
}

} // namespace GraphTexts
