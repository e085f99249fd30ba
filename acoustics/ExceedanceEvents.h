#pragma once

// Exceedance events: the level above a threshold for at least a minimum
// duration. An event starts at a level above the threshold (strictly, in the
// meter's 0.1 dB steps, as AcousticStatistics counts "above") and takes every
// following sample until one lies below threshold - hysteresis (again in
// 0.1 dB steps), a level that is not finite comes, or the data have a gap;
// it is kept when the time its samples stand for (SampleTiming) reaches the
// minimum duration. Of a kept event: start, end (the end of its last
// sample), duration, Lmax, the time-weighted equivalent level and the sound
// exposure level SEL = Leq + 10 log10(duration / 1 s).

#include "acoustics/SampleTiming.h"

#include <QList>

#include <span>

struct EventCriteria
{
    double thresholdDb = 85.0;
    double minDurationSeconds = 10.0;
    double hysteresisDb = 2.0; // 0 or more
};

struct ExceedanceEvent
{
    qsizetype first = 0; // sample indices, both included
    qsizetype last = 0;
    qint64 startMs = 0;
    qint64 endMs = 0;
    double durationSeconds = 0.0;
    double lmax = 0.0;
    double leq = 0.0;
    double sel = 0.0;
};

namespace ExceedanceEvents {

[[nodiscard]] QList<ExceedanceEvent> find(const SampleTiming& timing, std::span<const float> levels,
                                          const EventCriteria& criteria);

// SEL of an equivalent level held for a duration: Leq + 10 log10(seconds).
[[nodiscard]] double soundExposureLevel(double leq, double seconds);

} // namespace ExceedanceEvents
