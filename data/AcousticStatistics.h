#pragma once

// Acoustic figures of a run of equally spaced sound levels in dB: the
// equivalent continuous level, the percentile levels, the extremes, the
// duration and the time above a threshold. These judge noise the way an
// acoustics engineer does; the arithmetic mean of the graph window's
// statistics (SeriesStatistics) is a different figure and stays as it is.
//
// Percentile level Ln, "the level exceeded during n % of the samples", is
// defined once, here, and used everywhere: of the N levels sorted ascending,
// Ln is the one at 1-based rank ceil((100 - n) / 100 * N), at least 1 (nearest
// rank, no interpolation, so Ln is always a level that was measured). For the
// levels 1..100 dB each once that gives L10 = 90, L50 = 50, L90 = 10: exactly
// n % of the samples lie above Ln.
//
// "Above the threshold" is judged in the meter's 0.1 dB steps, the steps the
// levels and the threshold are shown in: the threshold is taken at its
// nearest step (thresholdStep: 70.29, 70.3 and 70.31 all count as 70.3), a
// level at its nearest step, and a level counts when its step lies strictly
// above the threshold's. So 85.3 dB is not above 85.3 dB, although the float
// 85.3f is a hair above the double 85.3.

#include <QLocale>
#include <QString>
#include <QtGlobal>

#include <memory>
#include <span>

struct AcousticFigures
{
    qsizetype sampleCount = 0;
    double intervalSeconds = 0.0; // seconds between samples, as given
    double durationSeconds = 0.0; // sampleCount * intervalSeconds; see hasDurations()

    double leq = 0.0; // 10 log10 of the mean of 10^(L/10)
    double l5 = 0.0;
    double l10 = 0.0;
    double l50 = 0.0;
    double l90 = 0.0;
    double l95 = 0.0;
    double lmax = 0.0;
    double lmin = 0.0;

    double thresholdDb = 0.0;  // the step counted with (thresholdStep of the one given)
    double secondsAbove = 0.0; // samples strictly above the threshold * interval
    double percentAbove = 0.0; // of the samples, 0..100

    [[nodiscard]] bool isEmpty() const { return sampleCount == 0; }
    // False when the interval given was negative or not a number (times that
    // run backwards): then the duration and the time above are not known and
    // stay 0, rather than coming out negative.
    [[nodiscard]] bool hasDurations() const;
};

namespace AcousticStatistics {

// The figures of the whole run. An empty run gives isEmpty() and zero fields;
// non-finite levels are left out of every figure and of the count.
[[nodiscard]] AcousticFigures of(std::span<const float> levels, double intervalSeconds,
                                 double thresholdDb);

// The figures of levels lo..hi inclusive, lo the smaller and hi the larger of
// the two indices (cursor thumbs may cross); indices are clamped into the run.
[[nodiscard]] AcousticFigures between(std::span<const float> levels, qsizetype indexA,
                                      qsizetype indexB, double intervalSeconds,
                                      double thresholdDb);

// Energy mean without overflow: the maximum is taken out before raising to
// the power, so 99,999 levels of 140 dB give 140 dB. 0 for an empty run.
[[nodiscard]] double equivalentLevel(std::span<const float> levels);

// The same, each level weighted by the seconds it stands for (the samples of
// a real-time recording are not evenly spaced). Levels that are not finite
// and weights that are not finite and above 0 are left out; levels and
// seconds are read up to the shorter of the two. 0 when nothing is left.
[[nodiscard]] double equivalentLevel(std::span<const float> levels,
                                     std::span<const double> seconds);

// Ln by the nearest-rank definition above; percent is clamped to 0..100.
// 0 for an empty run.
[[nodiscard]] double exceededLevel(std::span<const float> levels, double percent);

// The 0.1 dB step a threshold is counted with: the nearest one (70.25 gives
// 70.3). Not a number stays not a number, and counts no level above it.
[[nodiscard]] double thresholdStep(double dB);

// Whether a level lies above a threshold, in 0.1 dB steps (see above).
[[nodiscard]] bool isAbove(float level, double thresholdDb);

} // namespace AcousticStatistics

// The figures of a run that grows one level at a time, as real-time
// recording grows it. add() costs O(1); figures() costs one pass over the
// meter's 0.1 dB steps, however long the run, and gives exactly what
// AcousticStatistics::of() gives for the same levels. A level off the 0.1 dB
// grid (or outside -50..250 dB) cannot be counted in steps: from then on
// figures() works them out afresh from the levels it is handed.
class RunningAcousticFigures
{
public:
    RunningAcousticFigures();
    ~RunningAcousticFigures();
    RunningAcousticFigures(const RunningAcousticFigures&) = delete;
    RunningAcousticFigures& operator=(const RunningAcousticFigures&) = delete;

    void reset();
    void add(float level);
    // Levels added since the last reset, non-finite ones included.
    [[nodiscard]] qsizetype addedCount() const { return m_added; }
    // False once a level off the 0.1 dB grid was added.
    [[nodiscard]] bool inSteps() const { return m_inSteps; }
    // levels: the levels added since the last reset, in order; read only
    // when inSteps() is false.
    [[nodiscard]] AcousticFigures figures(std::span<const float> levels, double intervalSeconds,
                                          double thresholdDb) const;

private:
    struct Steps;
    std::unique_ptr<Steps> m_steps; // about 24 KB: on the heap
    qsizetype m_added = 0;
    bool m_inSteps = true;
};

// The weighting a run was measured with: "A" or "C", or "mixed" when the
// weighting changed during a real-time recording.
enum class AcousticWeighting { A, C, Mixed };

// "A", "C" or "mixed".
[[nodiscard]] QString weightingText(AcousticWeighting weighting);

// A duration as h:mm:ss, with tenths when it is not whole seconds
// ("0:33:25", "1:02:03,5" under a comma decimal separator); below 0 is 0.
[[nodiscard]] QString durationText(double seconds, const QLocale& locale = QLocale());

// "LAeq", "LCeq" or "Leq" (mixed), the name the equivalent level goes by.
[[nodiscard]] QString equivalentLevelName(AcousticWeighting weighting);

// Follows the weighting the meter shows during a real-time recording: the one
// at the first sample, Mixed from the first change on.
class WeightingTracker
{
public:
    void reset() { m_samples = 0; }
    void add(bool aWeighting);
    [[nodiscard]] bool hasSamples() const { return m_samples > 0; }
    [[nodiscard]] AcousticWeighting weighting() const { return m_weighting; }

private:
    qsizetype m_samples = 0;
    AcousticWeighting m_weighting = AcousticWeighting::A;
};
