#pragma once

// What `record` hands to the report program (which has the window toolkit)
// to save its samples as a graph file: the real-time graph's .ghf of those
// samples, with the start and the end of the recording, as the program's
// graph save writes it after the same recording (RealTimeGraphFile).
//
// The job goes through a file: QDataStream (Qt 6.4 format) of a version,
// the output path, the start and end (date-time values), the point count,
// the interval and, per sample, its time, level and run weighting.

#include "data/AcousticStatistics.h"

#include <QString>
#include <QTextStream>

#include <optional>
#include <vector>

struct RealTimeGraphJob
{
    QString outFile;
    double start = 0.0; // the recording's start: reset of the graph
    double end = 0.0;   // its stop: finish of the graph
    int points = 0;     // the graph's point count (--count, else the samples)
    float intervalSeconds = 0.2f;
    std::vector<double> x;
    std::vector<float> y;
    std::vector<AcousticWeighting> weighting; // the run's, after each sample

    [[nodiscard]] bool write(const QString& path) const;
    [[nodiscard]] static std::optional<RealTimeGraphJob> read(const QString& path);

    // Runs the report program on this job ("graph JOBFILE") and waits for
    // it; its messages go to standard error. True when the file was written.
    [[nodiscard]] bool runWriter(QTextStream& err) const;
};
