#pragma once

// Workplace noise dose of a series taken as representative of a working day.
//
// - LEX,8h, the daily noise exposure level: LAeq,Te + 10 lg(Te / 8 h), with
//   LAeq,Te the time-weighted equivalent level of the series and Te the
//   exposure duration stated (the series itself may be shorter).
// - The dose in % against a criterion level for 8 h, with an exchange rate:
//   the dose doubles with every exchange rate of level.
//   3 dB (default, criterion 85 dB): dose = 100 * 2^((LEX,8h - criterion) / 3),
//     so 8 h at 85 dB is 100 % and at 88 dB 200 %.
//   5 dB (criterion of its own, default 90 dB): the levels are averaged with
//     5 dB per doubling, Lavg = 5 log2(mean of 2^(L/5), time-weighted), and
//     dose = 100 * (Te / 8 h) * 2^((Lavg - criterion) / 5).
// Both are meant for A-weighted levels; the caller names the weighting.

#include "acoustics/SampleTiming.h"

#include <span>

struct DoseSettings
{
    static constexpr double kEightHoursSeconds = 8.0 * 3600.0;

    double exposureSeconds = kEightHoursSeconds;
    int exchangeRateDb = 3; // 3 or 5
    double criterionDb = 85.0;

    // The criterion an exchange rate goes with when none is given.
    [[nodiscard]] static double defaultCriterion(int exchangeRateDb)
    {
        return exchangeRateDb == 5 ? 90.0 : 85.0;
    }
    [[nodiscard]] bool isValid() const;
};

struct NoiseDose
{
    bool valid = false;     // false: no samples, or settings not valid
    double leq = 0.0;       // the time-weighted equivalent level of the series
    double averageDb = 0.0; // the level the dose is taken from (LEX,8h or Lavg)
    double measuredSeconds = 0.0;
    double exposureSeconds = 0.0;
    double lex8h = 0.0;
    double dosePercent = 0.0;
    int exchangeRateDb = 3;
    double criterionDb = 85.0;
};

namespace NoiseDoses {

[[nodiscard]] NoiseDose of(const SampleTiming& timing, std::span<const float> levels,
                           const DoseSettings& settings = {});

} // namespace NoiseDoses
