#pragma once

// `audimark-cli record`: a real-time recording without a window. The meter
// is found as `live` finds it; each live reading is offered to the
// program's real-time recorder (RealTimeRecorder: its interval, its level
// rules, its weighting), and every sample it takes goes at once into the
// archive (RealTimeArchiver, kind realtime) and, with --out, at the end into
// a graph, text or CSV file written as the real-time graph's save writes it
// (the graph file by the report program, see RealTimeGraphJob).
//
// Recording ends after --count samples, once --duration has passed since its
// start, or on SIGINT/SIGTERM; each way the measurement is finished and the
// file written, and the status is 0. A meter that stops answering does not
// end it (no frames, no samples), as in the program.

#include "tools/cli/CliArchive.h"
#include "tools/cli/ConsoleLoggerUi.h"

#include <QString>
#include <QStringList>

#include <chrono>
#include <optional>

struct RecordOptions
{
    QStringList ports; // empty: every port the system lists
    float intervalSeconds = 0.2f;
    int count = 0; // samples; 0: until --duration
    std::chrono::milliseconds duration{0};
    QString outFile; // empty: no file
    ArchiveChoice archive;
    Verbosity verbosity = Verbosity::Normal;
};

namespace RecordArguments {
// An interval the real-time setup accepts (SamplingInterval::usable), read
// with a full stop or the locale's decimal separator.
[[nodiscard]] std::optional<float> interval(const QString& text);
// "1h30m", "90m", "45s", "2h15m30s", "1.5s" or plain seconds ("90"); above 0
// and at most a year.
[[nodiscard]] std::optional<std::chrono::milliseconds> duration(const QString& text);
// A graph file (*.ghf), which the report program writes.
[[nodiscard]] bool isGraphFile(const QString& path);
// Why --out cannot be written by record (empty when it can): the
// extension names no format, or CSV under a decimal comma.
[[nodiscard]] QString outFileProblem(const QString& path);
} // namespace RecordArguments

// Returns the process exit status: 0 recorded (also when interrupted), 1 no
// port or no meter, or the file could not be written.
[[nodiscard]] int runRecordCommand(const RecordOptions& options);
