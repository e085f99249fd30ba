#pragma once

// How long each sample of a series stands for, the base of every
// time-weighted figure. Times are the program's date-time values (days since
// 30 December 1899, local wall-clock time), held here as whole milliseconds
// so that periods align to the local clock without rounding drift.
//
// A sample stands for the time up to the next sample. The nominal spacing is
// the median of the spacings above 0 (the interval given when there are
// none, 1 s when that is not above 0 either); a spacing longer than 1.5 times
// the nominal one is a gap: the sample before it stands for the nominal
// spacing only, and the rest is not covered. A spacing of 0 (a logger set of
// interval 0) and the last sample stand for the nominal spacing. A level
// that is not finite stands for nothing: it is not covered.

#include <QtGlobal>

#include <span>
#include <vector>

struct SampleTiming
{
    static constexpr qint64 kDayMs = 86'400'000;

    std::vector<qint64> startMs;    // per sample, ms since 30 December 1899 00:00
    std::vector<qint64> durationMs; // per sample, 0 for a level that is not finite
    std::vector<double> seconds;    // durationMs in seconds, the weights of the energy means
    qint64 nominalMs = 0;
    qsizetype gaps = 0; // spacings taken as gaps

    [[nodiscard]] qsizetype size() const { return qsizetype(startMs.size()); }
    [[nodiscard]] qint64 endMs(qsizetype i) const
    {
        return startMs[std::size_t(i)] + durationMs[std::size_t(i)];
    }
    // Whether the time after sample i up to the next one is a gap.
    [[nodiscard]] bool gapAfter(qsizetype i) const;

    // times and levels are read up to the shorter of the two; times must not
    // run backwards (the loaders refuse such series).
    [[nodiscard]] static SampleTiming of(std::span<const double> times,
                                         std::span<const float> levels, double intervalSeconds);

    // A date-time value of ms, and ms of a date-time value.
    [[nodiscard]] static double toDateTime(qint64 ms) { return double(ms) / double(kDayMs); }
    [[nodiscard]] static qint64 toMs(double dateTime);
};
