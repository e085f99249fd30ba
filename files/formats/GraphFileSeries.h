#pragma once

// The series of a graph file (*.ghf) without the chart that draws them, for
// what has no window (the archive's import): the whole-chart block the graph
// window writes, read as far as its series and checked as the chart checks
// it (frame, kind, format version, CRC-32, counts against the bytes there).
//
// A point whose X is exactly 0 holds no sample (a real-time graph saved
// before it filled up) and is left out; a series left without points is
// still listed, empty.

#include <QByteArray>
#include <QString>

#include <optional>
#include <vector>

namespace GraphFileSeries {

struct Series
{
    std::vector<double> x; // days since 30 December 1899, local wall clock
    std::vector<float> y;  // dB
};

struct Read
{
    std::optional<std::vector<Series>> series; // one per series of the chart
    QString error;                             // otherwise why, naming the file
};

[[nodiscard]] Read read(const QString& path);
// The series of a whole-chart block; nothing when it is not one or is damaged.
[[nodiscard]] std::optional<std::vector<Series>> fromBlock(const QByteArray& block);

} // namespace GraphFileSeries
