// audimark-cli-report: the report command of audimark-cli, which runs it in
// its own place with the options it has checked (see ReportRunner.h).
// `audimark-cli-report graph JOBFILE` writes the graph file of a recording
// of `record` (see RealTimeGraphJob.h).

#include "tools/cli/AutoLoadCommand.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/RealTimeGraphFile.h"
#include "tools/cli/ReportCommand.h"
#include "tools/cli/ReportRunner.h"
#include "tools/cli/StandardOutput.h"

#include <QApplication>
#include <QTextStream>

namespace {
// `record --out FILE.ghf`: the graph file of a recording (RealTimeGraphJob).
int writeGraphFile(char* program, const QString& jobFile)
{
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    int qtArgc = 1;
    char* qtArgv[] = {program, nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-cli"));
    const std::optional<RealTimeGraphJob> job = RealTimeGraphJob::read(jobFile);
    if (!job) {
        QTextStream(stderr) << "audimark-cli: the samples for the graph file did not read back\n";
        return 1;
    }
    if (const QString error = RealTimeGraphFile::write(*job, programDataDirectory());
        !error.isEmpty()) {
        QTextStream(stderr) << "audimark-cli: " << error << '\n';
        return 1;
    }
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
    if (arguments.size() == 2 && arguments.first() == QLatin1String("graph"))
        return writeGraphFile(argv[0], arguments.at(1));
    const std::optional<ReportOptions> options = ReportRunner::optionsFrom(arguments);
    if (!options) {
        QTextStream(stderr)
            << "audimark-cli-report: run by audimark-cli report; usage: "
               "audimark-cli-report report FILE SET OUT TITLE FROM TO THRESHOLD [NAME=VALUE]...\n";
        return 2;
    }
    // Selects the offscreen platform when there is no display.
    (void)ReportCommand::wantsWidgets(argc, argv);
    // The toolkit sees the program name only: the report's texts and file
    // names are no options of its own.
    int qtArgc = 1;
    char* qtArgv[] = {argv[0], nullptr};
    QApplication app(qtArgc, qtArgv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AUDIMARK_VERSION));
    const int status = withOutputChecked(runReportCommand(*options));
    // A usage error found on reading the series: the hint that audimark-cli
    // gives for its own.
    if (status == CommandLine::UsageStatus)
        QTextStream(stderr) << CommandLine::hint(QStringLiteral("report"));
    return status;
}
