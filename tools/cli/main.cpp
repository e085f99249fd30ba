// audimark-cli: the headless companion of Audimark.

#include "logger/AutoLoadSchedule.h"
#include "tools/cli/AutoLoadCommand.h"
#include "tools/cli/DownloadCommand.h"
#include "tools/cli/ExportCommand.h"
#include "tools/cli/LiveCommand.h"
#include "tools/cli/ReportRunner.h"
#include "tools/cli/SetsCommand.h"
#include "tools/cli/SetupCommand.h"
#include "tools/cli/StandardOutput.h"
#include "tools/cli/StatsCommand.h"
#include "serial/TComPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QMap>
#include <QTextStream>

#include <optional>

namespace {
// The options of info, set-clock, set-interval and erase; empty for other commands.
std::optional<SetupCommandOptions> setupCommandOptions(const QCommandLineParser& parser,
                                                       const QStringList& args)
{
    using Operation = SetupCommandOptions::Operation;
    static const QMap<QString, Operation> operations = {{QStringLiteral("info"), Operation::Info},
                                                        {QStringLiteral("set-clock"), Operation::SetClock},
                                                        {QStringLiteral("set-interval"), Operation::SetInterval},
                                                        {QStringLiteral("erase"), Operation::Erase}};
    if (!operations.contains(args.first()))
        return std::nullopt;
    SetupCommandOptions options;
    options.operation = operations.value(args.first());
    options.ports = parser.values(QStringLiteral("port"));
    options.yes = parser.isSet(QStringLiteral("yes"));
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("text") && format != QLatin1String("json"))
        options.error = QStringLiteral("--format must be text or json");
    options.json = format == QLatin1String("json");
    const qsizetype wanted = options.operation == Operation::SetInterval ? 2 : 1;
    if (args.size() != wanted)
        options.error = options.operation == Operation::SetInterval
                            ? QStringLiteral("set-interval needs MM:SS")
                            : args.first() + QStringLiteral(" takes no further argument");
    else if (wanted == 2)
        options.interval = args.at(1);
    return options;
}

int usage(const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n'
                        << "usage: audimark-cli live [--port PATH]... [--count N] [--format text|csv]\n"
                        << "                         [--give-up-after SECONDS]\n"
                        << "       audimark-cli download [--port PATH]... --out FILE.rec [--csv-dir DIR] [--retry N]\n"
                        << "                            [--repair] [--keep-damaged]\n"
                        << "       audimark-cli sets FILE.rec\n"
                        << "       audimark-cli export FILE.rec --set N --format csv|txt [--out PATH] [--from A --to B]\n"
                        << "       audimark-cli stats FILE [--set N] [--from TIME --to TIME] [--threshold dB]\n"
                        << "                          [--format text|json]\n"
                        << "       audimark-cli report FILE --set N --out REPORT.pdf [--title T] [--from TIME --to TIME]\n"
                        << "                           [--threshold dB]\n"
                        << "       audimark-cli autoload [--port PATH]... --every HOURS [--dir DIR] | --once [--dir DIR]\n"
                        << "       audimark-cli info [--port PATH]... [--format text|json]\n"
                        << "       audimark-cli set-clock [--port PATH]...\n"
                        << "       audimark-cli set-interval MM:SS [--port PATH]...\n"
                        << "       audimark-cli erase --yes [--port PATH]...\n";
    return 2;
}

int runCommand(const QCommandLineParser& parser);
} // namespace

int main(int argc, char** argv)
{
    // QtCore only: the PDF report, which draws with widgets, runs in a
    // program of its own (ReportRunner).
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AUDIMARK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reads a QV58M sound level meter from the command line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("live, download, sets, export, stats, report, autoload, info, set-clock, set-interval or erase"));
    parser.addOption({QStringLiteral("port"), QStringLiteral("Serial port to use (repeatable)."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("Stop after N readings."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("give-up-after"), QStringLiteral("live: end with status 1 after this many seconds without a reading (meter silent or device gone)."), QStringLiteral("SECONDS")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("live: text or csv; export: csv or txt."), QStringLiteral("FORMAT"), QStringLiteral("text")});
    parser.addOption({QStringLiteral("out"), QStringLiteral("download: data set collection file to write; export: file to write (else standard output)."), QStringLiteral("FILE")});
    parser.addOption({QStringLiteral("csv-dir"), QStringLiteral("download: write one CSV file per data set here."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("retry"), QStringLiteral("download: answer Retry this many times after a failed load."), QStringLiteral("N"), QStringLiteral("0")});
    parser.addOption({QStringLiteral("repair"), QStringLiteral("download: after the retries, drop a damaged data set and every later one from the meter, as the program's OK to its data error question does.")});
    parser.addOption({QStringLiteral("keep-damaged"), QStringLiteral("download: write the memory image to --out also when it does not decode.")});
    parser.addOption({QStringLiteral("set"), QStringLiteral("export: data set number, from 1."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("from"), QStringLiteral("export: first point number. stats, report: start of the span, hh:mm[:ss] or yyyy-mm-ddThh:mm[:ss]."), QStringLiteral("A")});
    parser.addOption({QStringLiteral("to"), QStringLiteral("export: last point number. stats, report: end of the span, not included."), QStringLiteral("B")});
    parser.addOption({QStringLiteral("every"), QStringLiteral("autoload: empty the logger every HOURS hours (1 to 24) until Ctrl-C."), QStringLiteral("HOURS")});
    parser.addOption({QStringLiteral("once"), QStringLiteral("autoload: empty the logger once, now.")});
    parser.addOption({QStringLiteral("dir"), QStringLiteral("autoload: directory of the dump files and autoload.log (default: the program's data directory)."), QStringLiteral("DIR")});
    parser.addOption({QStringLiteral("threshold"), QStringLiteral("stats, report: the level for the time above it, in dB (default 85)."), QStringLiteral("dB")});
    parser.addOption({QStringLiteral("title"), QStringLiteral("report: the title of the page (default \"Noise Report\")."), QStringLiteral("T")});
    parser.addOption({QStringLiteral("yes"), QStringLiteral("erase: yes, erase every data set in the meter.")});
    parser.process(app);
    return withOutputChecked(runCommand(parser));
}

namespace {
int runCommand(const QCommandLineParser& parser)
{
    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("missing command"));
    if (args.first() == QLatin1String("download")) {
        DownloadOptions download;
        download.ports = parser.values(QStringLiteral("port"));
        download.outFile = parser.value(QStringLiteral("out"));
        download.csvDirectory = parser.value(QStringLiteral("csv-dir"));
        if (download.outFile.isEmpty())
            return usage(QStringLiteral("download needs --out FILE.rec"));
        bool ok = false;
        download.retries = parser.value(QStringLiteral("retry")).toInt(&ok);
        if (!ok || download.retries < 0)
            return usage(QStringLiteral("--retry needs a number"));
        download.repair = parser.isSet(QStringLiteral("repair"));
        download.keepDamaged = parser.isSet(QStringLiteral("keep-damaged"));
        return runDownloadCommand(download);
    }
    if (args.first() == QLatin1String("autoload")) {
        AutoLoadOptions autoLoad;
        autoLoad.ports = parser.values(QStringLiteral("port"));
        autoLoad.once = parser.isSet(QStringLiteral("once"));
        autoLoad.directory = parser.value(QStringLiteral("dir"));
        if (parser.isSet(QStringLiteral("every"))) {
            const std::optional<int> hours = AutoLoadSchedule::parseHours(parser.value(QStringLiteral("every")));
            if (!hours)
                return usage(QStringLiteral("--every needs a whole number of hours from 1 to 24"));
            autoLoad.everyHours = *hours;
        } else if (!autoLoad.once) {
            return usage(QStringLiteral("autoload needs --every HOURS or --once"));
        }
        return runAutoLoadCommand(autoLoad);
    }
    if (const std::optional<SetupCommandOptions> setup = setupCommandOptions(parser, args)) {
        if (!setup->error.isEmpty())
            return usage(setup->error);
        return runSetupCommand(*setup);
    }
    if (args.first() == QLatin1String("sets")) {
        if (args.size() != 2)
            return usage(QStringLiteral("sets needs one collection file"));
        return runSetsCommand(args.at(1));
    }
    if (args.first() == QLatin1String("export")) {
        if (args.size() != 2)
            return usage(QStringLiteral("export needs one collection file"));
        ExportOptions exportOptions;
        exportOptions.file = args.at(1);
        bool ok = false;
        exportOptions.set = parser.value(QStringLiteral("set")).toInt(&ok);
        if (!parser.isSet(QStringLiteral("set")) || !ok)
            return usage(QStringLiteral("export needs --set N"));
        const QString exportFormat = parser.value(QStringLiteral("format"));
        if (!parser.isSet(QStringLiteral("format")) ||
            (exportFormat != QLatin1String("csv") && exportFormat != QLatin1String("txt")))
            return usage(QStringLiteral("export needs --format csv or txt"));
        exportOptions.csv = exportFormat == QLatin1String("csv");
        exportOptions.outFile = parser.value(QStringLiteral("out"));
        exportOptions.fromText = parser.value(QStringLiteral("from"));
        exportOptions.toText = parser.value(QStringLiteral("to"));
        return runExportCommand(exportOptions);
    }
    if (args.first() == QLatin1String("stats") || args.first() == QLatin1String("report")) {
        if (args.size() != 2)
            return usage(args.first() + QStringLiteral(" needs one file"));
        StatsOptions stats;
        stats.file = args.at(1);
        if (parser.isSet(QStringLiteral("set"))) {
            bool ok = false;
            stats.set = parser.value(QStringLiteral("set")).toInt(&ok);
            if (!ok)
                return usage(QStringLiteral("--set needs a number"));
        }
        stats.fromText = parser.value(QStringLiteral("from"));
        stats.toText = parser.value(QStringLiteral("to"));
        stats.thresholdText = parser.value(QStringLiteral("threshold"));
        if (args.first() == QLatin1String("stats")) {
            const QString statsFormat = parser.value(QStringLiteral("format"));
            if (statsFormat != QLatin1String("text") && statsFormat != QLatin1String("json"))
                return usage(QStringLiteral("--format must be text or json"));
            stats.json = statsFormat == QLatin1String("json");
            return runStatsCommand(stats);
        }
        ReportOptions report{stats, parser.value(QStringLiteral("out")), parser.value(QStringLiteral("title"))};
        if (report.outFile.isEmpty())
            return usage(QStringLiteral("report needs --out REPORT.pdf"));
        return ReportRunner::exec(report);
    }
    if (args.first() != QLatin1String("live"))
        return usage(QStringLiteral("unknown command ") + args.first());

    LiveOptions options;
    options.ports = parser.values(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        options.count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || options.count < 1)
            return usage(QStringLiteral("--count needs a positive number"));
    }
    if (parser.isSet(QStringLiteral("give-up-after"))) {
        bool ok = false;
        options.giveUpAfterSeconds = parser.value(QStringLiteral("give-up-after")).toInt(&ok);
        if (!ok || options.giveUpAfterSeconds < 1)
            return usage(QStringLiteral("--give-up-after needs a positive number of seconds"));
    }
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("text") && format != QLatin1String("csv"))
        return usage(QStringLiteral("--format must be text or csv"));
    options.csv = format == QLatin1String("csv");
    return runLiveCommand(options);
}
} // namespace
