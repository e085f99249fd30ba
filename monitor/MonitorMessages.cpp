#include "monitor/MonitorMessages.h"

#include "acoustics/FigureNames.h"

#include <QDateTime>
#include <QJsonValue>
#include <QRegularExpression>
#include <QSysInfo>

#include <cmath>
#include <cstdlib>

namespace MonitorMessages {

namespace {

double hundredths(double value)
{
    return std::round(value * 100.0) / 100.0;
}

QJsonValue levelJson(bool has, double value)
{
    return has ? QJsonValue(hundredths(value)) : QJsonValue();
}

} // namespace

QString isoTime(qint64 utcMs)
{
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime);
    // Qt writes "Z" or nothing for some offsets; it is always written out.
    const int offset = local.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return local.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QString timeWeightingText(TimeWeightingSeen seen)
{
    switch (seen) {
    case TimeWeightingSeen::Fast:
        return QStringLiteral("F");
    case TimeWeightingSeen::Slow:
        return QStringLiteral("S");
    case TimeWeightingSeen::Mixed:
        return QStringLiteral("mixed");
    case TimeWeightingSeen::None:
        break;
    }
    return {};
}

QJsonObject interval(const MonitorInterval& i, const QString& station)
{
    const bool has = i.hasLevels();
    return {{QStringLiteral("station"), station},
            {QStringLiteral("start"), isoTime(i.startMs)},
            {QStringLiteral("end"), isoTime(i.endMs)},
            {QStringLiteral("duration_s"), double(i.endMs - i.startMs) / 1000.0},
            {QStringLiteral("weighting"),
             i.weighting ? QJsonValue(weightingText(*i.weighting)) : QJsonValue()},
            {QStringLiteral("time_weighting"),
             has ? QJsonValue(timeWeightingText(i.timeWeighting)) : QJsonValue()},
            {QStringLiteral("leq_name"), FigureNames::equivalentLevelName(i.weighting)},
            {FigureNames::equivalentLevelKey(i.weighting), levelJson(has, i.leq)},
            {QStringLiteral("lmax_db"), levelJson(has, i.lmax)},
            {QStringLiteral("lmin_db"), levelJson(has, i.lmin)},
            {QStringLiteral("l10_db"), levelJson(has, i.l10)},
            {QStringLiteral("l50_db"), levelJson(has, i.l50)},
            {QStringLiteral("l90_db"), levelJson(has, i.l90)},
            {QStringLiteral("samples"), double(i.readings)},
            {QStringLiteral("coverage"), std::round(i.coverage * 1e4) / 1e4},
            {QStringLiteral("complete"), i.isComplete()},
            {QStringLiteral("over_range"), double(i.overRange)},
            {QStringLiteral("under_range"), double(i.underRange)}};
}

QJsonObject event(const MonitorEvent& e, const EventCriteria& criteria, const QString& station)
{
    return {{QStringLiteral("station"), station},
            {QStringLiteral("start"), isoTime(e.startMs)},
            {QStringLiteral("end"), isoTime(e.endMs)},
            {QStringLiteral("duration_s"), std::round(e.durationSeconds * 1000.0) / 1000.0},
            {QStringLiteral("weighting"),
             e.weighting ? QJsonValue(weightingText(*e.weighting)) : QJsonValue()},
            {QStringLiteral("leq_name"), FigureNames::equivalentLevelName(e.weighting)},
            {QStringLiteral("lmax_db"), hundredths(e.lmax)},
            {FigureNames::equivalentLevelKey(e.weighting), hundredths(e.leq)},
            {QStringLiteral("sel_db"), hundredths(e.sel)},
            {QStringLiteral("samples"), double(e.readings)},
            {QStringLiteral("threshold_db"), criteria.thresholdDb},
            {QStringLiteral("min_duration_s"), criteria.minDurationSeconds},
            {QStringLiteral("hysteresis_db"), criteria.hysteresisDb}};
}

QJsonObject reading(const MeterReading& reading, const QString& station, qint64 utcMs)
{
    return {{QStringLiteral("station"), station},
            {QStringLiteral("time"), isoTime(utcMs)},
            {QStringLiteral("level_db"), std::round(reading.level * 10.0) / 10.0},
            {QStringLiteral("weighting"),
             reading.weightingA ? QStringLiteral("A") : QStringLiteral("C")},
            {QStringLiteral("time_weighting"),
             reading.fast ? QStringLiteral("F") : QStringLiteral("S")},
            {QStringLiteral("over"), reading.over},
            {QStringLiteral("under"), reading.under}};
}

bool isStationName(const QString& name)
{
    static const QRegularExpression pattern(QStringLiteral("^[\\w.-]{1,64}$"),
                                            QRegularExpression::UseUnicodePropertiesOption);
    return pattern.match(name).hasMatch();
}

QString defaultStation()
{
    QString name = QSysInfo::machineHostName().section(QLatin1Char('.'), 0, 0);
    name.replace(QRegularExpression(QStringLiteral("[^\\w.-]")), QStringLiteral("-"));
    name.truncate(64);
    return isStationName(name) ? name : QStringLiteral("station");
}

} // namespace MonitorMessages
