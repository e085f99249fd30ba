#include "data/AcousticStatistics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <memory>
#include <vector>

namespace {

constexpr std::array<double, 5> kPercents{95.0, 90.0, 50.0, 10.0, 5.0};

// 10^(d/10) as exp(d ln10 / 10): the same value, a good deal cheaper.
const double kPerDb = std::log(10.0) / 10.0;

std::vector<float> finiteLevels(std::span<const float> levels)
{
    std::vector<float> kept;
    kept.reserve(levels.size());
    for (const float v : levels) {
        if (std::isfinite(v))
            kept.push_back(v);
    }
    return kept;
}

// 0-based index into the ascending levels of Ln (nearest rank, see the header).
std::size_t rankIndex(std::size_t count, double percent)
{
    const double p = std::clamp(percent, 0.0, 100.0);
    const double rank = std::ceil((100.0 - p) / 100.0 * double(count) - 1e-9);
    const auto clamped = std::clamp(rank, 1.0, double(count));
    return std::size_t(clamped) - 1;
}

double energyMean(std::span<const float> levels)
{
    if (levels.empty())
        return 0.0;
    const float top = *std::max_element(levels.begin(), levels.end());
    double sum = 0.0;
    for (const float v : levels)
        sum += std::exp((double(v) - double(top)) * kPerDb);
    return double(top) + 10.0 * std::log10(sum / double(levels.size()));
}

// Levels and thresholds in whole tenths of a dB, the meter's steps.
double tenthsOf(double dB)
{
    return std::round(dB * 10.0);
}

AcousticFigures emptyFigures(double intervalSeconds, double thresholdDb)
{
    AcousticFigures f;
    f.intervalSeconds = intervalSeconds;
    f.thresholdDb = AcousticStatistics::thresholdStep(thresholdDb);
    return f;
}

void fillCounts(AcousticFigures& f, qsizetype count, qsizetype above)
{
    f.sampleCount = count;
    if (f.hasDurations()) {
        f.durationSeconds = double(count) * f.intervalSeconds;
        f.secondsAbove = double(above) * f.intervalSeconds;
    }
    f.percentAbove = 100.0 * double(above) / double(count);
}

// The meter reads in steps of 0.1 dB, so a run of its levels fits a histogram
// of 0.1 dB bins exactly: every figure then costs one pass over the samples
// and one over the bins, cheap enough for every thumb move. A level off that
// grid or outside the bins gives nothing, and the exact selection below runs.
class TenthDbHistogram
{
public:
    static constexpr int kLowest = -500; // -50.0 dB
    static constexpr int kHighest = 2500; // 250.0 dB

    [[nodiscard]] bool fill(std::span<const float> levels)
    {
        for (const float v : levels) {
            if (!add(v))
                return false;
        }
        return true;
    }

    // Counts one level; a non-finite one is left out. False (and nothing
    // counted) for a level off the grid or outside the bins.
    [[nodiscard]] bool add(float v)
    {
        if (!std::isfinite(v))
            return true;
        const double tenths = std::round(double(v) * 10.0);
        if (tenths < kLowest || tenths > kHighest)
            return false;
        const int bin = int(tenths);
        if (binLevel(bin) != v)
            return false;
        ++m_counts[std::size_t(bin - kLowest)];
        ++m_total;
        return true;
    }

    void clear()
    {
        m_counts.fill(0);
        m_total = 0;
    }

    [[nodiscard]] AcousticFigures figures(double intervalSeconds, double thresholdDb) const
    {
        AcousticFigures f = emptyFigures(intervalSeconds, thresholdDb);
        if (m_total == 0)
            return f;
        int lowest = 0;
        while (m_counts[std::size_t(lowest)] == 0)
            ++lowest;
        int highest = int(m_counts.size()) - 1;
        while (m_counts[std::size_t(highest)] == 0)
            --highest;
        const float top = binLevel(highest + kLowest);

        std::array<std::size_t, kPercents.size()> ranks{};
        for (std::size_t i = 0; i < kPercents.size(); ++i)
            ranks[i] = rankIndex(std::size_t(m_total), kPercents[i]);
        std::array<double, kPercents.size()> levels{};

        const double thresholdTenths = tenthsOf(thresholdDb);
        double sum = 0.0;
        qsizetype below = 0; // samples in the bins passed so far
        qsizetype above = 0;
        std::size_t next = 0;
        for (int i = lowest; i <= highest; ++i) {
            const qsizetype count = m_counts[std::size_t(i)];
            if (count == 0)
                continue;
            const float level = binLevel(i + kLowest);
            sum += double(count) * std::exp((double(level) - double(top)) * kPerDb);
            if (double(i + kLowest) > thresholdTenths)
                above += count;
            below += count;
            while (next < ranks.size() && ranks[next] < std::size_t(below))
                levels[next++] = level;
        }
        fillCounts(f, m_total, above);
        f.leq = double(top) + 10.0 * std::log10(sum / double(m_total));
        f.l95 = levels[0];
        f.l90 = levels[1];
        f.l50 = levels[2];
        f.l10 = levels[3];
        f.l5 = levels[4];
        f.lmin = binLevel(lowest + kLowest);
        f.lmax = top;
        return f;
    }

private:
    // The float a level of this many tenths of a dB is read as.
    static float binLevel(int tenths) { return float(double(tenths) / 10.0); }

    std::array<qsizetype, kHighest - kLowest + 1> m_counts{};
    qsizetype m_total = 0;
};

AcousticFigures exactFigures(std::vector<float> levels, double intervalSeconds,
                             double thresholdDb)
{
    AcousticFigures f = emptyFigures(intervalSeconds, thresholdDb);
    if (levels.empty())
        return f;

    const std::size_t n = levels.size();
    f.leq = energyMean(levels);
    const auto above = std::count_if(levels.begin(), levels.end(), [&](float v) {
        return AcousticStatistics::isAbove(v, thresholdDb);
    });
    fillCounts(f, qsizetype(n), qsizetype(above));

    // Selection instead of a full sort: each rank is placed in turn, and every
    // later (higher) rank only searches the part above the one before.
    std::array<double*, kPercents.size()> targets{&f.l95, &f.l90, &f.l50, &f.l10, &f.l5};
    auto from = levels.begin();
    for (std::size_t i = 0; i < kPercents.size(); ++i) {
        const auto nth = levels.begin() + std::ptrdiff_t(rankIndex(n, kPercents[i]));
        std::nth_element(from, nth, levels.end());
        *targets[i] = *nth;
        from = nth;
    }
    const auto [lo, hi] = std::minmax_element(levels.begin(), levels.end());
    f.lmin = *lo;
    f.lmax = *hi;
    return f;
}

} // namespace

struct RunningAcousticFigures::Steps
{
    TenthDbHistogram histogram;
};

RunningAcousticFigures::RunningAcousticFigures() : m_steps(std::make_unique<Steps>()) {}

RunningAcousticFigures::~RunningAcousticFigures() = default;

void RunningAcousticFigures::reset()
{
    m_steps->histogram.clear();
    m_added = 0;
    m_inSteps = true;
}

void RunningAcousticFigures::add(float level)
{
    ++m_added;
    if (m_inSteps && !m_steps->histogram.add(level))
        m_inSteps = false;
}

AcousticFigures RunningAcousticFigures::figures(std::span<const float> levels,
                                                double intervalSeconds, double thresholdDb) const
{
    if (m_inSteps)
        return m_steps->histogram.figures(intervalSeconds, thresholdDb);
    return exactFigures(finiteLevels(levels), intervalSeconds, thresholdDb);
}

namespace AcousticStatistics {

AcousticFigures of(std::span<const float> levels, double intervalSeconds, double thresholdDb)
{
    // About 24 KB of bins: on the heap, a thumb move may run on a small stack.
    const auto histogram = std::make_unique<TenthDbHistogram>();
    if (histogram->fill(levels))
        return histogram->figures(intervalSeconds, thresholdDb);
    return exactFigures(finiteLevels(levels), intervalSeconds, thresholdDb);
}

AcousticFigures between(std::span<const float> levels, qsizetype indexA, qsizetype indexB,
                        double intervalSeconds, double thresholdDb)
{
    const auto n = qsizetype(levels.size());
    if (n == 0)
        return emptyFigures(intervalSeconds, thresholdDb);
    const qsizetype lo = std::clamp<qsizetype>(std::min(indexA, indexB), 0, n - 1);
    const qsizetype hi = std::clamp<qsizetype>(std::max(indexA, indexB), 0, n - 1);
    return of(levels.subspan(std::size_t(lo), std::size_t(hi - lo + 1)), intervalSeconds,
              thresholdDb);
}

double equivalentLevel(std::span<const float> levels)
{
    return energyMean(finiteLevels(levels));
}

double equivalentLevel(std::span<const float> levels, std::span<const double> seconds)
{
    const std::size_t n = std::min(levels.size(), seconds.size());
    const auto counts = [&](std::size_t i) {
        return std::isfinite(levels[i]) && std::isfinite(seconds[i]) && seconds[i] > 0.0;
    };
    bool any = false;
    float top = 0.0f;
    for (std::size_t i = 0; i < n; ++i) {
        if (counts(i) && (!any || levels[i] > top)) {
            top = levels[i];
            any = true;
        }
    }
    if (!any)
        return 0.0;
    double sum = 0.0;
    double total = 0.0;
    for (std::size_t i = 0; i < n; ++i) {
        if (!counts(i))
            continue;
        sum += seconds[i] * std::exp((double(levels[i]) - double(top)) * kPerDb);
        total += seconds[i];
    }
    return double(top) + 10.0 * std::log10(sum / total);
}

double exceededLevel(std::span<const float> levels, double percent)
{
    std::vector<float> kept = finiteLevels(levels);
    if (kept.empty())
        return 0.0;
    const auto nth = kept.begin() + std::ptrdiff_t(rankIndex(kept.size(), percent));
    std::nth_element(kept.begin(), nth, kept.end());
    return *nth;
}

double thresholdStep(double dB)
{
    return tenthsOf(dB) / 10.0;
}

bool isAbove(float level, double thresholdDb)
{
    return tenthsOf(double(level)) > tenthsOf(thresholdDb);
}

} // namespace AcousticStatistics

bool AcousticFigures::hasDurations() const
{
    return std::isfinite(intervalSeconds) && intervalSeconds >= 0.0;
}

QString weightingText(AcousticWeighting weighting)
{
    switch (weighting) {
    case AcousticWeighting::A:
        return QStringLiteral("A");
    case AcousticWeighting::C:
        return QStringLiteral("C");
    case AcousticWeighting::Mixed:
        break;
    }
    return QStringLiteral("mixed");
}

QString durationText(double seconds, const QLocale& locale)
{
    const auto tenths = qint64(std::llround(std::clamp(seconds, 0.0, 1e12) * 10.0));
    const qint64 whole = tenths / 10;
    QString text = QStringLiteral("%1:%2:%3")
                       .arg(whole / 3600)
                       .arg(whole / 60 % 60, 2, 10, QLatin1Char('0'))
                       .arg(whole % 60, 2, 10, QLatin1Char('0'));
    if (tenths % 10 != 0)
        text += locale.decimalPoint() + QString::number(tenths % 10);
    return text;
}

QString equivalentLevelName(AcousticWeighting weighting)
{
    switch (weighting) {
    case AcousticWeighting::A:
        return QStringLiteral("LAeq");
    case AcousticWeighting::C:
        return QStringLiteral("LCeq");
    case AcousticWeighting::Mixed:
        break;
    }
    return QStringLiteral("Leq");
}

void WeightingTracker::add(bool aWeighting)
{
    const AcousticWeighting now = aWeighting ? AcousticWeighting::A : AcousticWeighting::C;
    if (m_samples++ == 0)
        m_weighting = now;
    else if (m_weighting != now)
        m_weighting = AcousticWeighting::Mixed;
}
