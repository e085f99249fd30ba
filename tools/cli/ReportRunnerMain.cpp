// audimark-cli-report: the report command of audimark-cli, which runs it in
// its own place with the options it has checked (see ReportRunner.h).

#include "tools/cli/CommandLine.h"
#include "tools/cli/ReportCommand.h"
#include "tools/cli/ReportRunner.h"
#include "tools/cli/StandardOutput.h"

#include <QApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments.append(QString::fromLocal8Bit(argv[i]));
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
