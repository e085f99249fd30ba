#pragma once

// The graph file (*.ghf) of a recording made by `record`: the program's own
// real-time graph window (TfrmGraph with its RealTimeGraphController) goes
// through the same recording - reset at the start with the point count,
// each sample appended with the run's weighting, finished at the stop - on
// a clock that shows the recording's times, and its whole chart is saved as
// the program's graph save does. Needs a QApplication.

#include "tools/cli/RealTimeGraphJob.h"

namespace RealTimeGraphFile {

// The chart block the real-time graph holds after job's recording.
[[nodiscard]] QByteArray chartBlock(const RealTimeGraphJob& job, const QString& dataDirectory);

// Writes job.outFile; empty, or why it could not be written.
[[nodiscard]] QString write(const RealTimeGraphJob& job, const QString& dataDirectory);

} // namespace RealTimeGraphFile
