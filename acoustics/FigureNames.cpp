#include "acoustics/FigureNames.h"

#include <QLocale>

#include <algorithm>
#include <cmath>
#include <vector>

namespace FigureNames {

double percentileLevel(std::span<const float> levels, double percent, PercentileRule rule)
{
    if (rule == PercentileRule::NearestRank)
        return AcousticStatistics::exceededLevel(levels, percent);
    std::vector<float> kept;
    kept.reserve(levels.size());
    for (const float v : levels)
        if (std::isfinite(v))
            kept.push_back(v);
    if (kept.empty())
        return 0.0;
    std::sort(kept.begin(), kept.end());
    const double position =
        (1.0 - std::clamp(percent, 0.0, 100.0) / 100.0) * double(kept.size() - 1);
    const auto below = std::size_t(std::floor(position));
    const std::size_t above = std::min(below + 1, kept.size() - 1);
    const double fraction = position - double(below);
    return double(kept[below]) + fraction * (double(kept[above]) - double(kept[below]));
}

QString percentileRuleText(PercentileRule rule)
{
    return rule == PercentileRule::NearestRank ? QStringLiteral("nearest rank")
                                               : QStringLiteral("interpolated");
}

std::optional<PercentileRule> percentileRuleOf(const QString& text)
{
    if (text == QLatin1String("nearest-rank") ||
        text == percentileRuleText(PercentileRule::NearestRank))
        return PercentileRule::NearestRank;
    if (text == percentileRuleText(PercentileRule::Interpolated))
        return PercentileRule::Interpolated;
    return std::nullopt;
}

QString equivalentLevelName(std::optional<AcousticWeighting> weighting)
{
    return ::equivalentLevelName(weighting.value_or(AcousticWeighting::Mixed));
}

QString equivalentLevelKey(std::optional<AcousticWeighting> weighting)
{
    return equivalentLevelName(weighting).toLower() + QStringLiteral("_db");
}

QString levelName(std::optional<AcousticWeighting> weighting, TimeWeighting timeWeighting,
                  const QString& suffix)
{
    QString name = QStringLiteral("L");
    if (weighting && *weighting != AcousticWeighting::Mixed) {
        name += weightingText(*weighting);
        if (timeWeighting == TimeWeighting::Fast)
            name += QLatin1Char('F');
        else if (timeWeighting == TimeWeighting::Slow)
            name += QLatin1Char('S');
    }
    return name + suffix;
}

QString samplingNote(qsizetype readings, double intervalSeconds)
{
    return QStringLiteral("sampled: %1 %2 at %3 s")
        .arg(readings)
        .arg(readings == 1 ? QStringLiteral("reading") : QStringLiteral("readings"))
        .arg(QLocale::c().toString(intervalSeconds, 'g', 6));
}

SampleCounts countSamples(std::span<const float> levels, bool loggerData,
                          qsizetype rowsWithoutLevel)
{
    SampleCounts counts;
    counts.rowsWithoutLevel = rowsWithoutLevel;
    for (const float v : levels) {
        if (!std::isfinite(v)) {
            ++counts.notFinite;
            continue;
        }
        ++counts.samples;
        const double tenths = std::round(double(v) * 10.0);
        if (tenths < 200.0 || tenths > 1400.0)
            ++counts.outOfRange;
        if (loggerData && tenths == 500.0)
            ++counts.possibleStandIns;
    }
    return counts;
}

} // namespace FigureNames
