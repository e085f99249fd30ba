// audimark-cli: the headless companion of Audimark.

#include "logger/AutoLoadSchedule.h"
#include "tools/cli/ArchiveCommand.h"
#include "tools/cli/AutoLoadCommand.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/DownloadCommand.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/FiguresCommand.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/MonitorCommand.h"
#include "tools/cli/RecordCommand.h"
#include "tools/cli/ReportRunner.h"
#include "tools/cli/SetsCommand.h"
#include "tools/cli/SetupCommand.h"
#include "tools/cli/StandardOutput.h"
#include "tools/cli/StatsCommand.h"

#include <QCoreApplication>
#include <QMap>
#include <QTextStream>

#include <optional>

namespace {
using CommandLine::Invocation;

// The first line of a usage error; the hint follows in main.
int usage(const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n';
    return CommandLine::UsageStatus;
}

// Empty when the command was given no arguments, else the complaint.
QString unexpectedArgument(const Invocation& invocation)
{
    return invocation.arguments.isEmpty()
               ? QString()
               : QStringLiteral("unexpected argument '%1'").arg(invocation.arguments.first());
}

Verbosity verbosityOf(const Invocation& invocation)
{
    if (invocation.isSet(QStringLiteral("quiet")))
        return Verbosity::Quiet;
    return invocation.isSet(QStringLiteral("verbose")) ? Verbosity::Verbose : Verbosity::Normal;
}

// --archive and --no-archive of download and autoload; empty error when
// they read.
ArchiveChoice archiveChoice(const Invocation& invocation, QString& error)
{
    ArchiveChoice choice;
    choice.off = invocation.isSet(QStringLiteral("no-archive"));
    choice.location = invocation.value(QStringLiteral("archive"));
    if (choice.off && invocation.isSet(QStringLiteral("archive")))
        error = QStringLiteral("--archive and --no-archive exclude each other");
    else if (invocation.isSet(QStringLiteral("archive")) && choice.location.trimmed().isEmpty())
        error = QStringLiteral("--archive needs an archive file or URL");
    return choice;
}

// The options of info, set-clock, set-interval and erase; empty for other commands.
std::optional<SetupCommandOptions> setupCommandOptions(const Invocation& invocation)
{
    using Operation = SetupCommandOptions::Operation;
    static const QMap<QString, Operation> operations = {{QStringLiteral("info"), Operation::Info},
                                                        {QStringLiteral("set-clock"), Operation::SetClock},
                                                        {QStringLiteral("set-interval"), Operation::SetInterval},
                                                        {QStringLiteral("erase"), Operation::Erase}};
    if (!operations.contains(invocation.command))
        return std::nullopt;
    const QStringList& args = invocation.arguments;
    SetupCommandOptions options;
    options.operation = operations.value(invocation.command);
    options.ports = invocation.values(QStringLiteral("port"));
    options.yes = invocation.isSet(QStringLiteral("yes"));
    const QString format = invocation.value(QStringLiteral("format"), QStringLiteral("text"));
    if (format != QLatin1String("text") && format != QLatin1String("json"))
        options.error = QStringLiteral("--format must be text or json");
    options.json = format == QLatin1String("json");
    const qsizetype wanted = options.operation == Operation::SetInterval ? 1 : 0;
    if (args.size() != wanted)
        options.error = options.operation == Operation::SetInterval
                            ? QStringLiteral("set-interval needs MM:SS")
                            : invocation.command + QStringLiteral(" takes no further argument");
    else if (wanted == 1)
        options.interval = args.first();
    return options;
}

int runDownload(const Invocation& invocation)
{
    if (const QString extra = unexpectedArgument(invocation); !extra.isEmpty())
        return usage(extra);
    DownloadOptions download;
    download.ports = invocation.values(QStringLiteral("port"));
    download.outFile = invocation.value(QStringLiteral("out"));
    download.csvDirectory = invocation.value(QStringLiteral("csv-dir"));
    if (download.outFile.isEmpty())
        return usage(QStringLiteral("download needs --out FILE.rec"));
    bool ok = false;
    download.retries = invocation.value(QStringLiteral("retry"), QStringLiteral("0")).toInt(&ok);
    if (!ok || download.retries < 0)
        return usage(QStringLiteral("--retry needs a number"));
    download.repair = invocation.isSet(QStringLiteral("repair"));
    download.keepDamaged = invocation.isSet(QStringLiteral("keep-damaged"));
    download.verbosity = verbosityOf(invocation);
    QString archiveError;
    download.archive = archiveChoice(invocation, archiveError);
    if (!archiveError.isEmpty())
        return usage(archiveError);
    return runDownloadCommand(download);
}

int runAutoLoad(const Invocation& invocation)
{
    if (const QString extra = unexpectedArgument(invocation); !extra.isEmpty())
        return usage(extra);
    AutoLoadOptions autoLoad;
    autoLoad.ports = invocation.values(QStringLiteral("port"));
    autoLoad.once = invocation.isSet(QStringLiteral("once"));
    autoLoad.directory = invocation.value(QStringLiteral("dir"));
    autoLoad.verbosity = verbosityOf(invocation);
    QString archiveError;
    autoLoad.archive = archiveChoice(invocation, archiveError);
    if (!archiveError.isEmpty())
        return usage(archiveError);
    if (invocation.isSet(QStringLiteral("every"))) {
        const std::optional<int> hours =
            AutoLoadSchedule::parseHours(invocation.value(QStringLiteral("every")));
        if (!hours)
            return usage(QStringLiteral("--every needs a whole number of hours from 1 to 24"));
        autoLoad.everyHours = *hours;
    } else if (!autoLoad.once) {
        return usage(QStringLiteral("autoload needs --every HOURS or --once"));
    }
    return runAutoLoadCommand(autoLoad);
}

int runExport(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1)
        return usage(QStringLiteral("export needs one collection file"));
    ExportOptions exportOptions;
    exportOptions.file = invocation.arguments.first();
    bool ok = false;
    exportOptions.set = invocation.value(QStringLiteral("set")).toInt(&ok);
    if (!invocation.isSet(QStringLiteral("set")) || !ok)
        return usage(QStringLiteral("export needs --set N"));
    const QString exportFormat = invocation.value(QStringLiteral("format"));
    if (exportFormat != QLatin1String("csv") && exportFormat != QLatin1String("txt"))
        return usage(QStringLiteral("export needs --format csv or txt"));
    exportOptions.csv = exportFormat == QLatin1String("csv");
    exportOptions.outFile = invocation.value(QStringLiteral("out"));
    exportOptions.fromText = invocation.value(QStringLiteral("from"));
    exportOptions.toText = invocation.value(QStringLiteral("to"));
    return runExportCommand(exportOptions);
}

int runStatsOrReport(const Invocation& invocation)
{
    if (invocation.arguments.size() != 1)
        return usage(invocation.command + QStringLiteral(" needs one file"));
    StatsOptions stats;
    stats.file = invocation.arguments.first();
    if (invocation.isSet(QStringLiteral("set"))) {
        bool ok = false;
        stats.set = invocation.value(QStringLiteral("set")).toInt(&ok);
        if (!ok)
            return usage(QStringLiteral("--set needs a number"));
    }
    stats.fromText = invocation.value(QStringLiteral("from"));
    stats.toText = invocation.value(QStringLiteral("to"));
    stats.thresholdText = invocation.value(QStringLiteral("threshold"));
    // archive:ID is read from this archive, here and in the report program.
    if (invocation.isSet(QStringLiteral("archive"))) {
        const QString archive = invocation.value(QStringLiteral("archive")).trimmed();
        if (archive.isEmpty())
            return usage(QStringLiteral("--archive needs an archive file or URL"));
        qputenv(CliArchive::EnvironmentVariable, archive.toLocal8Bit());
    }
    stats.denStartsText = invocation.value(QStringLiteral("den-hours"));
    stats.denPenaltiesText = invocation.value(QStringLiteral("den-penalties"));
    if (invocation.command == QLatin1String("stats")) {
        const QString statsFormat =
            invocation.value(QStringLiteral("format"), QStringLiteral("text"));
        if (statsFormat != QLatin1String("text") && statsFormat != QLatin1String("json"))
            return usage(QStringLiteral("--format must be text or json"));
        stats.json = statsFormat == QLatin1String("json");
        return runStatsCommand(stats);
    }
    ReportOptions report;
    QString error;
    if (!readReportOptions(invocation, stats, report, error))
        return usage(error);
    return ReportRunner::exec(report);
}

int runLive(const Invocation& invocation)
{
    if (const QString extra = unexpectedArgument(invocation); !extra.isEmpty())
        return usage(extra);
    LiveOptions options;
    options.ports = invocation.values(QStringLiteral("port"));
    if (invocation.isSet(QStringLiteral("count"))) {
        bool ok = false;
        options.count = invocation.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || options.count < 1)
            return usage(QStringLiteral("--count needs a positive number"));
    }
    if (invocation.isSet(QStringLiteral("give-up-after"))) {
        bool ok = false;
        options.giveUpAfterSeconds = invocation.value(QStringLiteral("give-up-after")).toInt(&ok);
        if (!ok || options.giveUpAfterSeconds < 1)
            return usage(QStringLiteral("--give-up-after needs a positive number of seconds"));
    }
    const QString format = invocation.value(QStringLiteral("format"), QStringLiteral("text"));
    if (format != QLatin1String("text") && format != QLatin1String("csv"))
        return usage(QStringLiteral("--format must be text or csv"));
    options.csv = format == QLatin1String("csv");
    return runLiveCommand(options);
}

int runRecord(const Invocation& invocation)
{
    if (const QString extra = unexpectedArgument(invocation); !extra.isEmpty())
        return usage(extra);
    RecordOptions options;
    options.ports = invocation.values(QStringLiteral("port"));
    const std::optional<float> interval =
        RecordArguments::interval(invocation.value(QStringLiteral("interval")));
    if (!interval)
        return usage(invocation.isSet(QStringLiteral("interval"))
                         ? QStringLiteral("--interval needs a number of seconds above 0, up to "
                                          "a day")
                         : QStringLiteral("record needs --interval SECONDS"));
    options.intervalSeconds = *interval;
    const bool counted = invocation.isSet(QStringLiteral("count"));
    if (counted == invocation.isSet(QStringLiteral("duration")))
        return usage(QStringLiteral("record needs either --count N or --duration TIME"));
    if (counted) {
        bool ok = false;
        options.count = invocation.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || options.count < 1)
            return usage(QStringLiteral("--count needs a positive number"));
    } else {
        const auto duration =
            RecordArguments::duration(invocation.value(QStringLiteral("duration")));
        if (!duration)
            return usage(QStringLiteral("--duration needs a time like 1h30m, 45m or 90s"));
        options.duration = *duration;
    }
    options.outFile = invocation.value(QStringLiteral("out"));
    if (invocation.isSet(QStringLiteral("out"))) {
        if (const QString problem = RecordArguments::outFileProblem(options.outFile);
            !problem.isEmpty())
            return usage(problem);
    }
    options.verbosity = verbosityOf(invocation);
    QString archiveError;
    options.archive = archiveChoice(invocation, archiveError);
    if (!archiveError.isEmpty())
        return usage(archiveError);
    return runRecordCommand(options);
}

int runCommand(const Invocation& invocation)
{
    if (invocation.command == QLatin1String("record"))
        return runRecord(invocation);
    if (invocation.command == QLatin1String("monitor")) {
        QString error;
        const std::optional<MonitorOptions> options = MonitorArguments::of(invocation, error);
        if (!options)
            return usage(error);
        return runMonitorCommand(*options);
    }
    const QString& command = invocation.command;
    if (command == QLatin1String("download"))
        return runDownload(invocation);
    if (command == QLatin1String("autoload"))
        return runAutoLoad(invocation);
    if (const std::optional<SetupCommandOptions> setup = setupCommandOptions(invocation)) {
        if (!setup->error.isEmpty())
            return usage(setup->error);
        return runSetupCommand(*setup);
    }
    if (command == QLatin1String("sets")) {
        if (invocation.arguments.size() != 1)
            return usage(QStringLiteral("sets needs one collection file"));
        return runSetsCommand(invocation.arguments.first());
    }
    if (command == QLatin1String("export"))
        return runExport(invocation);
    if (command == QLatin1String("archive")) {
        QString error;
        const std::optional<ArchiveCommandOptions> options =
            archiveCommandOptions(invocation, error);
        if (!options)
            return usage(error);
        return runArchiveCommand(*options);
    }
    if (isFiguresCommand(command))
        return runFiguresCommand(invocation);
    if (command == QLatin1String("stats") || command == QLatin1String("report"))
        return runStatsOrReport(invocation);
    return runLive(invocation);
}
} // namespace

int main(int argc, char** argv)
{
    // QtCore only: the PDF report, which draws with widgets, runs in a
    // program of its own (ReportRunner).
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AUDIMARK_VERSION));

    const Invocation invocation = CommandLine::parse(QCoreApplication::arguments().mid(1),
                                                     QStringLiteral(AUDIMARK_VERSION));
    switch (invocation.kind) {
    case Invocation::Kind::Help:
    case Invocation::Kind::Version:
        QTextStream(stdout) << invocation.text;
        return withOutputChecked(0);
    case Invocation::Kind::UsageError:
        QTextStream(stderr) << invocation.text;
        return CommandLine::UsageStatus;
    case Invocation::Kind::Run:
        break;
    }
    // Every usage error, found here or by the command, ends with the hint.
    const int status = withOutputChecked(runCommand(invocation));
    if (status == CommandLine::UsageStatus)
        QTextStream(stderr) << CommandLine::hint(invocation.command);
    return status;
}
