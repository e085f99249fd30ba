#include "acoustics/NoiseDose.h"

#include "data/AcousticStatistics.h"

#include <cmath>
#include <vector>

bool DoseSettings::isValid() const
{
    return (exchangeRateDb == 3 || exchangeRateDb == 5) && std::isfinite(exposureSeconds) &&
           exposureSeconds > 0.0 && std::isfinite(criterionDb);
}

namespace NoiseDoses {

NoiseDose of(const SampleTiming& timing, std::span<const float> levels,
             const DoseSettings& settings)
{
    NoiseDose dose;
    dose.exposureSeconds = settings.exposureSeconds;
    dose.exchangeRateDb = settings.exchangeRateDb;
    dose.criterionDb = settings.criterionDb;
    const std::span<const double> seconds(timing.seconds);
    for (std::size_t i = 0; i < std::min(levels.size(), seconds.size()); ++i)
        if (std::isfinite(levels[i]))
            dose.measuredSeconds += seconds[i];
    if (!settings.isValid() || dose.measuredSeconds <= 0.0)
        return dose;
    dose.valid = true;
    dose.leq = AcousticStatistics::equivalentLevel(levels, seconds);
    const double share = settings.exposureSeconds / DoseSettings::kEightHoursSeconds;
    dose.lex8h = dose.leq + 10.0 * std::log10(share);
    if (settings.exchangeRateDb == 3) {
        dose.averageDb = dose.lex8h;
        dose.dosePercent = 100.0 * std::exp2((dose.lex8h - settings.criterionDb) / 3.0);
        return dose;
    }
    // 2^(L/5) = 10^(L * 10 lg 2 / 5 / 10): the energy mean of the scaled
    // levels, scaled back, is the 5 dB average.
    const double scale = 10.0 * std::log10(2.0) / double(settings.exchangeRateDb);
    std::vector<float> scaled(levels.begin(), levels.end());
    for (float& v : scaled)
        v = float(double(v) * scale);
    dose.averageDb = AcousticStatistics::equivalentLevel(scaled, seconds) / scale;
    dose.dosePercent =
        100.0 * share *
        std::exp2((dose.averageDb - settings.criterionDb) / double(settings.exchangeRateDb));
    return dose;
}

} // namespace NoiseDoses
