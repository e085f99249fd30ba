#include "acoustics/SampleTiming.h"

#include <algorithm>
#include <cmath>

qint64 SampleTiming::toMs(double dateTime)
{
    return std::llround(dateTime * double(kDayMs));
}

bool SampleTiming::gapAfter(qsizetype i) const
{
    const auto k = std::size_t(i);
    if (k + 1 >= startMs.size())
        return false;
    return startMs[k + 1] - startMs[k] > nominalMs * 3 / 2;
}

SampleTiming SampleTiming::of(std::span<const double> times, std::span<const float> levels,
                              double intervalSeconds)
{
    const std::size_t n = std::min(times.size(), levels.size());
    SampleTiming timing;
    timing.startMs.reserve(n);
    for (std::size_t i = 0; i < n; ++i)
        timing.startMs.push_back(toMs(times[i]));

    std::vector<qint64> spacings;
    spacings.reserve(n);
    for (std::size_t i = 1; i < n; ++i) {
        const qint64 step = timing.startMs[i] - timing.startMs[i - 1];
        if (step > 0)
            spacings.push_back(step);
    }
    if (!spacings.empty()) {
        const auto middle = spacings.begin() + std::ptrdiff_t(spacings.size() / 2);
        std::nth_element(spacings.begin(), middle, spacings.end());
        timing.nominalMs = *middle;
    } else if (std::isfinite(intervalSeconds) && intervalSeconds > 0.0) {
        timing.nominalMs = std::max<qint64>(1, std::llround(intervalSeconds * 1000.0));
    } else {
        timing.nominalMs = 1000;
    }

    timing.durationMs.resize(n);
    timing.seconds.resize(n);
    for (std::size_t i = 0; i < n; ++i) {
        qint64 ms = timing.nominalMs;
        if (i + 1 < n) {
            const qint64 step = timing.startMs[i + 1] - timing.startMs[i];
            if (step > timing.nominalMs * 3 / 2)
                ++timing.gaps;
            else if (step > 0)
                ms = step;
        }
        if (!std::isfinite(levels[i]))
            ms = 0;
        timing.durationMs[i] = ms;
        timing.seconds[i] = double(ms) / 1000.0;
    }
    return timing;
}
