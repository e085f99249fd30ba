#include "data/AcousticStatistics.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <vector>

namespace {

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
    // 10^(d/10) as exp(d ln10 / 10): the same value, a good deal cheaper.
    const double perDb = std::log(10.0) / 10.0;
    double sum = 0.0;
    for (const float v : levels)
        sum += std::exp((double(v) - double(top)) * perDb);
    return double(top) + 10.0 * std::log10(sum / double(levels.size()));
}

AcousticFigures figuresOf(std::vector<float> levels, double intervalSeconds, double thresholdDb)
{
    AcousticFigures f;
    f.intervalSeconds = intervalSeconds;
    f.thresholdDb = thresholdDb;
    if (levels.empty())
        return f;

    const std::size_t n = levels.size();
    f.sampleCount = qsizetype(n);
    f.durationSeconds = double(n) * intervalSeconds;
    f.leq = energyMean(levels);

    qsizetype above = 0;
    for (const float v : levels) {
        if (double(v) > thresholdDb)
            ++above;
    }
    f.secondsAbove = double(above) * intervalSeconds;
    f.percentAbove = 100.0 * double(above) / double(n);

    // Selection instead of a full sort: each rank is placed in turn, and every
    // later (higher) rank only searches the part above the one before.
    const std::array<double, 5> percents{95.0, 90.0, 50.0, 10.0, 5.0};
    std::array<double*, 5> targets{&f.l95, &f.l90, &f.l50, &f.l10, &f.l5};
    auto from = levels.begin();
    for (std::size_t i = 0; i < percents.size(); ++i) {
        const auto nth = levels.begin() + std::ptrdiff_t(rankIndex(n, percents[i]));
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

namespace AcousticStatistics {

AcousticFigures of(std::span<const float> levels, double intervalSeconds, double thresholdDb)
{
    return figuresOf(finiteLevels(levels), intervalSeconds, thresholdDb);
}

AcousticFigures between(std::span<const float> levels, qsizetype indexA, qsizetype indexB,
                        double intervalSeconds, double thresholdDb)
{
    const auto n = qsizetype(levels.size());
    if (n == 0)
        return figuresOf({}, intervalSeconds, thresholdDb);
    const qsizetype lo = std::clamp<qsizetype>(std::min(indexA, indexB), 0, n - 1);
    const qsizetype hi = std::clamp<qsizetype>(std::max(indexA, indexB), 0, n - 1);
    return of(levels.subspan(std::size_t(lo), std::size_t(hi - lo + 1)), intervalSeconds,
              thresholdDb);
}

double equivalentLevel(std::span<const float> levels)
{
    return energyMean(finiteLevels(levels));
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

} // namespace AcousticStatistics

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
