#pragma once

// The levels of consecutive periods of a series: periods of a chosen length
// (5 min, 15 min, 1 h, ... a length that divides a day) aligned to the local
// clock (a 15 min period starts at :00, :15, :30 or :45 of the wall-clock
// time the samples carry), from the period of the first sample to that of
// the end of the last. Per period: the time-weighted equivalent level of the
// samples that start in it, their Lmax, L10 and L90 (by the percentile rule
// chosen), their count, and the coverage: the part of the period the
// samples stand for (SampleTiming), overlaps included. A period with less
// than full coverage - a gap, the ragged ends of the series - is marked
// incomplete, not averaged as if it were whole; one without samples has no
// levels.

#include "acoustics/ExceedanceEvents.h"
#include "acoustics/FigureNames.h"
#include "acoustics/SampleTiming.h"

#include <QList>
#include <QString>

#include <optional>
#include <span>

struct PeriodLevel
{
    qint64 startMs = 0;
    qint64 endMs = 0;
    qsizetype samples = 0; // finite levels that start in the period
    double leq = 0.0;      // the levels: 0 when samples is 0
    double lmax = 0.0;
    double l10 = 0.0;
    double l90 = 0.0;
    qint64 coveredMs = 0;
    double coverage = 0.0; // 0..1
    qsizetype events = 0;  // exceedance events that start in the period

    [[nodiscard]] bool isComplete() const { return coveredMs >= endMs - startMs; }
};

namespace PeriodLevels {

// The most periods one table holds.
inline constexpr qsizetype kMostPeriods = 1'000'000;

// A period length: a number with s, m, h or d ("15m", "1h", "30s", "1d"; a
// bare number is seconds), at least 1 s, dividing a day. Nothing else.
[[nodiscard]] std::optional<qint64> lengthOf(const QString& text);

// The table; empty when there are no samples or more than kMostPeriods
// periods would be needed.
[[nodiscard]] QList<PeriodLevel> of(const SampleTiming& timing, std::span<const float> levels,
                                    qint64 lengthMs,
                                    PercentileRule rule = PercentileRule::NearestRank);

// Counts each event once, in the period where it starts, also when it runs
// on into the next.
void countEvents(QList<PeriodLevel>& periods, const QList<ExceedanceEvent>& events);

} // namespace PeriodLevels
