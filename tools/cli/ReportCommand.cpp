#include "tools/cli/ReportCommand.h"

#include "files/dialogs/TVersionInfo.h"
#include "files/formats/TabularConversion.h"
#include "files/windows/NoiseReportPrinter.h"

#include <QDateTime>
#include <QTextStream>

#include <cstring>

int runReportCommand(const ReportOptions& options)
{
    QTextStream err(stderr);
    LoadedReport loaded = loadStatsReport(options.source);
    if (loaded.status != 0) {
        err << "audimark-cli: " << loaded.error << '\n';
        return loaded.status;
    }
    if (loaded.series.rowsWithoutLevel > 0)
        err << "audimark-cli: "
            << TabularConversion::rowsWithoutLevelNote(loaded.series.rowsWithoutLevel) << '\n';
    NoiseReport& report = loaded.report;
    if (!options.title.isEmpty())
        report.title = options.title;
    report.details = options.details;
    report.version = TVersionInfo().versionText();
    report.created = QDateTime::currentDateTime();
    report.makeSections(loaded.series, options.settings);

    NoiseReportChart chart;
    chart.times = loaded.series.times;
    chart.levels = loaded.series.levels;
    chart.intervalSeconds = loaded.series.intervalSeconds;
    if (report.span)
        chart.cursors = report.span->span;
    const FileWriteOutcome outcome = NoiseReportPrinter::writePdf(options.outFile, report, chart);
    if (!outcome.written()) {
        err << "audimark-cli: cannot write " << options.outFile << ": " << outcome.error << '\n';
        return 1;
    }
    return 0;
}

namespace ReportCommand {

bool wantsWidgets(int argc, char** argv)
{
    bool report = false;
    for (int i = 1; i < argc && !report; ++i)
        report = std::strcmp(argv[i], "report") == 0;
    if (report && qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM") &&
        qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    return report;
}

} // namespace ReportCommand
