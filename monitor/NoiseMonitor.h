#pragma once

// Unattended noise monitoring: the live readings turned, as they stream in,
// into the levels of consecutive intervals and into exceedance events.
//
// Times are ms since the Unix epoch (UTC); the caller hands each reading
// with the time it arrived and calls advanceTo() now and then (the link's
// one-second tick), so that intervals close also while the meter is silent.
// Readings must come in time order; an earlier one is dropped.
//
// Each reading stands for the time up to the next one (SampleTiming's rule
// on a stream): the nominal spacing is the median of the last spacings
// above 0 that were not gaps (1 s before there is one); a spacing above 1.5
// times the nominal one is a gap (the first spacing only above 10 s), the reading
// before it standing for the nominal spacing only, as does the last reading
// at the end and one followed by a spacing of 0.
// A gap - a meter unplugged and plugged back - shows in the intervals as
// reduced coverage and never as a made-up level; an interval without
// readings has no levels.
//
// Intervals are aligned to the local wall clock (a 15 min interval starts at
// :00, :15, :30 or :45), from the one the monitoring starts in. Per interval:
// the equivalent level, each reading weighted by the time it stands for;
// Lmax, Lmin and the percentile levels L10, L50, L90 of its readings
// (nearest rank); the readings; the coverage; the frequency and time
// weighting seen; the readings the meter marked OVER or UNDER (counted, and
// kept in the figures as the meter shows them).
//
// Events follow ExceedanceEvents exactly: on the same readings (and a
// steady stream, whose recent median spacing is the median of the whole)
// they are the events ExceedanceEvents::find gives.

#include "acoustics/ExceedanceEvents.h"
#include "data/AcousticStatistics.h"
#include "meter/LiveFrame.h"

#include <QList>
#include <QString>

#include <deque>
#include <functional>
#include <map>
#include <optional>
#include <vector>

// The time weighting of the readings of an interval.
enum class TimeWeightingSeen
{
    None, // no readings
    Fast,
    Slow,
    Mixed
};

struct MonitorInterval
{
    qint64 startMs = 0; // UTC, ms since the epoch
    qint64 endMs = 0;
    qsizetype readings = 0;
    double leq = 0.0; // the levels: 0 when readings is 0
    double lmax = 0.0;
    double lmin = 0.0;
    double l10 = 0.0;
    double l50 = 0.0;
    double l90 = 0.0;
    qint64 coveredMs = 0;
    double coverage = 0.0; // 0..1
    qsizetype overRange = 0;
    qsizetype underRange = 0;
    std::optional<AcousticWeighting> weighting; // none without readings
    TimeWeightingSeen timeWeighting = TimeWeightingSeen::None;

    [[nodiscard]] bool hasLevels() const { return readings > 0; }
    [[nodiscard]] bool isComplete() const { return coveredMs >= endMs - startMs; }
};

struct MonitorEvent
{
    qint64 startMs = 0; // UTC, ms since the epoch
    qint64 endMs = 0;   // the end of its last reading
    double durationSeconds = 0.0;
    double lmax = 0.0;
    double leq = 0.0;
    double sel = 0.0;
    qsizetype readings = 0;
    std::optional<AcousticWeighting> weighting;
};

struct MonitorSettings
{
    qint64 intervalMs = 60'000;
    // Events are looked for only when set.
    std::optional<EventCriteria> events;
};

class NoiseMonitor
{
public:
    // The interval lengths offered: 10 s, 1 min, 5 min, 15 min, 1 h.
    [[nodiscard]] static const QList<qint64>& intervalLengths();
    // "10s", "1m", "5m", "15m", "1h" (also "60s", "60m", ...) of those.
    [[nodiscard]] static std::optional<qint64> intervalOf(const QString& text);
    // The spacings the nominal one is the median of.
    static constexpr std::size_t kSpacingWindow = 63;
    static constexpr qint64 kDefaultSpacingMs = 1000;
    static constexpr qint64 kFirstGapMs = 10'000;

    explicit NoiseMonitor(const MonitorSettings& settings);

    // Called with each interval and event as it closes, in that order within
    // one call.
    void setIntervalHandler(std::function<void(const MonitorInterval&)> handler)
    {
        m_onInterval = std::move(handler);
    }
    void setEventHandler(std::function<void(const MonitorEvent&)> handler)
    {
        m_onEvent = std::move(handler);
    }

    // Monitoring starts: the first interval is the one holding nowMs.
    void start(qint64 nowMs);
    void addReading(const MeterReading& reading, qint64 nowMs);
    // No reading has come up to nowMs: intervals that ended are closed.
    void advanceTo(qint64 nowMs);
    // Monitoring ends: the last reading stands for the nominal spacing, an
    // open event ends, the interval holding nowMs closes as it is.
    void finish(qint64 nowMs);

    [[nodiscard]] qint64 nominalSpacingMs() const { return m_nominalMs; }
    [[nodiscard]] qint64 intervalMs() const { return m_settings.intervalMs; }
    // The interval (start, end) that holds ms, aligned to the local clock.
    [[nodiscard]] std::pair<qint64, qint64> intervalAround(qint64 ms) const;

private:
    struct Reading
    {
        qint64 ms = 0;
        float level = 0.0f;
        bool weightingA = false;
        bool fast = false;
        bool over = false;
        bool under = false;
    };
    struct OpenInterval
    {
        qint64 startMs = 0;
        qint64 endMs = 0;
        qint64 coveredMs = 0;
        std::vector<float> levels;
        std::vector<double> seconds;
        qsizetype over = 0;
        qsizetype under = 0;
        WeightingTracker weighting;
        TimeWeightingSeen timeWeighting = TimeWeightingSeen::None;
    };
    struct OpenEvent
    {
        qint64 startMs = 0;
        qint64 endMs = 0;
        qint64 durationMs = 0;
        std::vector<float> levels; // settled readings
        std::vector<double> seconds;
        WeightingTracker weighting;
    };

    void settle(const Reading& reading, qint64 durationMs, bool gapAfter);
    void closeEvent();
    void closeIntervalsBefore(qint64 settledMs);
    OpenInterval& intervalFor(qint64 ms);
    void emitInterval(OpenInterval& interval);
    void noteSpacing(qint64 spacingMs);
    [[nodiscard]] bool isGap(qint64 spacingMs) const;

    MonitorSettings m_settings;
    std::function<void(const MonitorInterval&)> m_onInterval;
    std::function<void(const MonitorEvent&)> m_onEvent;

    bool m_started = false;
    qint64 m_nextIntervalStart = 0;             // the first interval not yet closed
    std::map<qint64, OpenInterval> m_intervals; // by start
    std::optional<Reading> m_unsettled;         // the last reading, its time not yet known
    std::optional<qint64> m_lastReadingMs;
    std::deque<qint64> m_spacings;
    qint64 m_nominalMs = kDefaultSpacingMs;
    std::optional<OpenEvent> m_event;
    // The readings of the open event not yet settled (at most the last).
    bool m_eventHoldsUnsettled = false;
};
