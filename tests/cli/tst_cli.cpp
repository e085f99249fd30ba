#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"

#include "meter/LiveFrame.h"
#include "tools/cli/CommandLine.h"
#include "tools/cli/ConsoleLoggerUi.h"
#include "tools/cli/LiveReadingPrinter.h"

#include <QProcess>
#include <QTemporaryDir>

namespace {
QString tool(const char* variable)
{
    return qEnvironmentVariable(variable);
}


int countLogged(const QString& logPath, const QString& frameHex)
{
    QFile log(logPath);
    if (!log.open(QIODevice::ReadOnly))
        return -1;
    return int(QString::fromLatin1(log.readAll()).count(" RX " + frameHex));
}

struct ToolRun
{
    int status = -1;
    QString out;
    QString err;
};

ToolRun runTool(const QStringList& arguments)
{
    // The report program's toolkit wants a private runtime directory.
    static QTemporaryDir runtime;
    QFile::setPermissions(runtime.path(),
                          QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("XDG_RUNTIME_DIR", runtime.path());
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(tool("AUDIMARK_CLI"), arguments);
    ToolRun run;
    if (!cli.waitForFinished(30000))
        return run;
    run.status = cli.exitStatus() == QProcess::NormalExit ? cli.exitCode() : -2;
    run.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}

MeterReading sampleReading()
{
    const QByteArray frame = QByteArray::fromHex("0218E102BC02BC00000000094107 03");
    return decodeFrame(reinterpret_cast<const std::uint8_t*>(frame.constData()));
}
} // namespace

class TestCli : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(tool("AUDIMARK_VIRTUAL_METER")), "virtual meter not built");
        QVERIFY2(QFile::exists(tool("AUDIMARK_CLI")), "command-line tool not built");
    }

    void liveCountsReadingsAndAnswersEachFrame_data()
    {
        QTest::addColumn<QStringList>("meterOptions");
        QTest::addColumn<QString>("format");
        QTest::newRow("clean line") << QStringList{} << "text";
        QTest::newRow("noise and split frames") << QStringList{"--noise", "--split"} << "text";
        QTest::newRow("corrupt frames, csv") << QStringList{"--corrupt", "--fast"} << "csv";
    }

    void liveCountsReadingsAndAnswersEachFrame()
    {
        QFETCH(QStringList, meterOptions);
        QFETCH(QString, format);
        QTemporaryDir dir;
        const QString logPath = dir.filePath("meter.log");
        VirtualMeterProcess meter(QStringList{"--log", logPath, "--interval", "20"} + meterOptions);
        const QString port = meter.waitForPath();
        QVERIFY(port.startsWith("/dev/"));

        QProcess cli;
        cli.start(tool("AUDIMARK_CLI"), {"live", "--port", port, "--count", "20", "--format", format});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QStringList lines = QString::fromLocal8Bit(cli.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
        if (format == "csv") {
            QVERIFY(lines.takeFirst().startsWith("time,level_db,"));
            for (const QString& line : lines)
                QCOMPARE(line.count(','), 11);
        }
        QCOMPARE(lines.size(), 20);
        QVERIFY(QString::fromLocal8Bit(cli.readAllStandardError()).contains("Model 842"));
        QTRY_COMPARE(countLogged(logPath, "02 58 00 00 00 00 00 03 X"), 20);
        QCOMPARE(countLogged(logPath, "02 4B 00 00 00 00 00 03 K"), 1);
    }

    void liveIdentifiesModel841()
    {
        VirtualMeterProcess meter({"--model", "841", "--fast"});
        const QString port = meter.waitForPath();
        QProcess cli;
        cli.start(tool("AUDIMARK_CLI"), {"live", "--port", port, "--count", "2"});
        QVERIFY(cli.waitForFinished(30000));
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(QString::fromLocal8Bit(cli.readAllStandardError()).contains("Model 841"));
        // The 841 has no clock.
        QVERIFY(QString::fromLocal8Bit(cli.readAllStandardOutput()).contains("clock -"));
    }

    void noMeterGivesAnErrorAndStatus_data()
    {
        QTest::addColumn<bool>("silentMeter");
        QTest::newRow("missing port") << false;
        QTest::newRow("meter does not answer K") << true;
    }

    void noMeterGivesAnErrorAndStatus()
    {
        QFETCH(bool, silentMeter);
        std::unique_ptr<VirtualMeterProcess> meter;
        QString port = QStringLiteral("/dev/no-such-meter");
        if (silentMeter) {
            meter = std::make_unique<VirtualMeterProcess>(QStringList{"--no-id-reply"});
            port = meter->waitForPath();
        }
        QProcess cli;
        cli.start(tool("AUDIMARK_CLI"), {"live", "--port", port, "--count", "1"});
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 1);
        const QStringList errors = QString::fromLocal8Bit(cli.readAllStandardError()).split('\n', Qt::SkipEmptyParts);
        QCOMPARE(errors.size(), 1);
        // A port that cannot be opened is not one where nothing answered.
        QCOMPARE(errors[0], silentMeter
                                ? QStringLiteral("audimark-cli: no meter answered on %1").arg(port)
                                : QStringLiteral("audimark-cli: cannot open %1: No such file or "
                                                 "directory")
                                      .arg(port));
        QVERIFY(cli.readAllStandardOutput().isEmpty());
    }

    void interruptEndsCleanly()
    {
        VirtualMeterProcess meter({"--fast"});
        const QString port = meter.waitForPath();
        QProcess cli;
        cli.start(tool("AUDIMARK_CLI"), {"live", "--port", port});
        QVERIFY(cli.waitForReadyRead(10000));
        cli.terminate(); // SIGTERM, handled like Ctrl-C
        QVERIFY(cli.waitForFinished(5000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
    }

    // Usage errors of every command: status 2, one line saying what is wrong
    // and a hint at the command's help, nothing on standard output; nothing
    // is searched or read before.
    void usageErrorIsOneLineAndAHint_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::addColumn<QString>("helpCommand");
        for (const CommandLine::Command& command : CommandLine::commands())
            QTest::addRow("%s: unknown option", qPrintable(command.name))
                << QStringList{command.name, "--x"} << "unknown option '--x'" << command.name;
        QTest::newRow("no command") << QStringList{} << "missing command" << "";
        QTest::newRow("unknown command") << QStringList{"frobnicate"}
                                         << "unknown command 'frobnicate'" << "";
        QTest::newRow("help on an unknown command")
            << QStringList{"help", "frobnicate"} << "unknown command 'frobnicate'" << "";
        QTest::newRow("unknown option, no command") << QStringList{"--x"}
                                                    << "unknown option '--x'" << "";
        QTest::newRow("another command's option")
            << QStringList{"stats", "a.rec", "--count", "3"} << "unknown option '--count'"
            << "stats";
        QTest::newRow("single dash") << QStringList{"sets", "-x", "a.rec"}
                                     << "unknown option '-x'" << "sets";
        QTest::newRow("value missing") << QStringList{"download", "--out"}
                                       << "option '--out' needs a value (FILE.rec)" << "download";
        QTest::newRow("value to a switch") << QStringList{"erase", "--yes=no"}
                                           << "option '--yes' takes no value" << "erase";
        QTest::newRow("live: an argument") << QStringList{"live", "extra"}
                                           << "unexpected argument 'extra'" << "live";
        QTest::newRow("live: count") << QStringList{"live", "--count", "0"}
                                     << "--count needs a positive number" << "live";
        QTest::newRow("download: no --out") << QStringList{"download", "--port", "/dev/null"}
                                            << "download needs --out FILE.rec" << "download";
        QTest::newRow("download: retry") << QStringList{"download", "--out", "a.rec", "--retry=x"}
                                         << "--retry needs a number" << "download";
        QTest::newRow("sets: no file") << QStringList{"sets"} << "sets needs one collection file"
                                       << "sets";
        QTest::newRow("export: no set") << QStringList{"export", "a.rec", "--format", "txt"}
                                        << "export needs --set N" << "export";
        QTest::newRow("stats: format") << QStringList{"stats", "a.rec", "--format", "xml"}
                                       << "--format must be text or json" << "stats";
        QTest::newRow("stats: threshold")
            << QStringList{"stats", "a.rec", "--threshold", "loud"}
            << "--threshold needs a level in dB, not \"loud\"" << "stats";
        QTest::newRow("report: no --out") << QStringList{"report", "a.rec"}
                                          << "report needs --out REPORT.pdf" << "report";
        // Found by the report program that audimark-cli runs in its place.
        QTest::newRow("report: threshold")
            << QStringList{"report", "a.rec", "--out", "a.pdf", "--threshold", "loud"}
            << "--threshold needs a level in dB, not \"loud\"" << "report";
        QTest::newRow("report: period")
            << QStringList{"report", "a.rec", "--out", "a.pdf", "--period", "7m"}
            << "--period needs a length that divides a day, such as 5m, 15m or 1h, or auto"
            << "report";
        QTest::newRow("report: den-hours")
            << QStringList{"report", "a.rec", "--out", "a.pdf", "--den-hours", "19,7,23"}
            << "--den-hours needs the starts of day, evening and night, such as "
               "07:00,19:00,23:00, in that order round the clock"
            << "report";
        QTest::newRow("autoload: neither") << QStringList{"autoload", "--quiet"}
                                           << "autoload needs --every HOURS or --once"
                                           << "autoload";
        QTest::newRow("info: an argument") << QStringList{"info", "now"}
                                           << "info takes no further argument" << "info";
        QTest::newRow("set-interval: none") << QStringList{"set-interval"}
                                            << "set-interval needs MM:SS" << "set-interval";
        QTest::newRow("erase: no --yes")
            << QStringList{"erase", "--port", "/dev/null"}
            << "erase deletes every data set in the meter; run it with --yes" << "erase";
    }

    void usageErrorIsOneLineAndAHint()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QFETCH(QString, helpCommand);
        const ToolRun run = runTool(arguments);
        QCOMPARE(run.status, 2);
        const QString help = helpCommand.isEmpty() ? QStringLiteral("audimark-cli --help")
                                                   : "audimark-cli " + helpCommand + " --help";
        QCOMPARE(run.err, "audimark-cli: " + message + "\nTry '" + help + "'.\n");
        QCOMPARE(run.out, QString());
    }

    // "help X" and "X --help" print X's page: synopsis, every option, the
    // exit statuses and an example; the usage error status among them.
    void helpOfEachCommand_data()
    {
        QTest::addColumn<QString>("command");
        QTest::addColumn<QStringList>("mentions");
        const QStringList none;
        QTest::newRow("live") << "live" << QStringList{"--format FORMAT", "csv", "--give-up-after"};
        QTest::newRow("download") << "download" << QStringList{"--quiet", "--verbose", "11-16"};
        QTest::newRow("sets") << "sets" << QStringList{"FILE.rec", "16 it holds no data sets"};
        QTest::newRow("export") << "export" << QStringList{"--from A", "point number"};
        QTest::newRow("stats") << "stats" << QStringList{"--from TIME", "time of day",
                                                         "--format FORMAT", "json", "UTC offset"};
        QTest::newRow("report") << "report"
                                << QStringList{"--to TIME", "--title T", "--period LENGTH",
                                               "--den-hours D,E,N", "--min-duration DURATION"};
        QTest::newRow("autoload") << "autoload" << QStringList{"--quiet", "--verbose", "5 a cycle emptied"};
        QTest::newRow("info") << "info" << QStringList{"json", "3 the meter did not answer"};
        QTest::newRow("set-clock") << "set-clock" << none;
        QTest::newRow("set-interval") << "set-interval" << QStringList{"00:01 to 01:00"};
        QTest::newRow("erase") << "erase" << QStringList{"--yes"};
    }

    void helpOfEachCommand()
    {
        QFETCH(QString, command);
        QFETCH(QStringList, mentions);
        const ToolRun help = runTool({"help", command});
        QCOMPARE(help.status, 0);
        QCOMPARE(help.err, QString());
        for (const QStringList& other : {QStringList{command, "--help"}, {command, "-h"},
                                         {"--help", command}, {command, "a.rec", "--x", "--help"}}) {
            const ToolRun run = runTool(other);
            QCOMPARE(run.status, 0);
            QCOMPARE(run.out, help.out);
        }
        QVERIFY2(help.out.startsWith("Usage: audimark-cli " + command + ' '), qPrintable(help.out));
        for (const char* section : {"\nOptions:\n", "\nExit status:\n", "\nExample:\n"})
            QVERIFY2(help.out.contains(section), qPrintable(section));
        QVERIFY(help.out.contains("\n  0 "));
        QVERIFY(help.out.contains("\n  2 "));
        QVERIFY(help.out.contains("\n  audimark-cli " + command));
        const CommandLine::Command* described = CommandLine::command(command);
        QVERIFY(described);
        for (const CommandLine::Option& option : described->options)
            QVERIFY2(help.out.contains("  --" + option.name), qPrintable(option.name));
        // Words, wherever the page breaks its lines.
        const QString words = help.out.simplified();
        for (const QString& mention : mentions)
            QVERIFY2(words.contains(mention), qPrintable(mention));
        for (const QString& line : help.out.split('\n'))
            QVERIFY2(line.size() <= 79, qPrintable(line));
        // Another command's page is not this one.
        QVERIFY(!help.out.contains("Commands:"));
    }

    void overviewListsTheCommands()
    {
        const ToolRun help = runTool({"--help"});
        QCOMPARE(help.status, 0);
        QCOMPARE(runTool({"help"}).out, help.out);
        for (const CommandLine::Command& command : CommandLine::commands())
            QVERIFY2(help.out.contains("\n  " + command.name + ' '), qPrintable(command.name));
        QVERIFY(help.out.contains("help COMMAND"));
        const ToolRun version = runTool({"--version"});
        QCOMPARE(version.status, 0);
        QVERIFY(version.out.startsWith("audimark-cli "));
    }

    // On a terminal the progress line is rewritten in place; elsewhere each
    // step is a line; quiet shows none of it, nor the information texts.
    void progressStyles_data()
    {
        QTest::addColumn<int>("verbosity");
        QTest::addColumn<bool>("terminal");
        QTest::addColumn<QString>("shown");
        const QString lines = "Preparing\nbytes received 0 total bytes 128\nbytes received 64 "
                              "total bytes 128\nbytes received 128 total bytes 128\n";
        QTest::newRow("terminal") << int(Verbosity::Normal) << true
                                  << "Preparing\n\rbytes received 0 total bytes 128\rbytes "
                                     "received 64 total bytes 128\rbytes received 128 total "
                                     "bytes 128\n";
        QTest::newRow("pipe") << int(Verbosity::Normal) << false << lines;
        QTest::newRow("pipe, verbose") << int(Verbosity::Verbose) << false << lines;
        QTest::newRow("terminal, quiet") << int(Verbosity::Quiet) << true << "";
        QTest::newRow("pipe, quiet") << int(Verbosity::Quiet) << false << "";
    }

    void progressStyles()
    {
        QFETCH(int, verbosity);
        QFETCH(bool, terminal);
        QFETCH(QString, shown);
        QString text;
        QTextStream out(&text);
        const auto level = Verbosity(verbosity);
        ConsoleLoggerUi ui(out, {}, progressStyleFor(level, terminal), level != Verbosity::Quiet);
        ui.showInfo("Preparing");
        ui.showTransferProgress(128);
        ui.setBytesReceived(64);
        ui.setBytesReceived(128);
        ui.closeTransferProgress();
        QCOMPARE(text, shown);
    }

    void lineFormats_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<bool>("csv");
        QTest::addColumn<QString>("expected");
        QTest::newRow("text, English") << "en_US" << false
            << "70.0 dB  display  70.0  dBA FAST  range 50-100  maxmin -  - -  battery ok  -  clock 09:41:07";
        QTest::newRow("text, German decimal comma") << "de_DE" << false
            << "70,0 dB  display  70,0  dBA FAST  range 50-100  maxmin -  - -  battery ok  -  clock 09:41:07";
        QTest::newRow("csv ignores the decimal comma") << "de_DE" << true
            << "2026-03-04T05:06:07.000,70.0,70.0,A,FAST,50-100,-,0,0,ok,-,09:41:07";
    }

    void lineFormats()
    {
        QFETCH(QString, locale);
        QFETCH(bool, csv);
        QFETCH(QString, expected);
        QString text;
        QTextStream out(&text);
        LiveReadingPrinter printer(out, csv ? LiveReadingPrinter::Format::Csv : LiveReadingPrinter::Format::Text,
                                   842, QLocale(locale));
        const QString line = printer.formatLine(sampleReading(), QDateTime(QDate(2026, 3, 4), QTime(5, 6, 7)));
        if (csv)
            QCOMPARE(line, expected);
        else
            QVERIFY2(line.endsWith(expected), qPrintable(line));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCli)
#include "tst_cli.moc"
