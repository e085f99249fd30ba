#pragma once

// The report command runs in a program of its own, audimark-cli-report,
// because it draws its chart with the program's widgets: linking those into
// audimark-cli would make every other command load the window toolkit and
// the printing libraries at start, which costs most of its start-up time,
// only for `report` to use them. audimark-cli
// checks the report's options as before and then replaces itself with the
// runner (exec), so that the process, its standard streams, its exit status
// and its signals stay those of the command. A separate program rather than
// a library loaded on demand: the runner needs a QApplication from its
// start, which a process that already has a QCoreApplication cannot get,
// and a loadable module would carry a second copy of the core libraries.
//
// The runner lies in the same directory as audimark-cli in the build tree
// and in <prefix>/libexec/audimark once installed.

#include "tools/cli/CommandLine.h"
#include "tools/cli/ReportCommand.h"

#include <QStringList>

#include <optional>

// The report's own options on top of the series' (stats): --out, --title,
// the details and the settings; false and the complaint in error when one
// is missing or does not read.
[[nodiscard]] bool readReportOptions(const CommandLine::Invocation& invocation,
                                     const StatsOptions& source, ReportOptions& options,
                                     QString& error);

namespace ReportRunner {

// The runner's file name.
[[nodiscard]] QString programName();

// The runner's command line for options (without the program), and back.
// The fixed order is: report FILE SET OUT TITLE FROM TO THRESHOLD, then
// one NAME=VALUE a report detail given (levels with a decimal point) and a
// setting that differs from its default.
[[nodiscard]] QStringList arguments(const ReportOptions& options);
[[nodiscard]] std::optional<ReportOptions> optionsFrom(const QStringList& arguments);

// Where audimark-cli in cliDirectory looks for the runner, in that order.
[[nodiscard]] QStringList candidatePaths(const QString& cliDirectory);

// Replaces this process by the runner on options; returns only when the
// runner cannot be found or started, with the exit status after a line on
// stderr.
[[nodiscard]] int exec(const ReportOptions& options);

} // namespace ReportRunner
