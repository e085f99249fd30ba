#pragma once

// How the logger stores a sample, a time stamp and an interval. Pure rules,
// shared by the record decoder, the data set collection and the files.

#include <QtGlobal>

namespace SampleEncoding {

// One second as a fraction of a day (date-time values count days).
inline constexpr double kSecondInDays = 1.1574074074074073e-05;

// Valid levels in tenths of a dB; both ends are valid.
inline constexpr int kLowestValidTenths = 200;
inline constexpr int kHighestValidTenths = 1400;

// Stored in place of a level outside the valid range.
inline constexpr float kReplacementLevel = 50.0f;

// Interval stored in place of one outside 0..60 s.
inline constexpr qint32 kReplacementIntervalSeconds = 2;
inline constexpr qint32 kLongestIntervalSeconds = 60;

// The 12-bit level in tenths of a dB: the high nibble of b0 is not part of it.
[[nodiscard]] int rawTenths(quint8 b0, quint8 b1);

// The stored level in dB: the raw value, or kReplacementLevel when it lies
// below 20.0 or above 140.0 dB.
[[nodiscard]] float decodeSampleValue(quint8 b0, quint8 b1);

// An interval above 60 s or below 0 becomes 2 s; 0 stays 0 (all samples of
// such a set share its start time).
[[nodiscard]] qint32 normalizeIntervalSeconds(qint32 seconds);

// Time stamp of sample `index` (0 = first) of a set.
[[nodiscard]] double sampleTime(double startTime, qint32 intervalSeconds, qint64 index);

// Bit 3 of a record's status byte: set = A weighting, clear = C weighting.
[[nodiscard]] bool isAWeighting(quint8 statusByte);

} // namespace SampleEncoding
