#include "monitor/NoiseMonitor.h"

#include <QDateTime>
#include <QRegularExpression>

#include <algorithm>
#include <cmath>

namespace {

double tenths(double dB)
{
    return std::round(dB * 10.0);
}

TimeWeightingSeen joined(TimeWeightingSeen seen, bool fast)
{
    const TimeWeightingSeen now = fast ? TimeWeightingSeen::Fast : TimeWeightingSeen::Slow;
    if (seen == TimeWeightingSeen::None || seen == now)
        return now;
    return TimeWeightingSeen::Mixed;
}

} // namespace

const QList<qint64>& NoiseMonitor::intervalLengths()
{
    static const QList<qint64> lengths{10'000, 60'000, 300'000, 900'000, 3'600'000};
    return lengths;
}

std::optional<qint64> NoiseMonitor::intervalOf(const QString& text)
{
    static const QRegularExpression pattern(QStringLiteral("^\\s*(\\d{1,6})\\s*([smh]?)\\s*$"));
    const QRegularExpressionMatch match = pattern.match(text);
    if (!match.hasMatch())
        return std::nullopt;
    const QString unit = match.captured(2);
    const qint64 unitMs = unit == QLatin1String("h")   ? 3'600'000
                          : unit == QLatin1String("m") ? 60'000
                                                       : 1000;
    const qint64 ms = match.captured(1).toLongLong() * unitMs;
    if (!intervalLengths().contains(ms))
        return std::nullopt;
    return ms;
}

NoiseMonitor::NoiseMonitor(const MonitorSettings& settings) : m_settings(settings)
{
    if (m_settings.intervalMs <= 0)
        m_settings.intervalMs = 60'000;
}

std::pair<qint64, qint64> NoiseMonitor::intervalAround(qint64 ms) const
{
    const qint64 offsetMs =
        qint64(QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime).offsetFromUtc()) * 1000;
    const qint64 local = ms + offsetMs;
    const qint64 length = m_settings.intervalMs;
    const qint64 into = ((local % length) + length) % length;
    const qint64 start = local - into - offsetMs;
    return {start, start + length};
}

void NoiseMonitor::start(qint64 nowMs)
{
    if (m_started)
        return;
    m_started = true;
    m_nextIntervalStart = intervalAround(nowMs).first;
}

bool NoiseMonitor::isGap(qint64 spacingMs) const
{
    // Before the first spacing only a long silence is a gap, so that a slow
    // meter's first spacing is taken for what it is.
    if (m_spacings.empty())
        return spacingMs > kFirstGapMs;
    return spacingMs > m_nominalMs * 3 / 2;
}

void NoiseMonitor::noteSpacing(qint64 spacingMs)
{
    if (spacingMs <= 0)
        return;
    m_spacings.push_back(spacingMs);
    if (m_spacings.size() > kSpacingWindow)
        m_spacings.pop_front();
    std::vector<qint64> sorted(m_spacings.begin(), m_spacings.end());
    const auto middle = sorted.begin() + std::ptrdiff_t(sorted.size() / 2);
    std::nth_element(sorted.begin(), middle, sorted.end());
    m_nominalMs = *middle;
}

void NoiseMonitor::addReading(const MeterReading& reading, qint64 nowMs)
{
    start(nowMs);
    if (m_lastReadingMs && nowMs < *m_lastReadingMs)
        return;
    if (m_lastReadingMs) {
        const qint64 step = nowMs - *m_lastReadingMs;
        const bool gap = isGap(step);
        if (m_unsettled) {
            settle(*m_unsettled, gap || step == 0 ? m_nominalMs : step, gap);
            m_unsettled.reset();
        }
        if (!gap)
            noteSpacing(step);
    }

    if (m_settings.events) {
        const EventCriteria& criteria = *m_settings.events;
        const double release =
            tenths(criteria.thresholdDb) - tenths(std::max(0.0, criteria.hysteresisDb));
        const bool finite = std::isfinite(reading.level);
        if (m_event && (!finite || tenths(reading.level) < release))
            closeEvent();
        if (!m_event && finite &&
            AcousticStatistics::isAbove(reading.level, criteria.thresholdDb)) {
            m_event = OpenEvent{};
            m_event->startMs = nowMs;
        }
        m_eventHoldsUnsettled = m_event.has_value();
    }

    m_unsettled = Reading{nowMs,        reading.level, reading.weightingA,
                          reading.fast, reading.over,  reading.under};
    m_lastReadingMs = nowMs;
    closeIntervalsBefore(nowMs);
}

void NoiseMonitor::advanceTo(qint64 nowMs)
{
    start(nowMs);
    if (m_unsettled && isGap(nowMs - m_unsettled->ms)) {
        settle(*m_unsettled, m_nominalMs, true);
        m_unsettled.reset();
    }
    if (m_lastReadingMs && nowMs < *m_lastReadingMs)
        return;
    closeIntervalsBefore(m_unsettled ? m_unsettled->ms : nowMs);
}

void NoiseMonitor::finish(qint64 nowMs)
{
    start(nowMs);
    if (m_unsettled) {
        settle(*m_unsettled, m_nominalMs, false);
        m_unsettled.reset();
    }
    if (m_event)
        closeEvent();
    closeIntervalsBefore(nowMs);
    if (m_nextIntervalStart < nowMs) {
        OpenInterval& last = intervalFor(m_nextIntervalStart);
        const qint64 end = last.endMs;
        emitInterval(last);
        m_nextIntervalStart = end;
    }
    m_intervals.clear();
}

NoiseMonitor::OpenInterval& NoiseMonitor::intervalFor(qint64 ms)
{
    const auto [start, end] = intervalAround(ms);
    auto [at, added] = m_intervals.try_emplace(start);
    if (added) {
        at->second.startMs = start;
        at->second.endMs = end;
    }
    return at->second;
}

void NoiseMonitor::settle(const Reading& reading, qint64 durationMs, bool gapAfter)
{
    OpenInterval& interval = intervalFor(reading.ms);
    interval.levels.push_back(reading.level);
    interval.seconds.push_back(double(durationMs) / 1000.0);
    interval.over += reading.over ? 1 : 0;
    interval.under += reading.under ? 1 : 0;
    interval.weighting.add(reading.weightingA);
    interval.timeWeighting = joined(interval.timeWeighting, reading.fast);

    // The time the reading stands for, split over the intervals it reaches.
    const qint64 end = reading.ms + durationMs;
    for (qint64 from = reading.ms; from < end;) {
        OpenInterval& part = intervalFor(from);
        const qint64 to = std::min(end, part.endMs);
        part.coveredMs += to - from;
        from = to;
    }

    if (m_event && m_eventHoldsUnsettled) {
        m_eventHoldsUnsettled = false;
        m_event->levels.push_back(reading.level);
        m_event->seconds.push_back(double(durationMs) / 1000.0);
        m_event->durationMs += durationMs;
        m_event->endMs = end;
        m_event->weighting.add(reading.weightingA);
        if (gapAfter)
            closeEvent();
    }
}

void NoiseMonitor::closeEvent()
{
    if (!m_event)
        return;
    OpenEvent event = std::move(*m_event);
    m_event.reset();
    m_eventHoldsUnsettled = false;
    const auto minimumMs = qint64(std::ceil(m_settings.events->minDurationSeconds * 1000.0 - 1e-6));
    if (event.levels.empty() || event.durationMs <= 0 || event.durationMs < minimumMs)
        return;
    MonitorEvent closed;
    closed.startMs = event.startMs;
    closed.endMs = event.endMs;
    closed.durationSeconds = double(event.durationMs) / 1000.0;
    closed.lmax = *std::max_element(event.levels.begin(), event.levels.end());
    closed.leq = AcousticStatistics::equivalentLevel(event.levels, event.seconds);
    closed.sel = ExceedanceEvents::soundExposureLevel(closed.leq, closed.durationSeconds);
    closed.readings = qsizetype(event.levels.size());
    closed.weighting = event.weighting.weighting();
    if (m_onEvent)
        m_onEvent(closed);
}

void NoiseMonitor::closeIntervalsBefore(qint64 settledMs)
{
    if (!m_started)
        return;
    for (;;) {
        const auto [start, end] = intervalAround(m_nextIntervalStart);
        if (end > settledMs)
            return;
        emitInterval(intervalFor(start));
        m_nextIntervalStart = end;
    }
}

void NoiseMonitor::emitInterval(OpenInterval& interval)
{
    MonitorInterval closed;
    closed.startMs = interval.startMs;
    closed.endMs = interval.endMs;
    closed.readings = qsizetype(interval.levels.size());
    if (closed.readings > 0) {
        const auto [low, high] =
            std::minmax_element(interval.levels.begin(), interval.levels.end());
        closed.lmin = *low;
        closed.lmax = *high;
        closed.leq = AcousticStatistics::equivalentLevel(interval.levels, interval.seconds);
        closed.l10 = AcousticStatistics::exceededLevel(interval.levels, 10.0);
        closed.l50 = AcousticStatistics::exceededLevel(interval.levels, 50.0);
        closed.l90 = AcousticStatistics::exceededLevel(interval.levels, 90.0);
        closed.weighting = interval.weighting.weighting();
    }
    closed.coveredMs = interval.coveredMs;
    closed.coverage = std::clamp(
        double(interval.coveredMs) / double(interval.endMs - interval.startMs), 0.0, 1.0);
    closed.overRange = interval.over;
    closed.underRange = interval.under;
    closed.timeWeighting = interval.timeWeighting;
    m_intervals.erase(interval.startMs);
    if (m_onInterval)
        m_onInterval(closed);
}
