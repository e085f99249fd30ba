#include "tools/cli/FigureOptions.h"

#include "data/AcousticStatistics.h"

namespace FigureOptions {

namespace {
const QString kMinDurationComplaint = QStringLiteral("--min-duration needs a duration such as 10s");
const QString kHysteresisComplaint =
    QStringLiteral("--hysteresis needs a level difference in dB, 0 or more");
} // namespace

std::optional<double> secondsOf(const QString& text)
{
    return ReportSettings::durationOf(text);
}

std::optional<double> decibelsOf(const QString& text)
{
    return ReportSettings::decibelsOf(text);
}

QString periodComplaint()
{
    return QStringLiteral("--period needs a length that divides a day, such as 5m, 15m or 1h");
}

std::optional<EventCriteria> eventCriteria(const CommandLine::Invocation& invocation,
                                           QString& error)
{
    EventCriteria criteria;
    const std::optional<double> threshold =
        decibelsOf(invocation.value(QStringLiteral("threshold")));
    if (!threshold) {
        error = QStringLiteral("--threshold needs a level in dB");
        return std::nullopt;
    }
    criteria.thresholdDb = AcousticStatistics::thresholdStep(*threshold);
    if (invocation.isSet(QStringLiteral("min-duration"))) {
        const std::optional<double> seconds =
            secondsOf(invocation.value(QStringLiteral("min-duration")));
        if (!seconds) {
            error = kMinDurationComplaint;
            return std::nullopt;
        }
        criteria.minDurationSeconds = *seconds;
    }
    if (invocation.isSet(QStringLiteral("hysteresis"))) {
        const std::optional<double> hysteresis =
            decibelsOf(invocation.value(QStringLiteral("hysteresis")));
        if (!hysteresis || *hysteresis < 0.0) {
            error = kHysteresisComplaint;
            return std::nullopt;
        }
        criteria.hysteresisDb = *hysteresis;
    }
    return criteria;
}

bool readDenSettings(const QString& startsText, const QString& penaltiesText, DenSettings& settings,
                     QString& error)
{
    if (!startsText.isEmpty() && !settings.readStarts(startsText)) {
        error = QStringLiteral("--den-hours needs the starts of day, evening and night, such as "
                               "07:00,19:00,23:00, in that order round the clock");
        return false;
    }
    if (!penaltiesText.isEmpty() && !settings.readPenalties(penaltiesText)) {
        error = QStringLiteral("--den-penalties needs the evening and night penalties in dB, "
                               "such as 5,10");
        return false;
    }
    return true;
}

bool readReportSettings(const CommandLine::Invocation& invocation, ReportSettings& settings,
                        QString& error)
{
    const QString period = QStringLiteral("period");
    if (invocation.isSet(period) && (invocation.value(period).trimmed().isEmpty() ||
                                     !settings.setValue(period, invocation.value(period)))) {
        error = periodComplaint() + QStringLiteral(", or auto");
        return false;
    }
    const QString minDuration = QStringLiteral("min-duration");
    if (invocation.isSet(minDuration) &&
        !settings.setValue(minDuration, invocation.value(minDuration))) {
        error = kMinDurationComplaint;
        return false;
    }
    const QString hysteresis = QStringLiteral("hysteresis");
    if (invocation.isSet(hysteresis) &&
        !settings.setValue(hysteresis, invocation.value(hysteresis))) {
        error = kHysteresisComplaint;
        return false;
    }
    return readDenSettings(invocation.value(QStringLiteral("den-hours")),
                           invocation.value(QStringLiteral("den-penalties")), settings.den, error);
}

} // namespace FigureOptions
