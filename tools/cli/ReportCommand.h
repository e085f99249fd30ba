#pragma once

// `audimark-cli report FILE --set N --out report.pdf [--title T]
// [--from TIME --to TIME] [--threshold dB] [--site TEXT] ... [--notes TEXT]
// [--period LENGTH] [--min-duration DURATION] [--hysteresis dB]
// [--den-hours D,E,N] [--den-penalties E,N]`:
// the PDF noise report of a series (read as `stats` reads it), the span
// between --from and --to shaded and reported beside the whole series, the
// report's details (ReportDetails, one option a field) on its first page,
// the tables after it made as the settings say (ReportSettings; events
// above --threshold). The chart is drawn
// with the program's widgets, so the command needs a QApplication: it runs
// in audimark-cli-report (ReportRunner.h), on the offscreen platform when
// there is no display (wantsWidgets).
//
// Exit status as for stats; 1 also when the PDF cannot be written (an
// earlier file of that name stays as it was).

#include "files/formats/ReportDetails.h"
#include "tools/cli/StatsCommand.h"

#include <QString>

struct ReportOptions
{
    StatsOptions source;
    QString outFile;
    QString title; // empty: the default title
    ReportDetails details;
    ReportSettings settings;
};

[[nodiscard]] int runReportCommand(const ReportOptions& options);

namespace ReportCommand {
// True when the command line names the report command, so that the
// program makes a QApplication; without a display it selects the offscreen
// platform first (unless QT_QPA_PLATFORM says otherwise).
[[nodiscard]] bool wantsWidgets(int argc, char** argv);
} // namespace ReportCommand
