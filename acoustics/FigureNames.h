#pragma once

// The names the acoustic figures go by, the rule their percentile levels
// follow, and the counts that stand beside them, so that a figure says what
// it is and can be matched to a spreadsheet.
//
// - The equivalent level is "LAeq" only for A-weighted data, "LCeq" for C,
//   "Leq" when the weighting is mixed or not known (text and CSV files).
// - With the time weighting known (live frames), the level is "LAF"/"LAS",
//   its maximum "LAFmax"; without it (or mixed), "LA"/"LAmax".
// - Percentile levels Ln follow the nearest rank (AcousticStatistics: always
//   a level that was measured); the interpolated Ln is the spreadsheet's
//   PERCENTILE.INC of the levels at 1 - n/100.

#include "data/AcousticStatistics.h"

#include <QString>

#include <optional>
#include <span>

enum class PercentileRule
{
    NearestRank,
    Interpolated
};

enum class TimeWeighting
{
    Unknown,
    Fast,
    Slow,
    Mixed // changed during a recording: named as not known
};

// Follows the time weighting the live frames report during a real-time
// recording: Unknown before the first sample, then the first sample's,
// Mixed from the first change on.
class TimeWeightingTracker
{
public:
    void reset() { m_weighting = TimeWeighting::Unknown; }
    void add(bool fast)
    {
        const TimeWeighting now = fast ? TimeWeighting::Fast : TimeWeighting::Slow;
        if (m_weighting == TimeWeighting::Unknown)
            m_weighting = now;
        else if (m_weighting != now)
            m_weighting = TimeWeighting::Mixed;
    }
    [[nodiscard]] TimeWeighting timeWeighting() const { return m_weighting; }

private:
    TimeWeighting m_weighting = TimeWeighting::Unknown;
};

// Counts shown beside the figures rather than folded into them silently.
struct SampleCounts
{
    qsizetype samples = 0;    // levels that count (finite)
    qsizetype notFinite = 0;  // left out of every figure
    qsizetype outOfRange = 0; // below 20.0 or above 140.0 dB, the meter's range
    // Logger data: levels of exactly 50.0 dB, which is also what the logger
    // stores in place of a level it could not measure; which of them are
    // stand-ins the memory does not tell.
    qsizetype possibleStandIns = 0;
    qsizetype rowsWithoutLevel = 0; // text and CSV files: rows left out
};

namespace FigureNames {

// Ln of the finite levels by the rule; percent clamped to 0..100; 0 when
// there are none.
[[nodiscard]] double percentileLevel(std::span<const float> levels, double percent,
                                     PercentileRule rule);
// "nearest rank" or "interpolated".
[[nodiscard]] QString percentileRuleText(PercentileRule rule);
[[nodiscard]] std::optional<PercentileRule> percentileRuleOf(const QString& text);

// "LAeq", "LCeq", "Leq"; nothing known counts as not known.
[[nodiscard]] QString equivalentLevelName(std::optional<AcousticWeighting> weighting);
// The JSON key of the equivalent level: "laeq_db", "lceq_db" or "leq_db".
[[nodiscard]] QString equivalentLevelKey(std::optional<AcousticWeighting> weighting);
// A level name by frequency and time weighting, with a suffix: ("LAF",
// "max") gives "LAFmax"; "L" + "max" when the weighting is not known.
[[nodiscard]] QString levelName(std::optional<AcousticWeighting> weighting,
                                TimeWeighting timeWeighting, const QString& suffix = {});

// "sampled: 600 readings at 2 s": the equivalent level of a logger is worked
// out from readings, not integrated by the meter.
[[nodiscard]] QString samplingNote(qsizetype readings, double intervalSeconds);

[[nodiscard]] SampleCounts countSamples(std::span<const float> levels, bool loggerData,
                                        qsizetype rowsWithoutLevel = 0);

} // namespace FigureNames
