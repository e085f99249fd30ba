#include "acoustics/PeriodLevels.h"

#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

// Floor division: periods before 1899 still align.
qint64 periodIndex(qint64 ms, qint64 lengthMs)
{
    return ms >= 0 ? ms / lengthMs : -((-ms + lengthMs - 1) / lengthMs);
}

} // namespace

namespace PeriodLevels {

std::optional<qint64> lengthOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,9})\\s*([smhd]?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const qint64 count = match.captured(1).toLongLong();
    const QString unit = match.captured(2);
    qint64 unitMs = 1000;
    if (unit == QLatin1String("m"))
        unitMs = 60'000;
    else if (unit == QLatin1String("h"))
        unitMs = 3'600'000;
    else if (unit == QLatin1String("d"))
        unitMs = SampleTiming::kDayMs;
    const qint64 ms = count * unitMs;
    if (ms <= 0 || ms > SampleTiming::kDayMs || SampleTiming::kDayMs % ms != 0)
        return std::nullopt;
    return ms;
}

QList<PeriodLevel> of(const SampleTiming& timing, std::span<const float> levels, qint64 lengthMs,
                      PercentileRule rule)
{
    const qsizetype n = std::min(timing.size(), qsizetype(levels.size()));
    if (n == 0 || lengthMs <= 0)
        return {};
    const qint64 firstPeriod = periodIndex(timing.startMs.front(), lengthMs);
    qint64 lastEnd = timing.startMs[std::size_t(n - 1)];
    for (qsizetype i = 0; i < n; ++i)
        lastEnd = std::max(lastEnd, timing.endMs(i));
    // The period that holds the last moment covered.
    const qint64 lastPeriod =
        std::max(periodIndex(std::max(lastEnd - 1, timing.startMs.front()), lengthMs),
                 periodIndex(timing.startMs[std::size_t(n - 1)], lengthMs));
    if (lastPeriod - firstPeriod + 1 > kMostPeriods)
        return {};

    QList<PeriodLevel> periods;
    periods.reserve(lastPeriod - firstPeriod + 1);
    for (qint64 p = firstPeriod; p <= lastPeriod; ++p) {
        PeriodLevel period;
        period.startMs = p * lengthMs;
        period.endMs = period.startMs + lengthMs;
        periods.append(period);
    }

    // Coverage: each sample's time, split over the periods it reaches into.
    for (qsizetype i = 0; i < n; ++i) {
        const qint64 start = timing.startMs[std::size_t(i)];
        const qint64 end = timing.endMs(i);
        for (qint64 p = periodIndex(start, lengthMs); p <= lastPeriod; ++p) {
            PeriodLevel& period = periods[p - firstPeriod];
            if (period.startMs >= end)
                break;
            period.coveredMs += std::min(end, period.endMs) - std::max(start, period.startMs);
        }
    }

    // Levels: the samples that start in a period lie side by side.
    const std::span<const double> seconds(timing.seconds);
    qsizetype from = 0;
    while (from < n) {
        const qint64 p = periodIndex(timing.startMs[std::size_t(from)], lengthMs);
        qsizetype to = from;
        while (to < n && periodIndex(timing.startMs[std::size_t(to)], lengthMs) == p)
            ++to;
        PeriodLevel& period = periods[p - firstPeriod];
        const auto count = std::size_t(to - from);
        const std::span<const float> part = levels.subspan(std::size_t(from), count);
        const std::span<const double> partSeconds = seconds.subspan(std::size_t(from), count);
        for (const float v : part) {
            if (!std::isfinite(v))
                continue;
            period.lmax = period.samples == 0 ? v : std::max(period.lmax, double(v));
            ++period.samples;
        }
        if (period.samples > 0) {
            period.leq = AcousticStatistics::equivalentLevel(part, partSeconds);
            period.l10 = FigureNames::percentileLevel(part, 10.0, rule);
            period.l90 = FigureNames::percentileLevel(part, 90.0, rule);
        }
        from = to;
    }
    for (PeriodLevel& period : periods)
        period.coverage =
            std::clamp(double(period.coveredMs) / double(period.endMs - period.startMs), 0.0, 1.0);
    return periods;
}

void countEvents(QList<PeriodLevel>& periods, const QList<ExceedanceEvent>& events)
{
    for (const ExceedanceEvent& event : events) {
        const auto at = std::upper_bound(
            periods.begin(), periods.end(), event.startMs,
            [](qint64 ms, const PeriodLevel& period) { return ms < period.startMs; });
        if (at == periods.begin())
            continue;
        PeriodLevel& period = *(at - 1);
        if (event.startMs < period.endMs)
            ++period.events;
    }
}

} // namespace PeriodLevels
