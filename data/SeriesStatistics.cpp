#include "data/SeriesStatistics.h"

#include <algorithm>

namespace {

SeriesStatistics scan(std::span<const double> x, std::span<const float> y, qsizetype lo,
                      qsizetype hi)
{
    SeriesStatistics s;
    s.pointCount = hi - lo + 1;
    s.firstIndex = lo;
    s.startTime = x[lo];
    s.rateSeconds = (x[hi] - x[lo]) * 86400.0 / double(s.pointCount);

    // Seeded with the first point rather than a sentinel level, so that the
    // extremes always name a real point; ties keep the earlier point.
    double sum = 0.0;
    float maximum = y[lo];
    float minimum = y[lo];
    qsizetype maximumIndex = lo;
    qsizetype minimumIndex = lo;
    for (qsizetype i = lo; i <= hi; ++i) {
        const float v = y[i];
        sum += v;
        if (v > maximum) {
            maximum = v;
            maximumIndex = i;
        }
        if (v < minimum) {
            minimum = v;
            minimumIndex = i;
        }
    }
    s.average = sum / double(s.pointCount);
    s.maximum = maximum;
    s.maximumIndex = maximumIndex;
    s.maximumTime = x[maximumIndex];
    s.minimum = minimum;
    s.minimumIndex = minimumIndex;
    s.minimumTime = x[minimumIndex];
    return s;
}

qsizetype usableLength(std::span<const double> x, std::span<const float> y)
{
    return qsizetype(std::min(x.size(), y.size()));
}

} // namespace

SeriesStatistics SeriesStatistics::whole(std::span<const double> x, std::span<const float> y)
{
    const qsizetype n = usableLength(x, y);
    if (n == 0)
        return {};
    return scan(x, y, 0, n - 1);
}

SeriesStatistics SeriesStatistics::between(std::span<const double> x, std::span<const float> y,
                                           qsizetype indexA, qsizetype indexB)
{
    const qsizetype n = usableLength(x, y);
    if (n == 0)
        return {};
    const qsizetype lo = std::clamp<qsizetype>(std::min(indexA, indexB), 0, n - 1);
    const qsizetype hi = std::clamp<qsizetype>(std::max(indexA, indexB), 0, n - 1);
    return scan(x, y, lo, hi);
}
