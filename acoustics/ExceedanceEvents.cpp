#include "acoustics/ExceedanceEvents.h"

#include "data/AcousticStatistics.h"

#include <algorithm>
#include <cmath>

namespace {

double tenths(double dB)
{
    return std::round(dB * 10.0);
}

} // namespace

namespace ExceedanceEvents {

double soundExposureLevel(double leq, double seconds)
{
    return leq + 10.0 * std::log10(seconds);
}

QList<ExceedanceEvent> find(const SampleTiming& timing, std::span<const float> levels,
                            const EventCriteria& criteria)
{
    QList<ExceedanceEvent> events;
    const qsizetype n = std::min(timing.size(), qsizetype(levels.size()));
    const double releaseTenths =
        tenths(criteria.thresholdDb) - tenths(std::max(0.0, criteria.hysteresisDb));
    const auto minimumMs = qint64(std::ceil(criteria.minDurationSeconds * 1000.0 - 1e-6));

    const auto close = [&](qsizetype first, qsizetype last) {
        qint64 ms = 0;
        float lmax = levels[std::size_t(first)];
        for (qsizetype i = first; i <= last; ++i) {
            ms += timing.durationMs[std::size_t(i)];
            lmax = std::max(lmax, levels[std::size_t(i)]);
        }
        if (ms <= 0 || ms < minimumMs)
            return;
        ExceedanceEvent event;
        event.first = first;
        event.last = last;
        event.startMs = timing.startMs[std::size_t(first)];
        event.endMs = timing.endMs(last);
        event.durationSeconds = double(ms) / 1000.0;
        event.lmax = lmax;
        const auto count = std::size_t(last - first + 1);
        event.leq = AcousticStatistics::equivalentLevel(
            levels.subspan(std::size_t(first), count),
            std::span<const double>(timing.seconds).subspan(std::size_t(first), count));
        event.sel = soundExposureLevel(event.leq, event.durationSeconds);
        events.append(event);
    };

    qsizetype first = -1;
    for (qsizetype i = 0; i < n; ++i) {
        const float level = levels[std::size_t(i)];
        const bool finite = std::isfinite(level);
        if (first >= 0 && (!finite || tenths(level) < releaseTenths)) {
            close(first, i - 1);
            first = -1;
        }
        if (first < 0 && finite && AcousticStatistics::isAbove(level, criteria.thresholdDb))
            first = i;
        if (first >= 0 && timing.gapAfter(i)) {
            close(first, i);
            first = -1;
        }
    }
    if (first >= 0)
        close(first, n - 1);
    return events;
}

} // namespace ExceedanceEvents
