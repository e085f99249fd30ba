#pragma once

// Samples of a measurement in chunks of up to kSamples points, each chunk one
// blob, coded for size:
//
//   byte 0    coding: 1 = plain body, 2 = body compressed with qCompress
//   body      varint sample count, byte time mode, the mode's header, then
//             per sample a level token and (listed mode) a time token
//
// Time mode 0, regular: nothing per sample; point i of the series lies at
// origin + i * step (origin and step as 8-byte doubles in the header), which
// is how a logger data set's times are made. Time mode 1, listed: the header
// holds the interval in ms; each time is a local wall-clock millisecond whose
// distance to the previous one minus the interval is stored (a zig-zag
// varint, one byte for a clock that keeps its pace).
//
// Level tokens hold the change in 0.1 dB steps from the previous level (one
// byte for changes up to +-3.1 dB). A level or a time that these steps or
// milliseconds do not give back bit for bit (an imported 85.27 dB, a time
// that is not a whole millisecond, not a number) is stored whole after an
// escape, so that decoding always gives back exactly what was encoded.
//
// Times are the program's date-time values: days since 30 December 1899,
// local wall clock; levels are dB.

#include <QByteArray>
#include <QtGlobal>

#include <span>
#include <vector>

namespace SampleChunk {

inline constexpr qsizetype kSamples = 4096;

// Days since 30 December 1899 of a local wall-clock millisecond counted from
// that date, made the way the program turns a date-time into a value.
[[nodiscard]] double daysFromMs(qint64 ms);

// The regular grid a series may lie on: origin is the time of its point 0.
struct Grid
{
    double origin = 0.0;
    qint64 intervalMs = 0;
};

// Encodes points firstIndex.. of a series; x and y have the same length,
// at most kSamples.
[[nodiscard]] QByteArray encode(std::span<const double> x, std::span<const float> y,
                                qint64 firstIndex, const Grid& grid);

// Appends the points of a chunk to x and y; false (x and y unchanged) when
// the blob is damaged or holds another count than expectedCount.
[[nodiscard]] bool decode(const QByteArray& blob, qint64 firstIndex, qsizetype expectedCount,
                          std::vector<double>& x, std::vector<float>& y);

} // namespace SampleChunk
