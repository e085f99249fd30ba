// audimark-cli autoload against the virtual meter program: one cycle with
// --once writes every set to its own dump file and the image beside them,
// erases the memory and exits 0 (checked under de_DE, a comma decimal);
// a cycle that erased nothing exits 3 with the reason on standard error;
// the schedule runs until Ctrl-C; the hour text is checked before anything.

#include "common/CliProcess.h"
#include "common/ReadOnlyDirectory.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
// Three sets of 2, 5 and 3 samples, 5 s apart.
QByteArray memoryFile(const QString& path)
{
    LoggerImageBuilder builder;
    for (int k = 0; k < 3; ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14), QTime(15, 30 + k, 5));
        content.intervalSeconds = 0x05;
        for (int i = 0; i < QList<int>{2, 5, 3}.at(k); ++i)
            content.samplesTenths.append(600 + 10 * k + i);
        builder.append(content);
    }
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(builder.image());
    return builder.image();
}

QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}
} // namespace

class TestCliAutoLoad : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
    }

    void usage_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        const QString hours = "--every needs a whole number of hours from 1 to 24";
        QTest::newRow("neither") << QStringList{"autoload"}
                                 << "autoload needs --every HOURS or --once";
        QTest::newRow("0 hours") << QStringList{"autoload", "--every", "0"} << hours;
        QTest::newRow("25 hours") << QStringList{"autoload", "--every", "25"} << hours;
        QTest::newRow("fraction") << QStringList{"autoload", "--every", "1.5"} << hours;
        QTest::newRow("words") << QStringList{"autoload", "--once", "--every", "daily"} << hours;
    }

    void usage()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 2);
        QVERIFY2(run.err.startsWith("audimark-cli: " + message + '\n'), qPrintable(run.err));
    }

    void onceEmptiesTheLogger()
    {
        QTemporaryDir dir;
        const QByteArray memory = memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString target = dir.filePath("dumps");

        const CliRun run =
            runCli({"autoload", "--once", "--port", port, "--dir", target}, localeEnvironment(QStringLiteral("de_DE.UTF-8")));
        QCOMPARE(run.status, 0);
        const QStringList names{"201004141530.CSV", "201004141531.CSV", "201004141532.CSV",
                                "201004141532.rec"};
        QCOMPARE(QDir(target).entryList({"*.CSV", "*.rec"}, QDir::Files, QDir::Name), names);
        QCOMPARE(fileBytes(QDir(target).filePath(names.at(0))),
                 QByteArray("14.04.2010, 15:30:05.000,60,0\r\n14.04.2010, 15:30:10.000,60,1\r\n"));
        QCOMPARE(fileBytes(QDir(target).filePath(names.at(2))),
                 QByteArray("14.04.2010, 15:32:05.000,62,0\r\n14.04.2010, 15:32:10.000,62,1\r\n"
                            "14.04.2010, 15:32:15.000,62,2\r\n"));
        const QByteArray rec = fileBytes(QDir(target).filePath(names.at(3)));
        QVERIFY(rec.size() >= 256);
        QCOMPARE(rec, memory.left(rec.size()));

        // One line on standard output, the same in autoload.log.
        const QRegularExpression line(
            "^\\d\\d\\.\\d\\d\\.\\d{4} \\d\\d:\\d\\d:\\d\\d; emptied; 3 sets, 10 samples; files "
            "201004141530.CSV, 201004141531.CSV, 201004141532.CSV, 201004141532.rec; "
            "erased yes\n$");
        QVERIFY2(line.match(run.out).hasMatch(), qPrintable(run.out));
        QCOMPARE(QString::fromUtf8(fileBytes(QDir(target).filePath("autoload.log"))),
                 QString(run.out).replace("\n", "\r\n"));
    }

    // --quiet leaves standard error empty after a good cycle; --verbose
    // names the ports searched and every file written; neither writes a
    // carriage return where standard error is no terminal.
    void onceQuietOrVerbose_data()
    {
        QTest::addColumn<QString>("verbosity");
        QTest::addColumn<QStringList>("shown");
        QTest::newRow("quiet") << "--quiet" << QStringList{};
        QTest::newRow("verbose")
            << "--verbose"
            << QStringList{"Searching for the meter on ", "bytes received 0 total bytes",
                           "/201004141530.CSV\n", "/201004141532.rec\n"};
    }

    void onceQuietOrVerbose()
    {
        QFETCH(QString, verbosity);
        QFETCH(QStringList, shown);
        QTemporaryDir dir;
        (void)memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const QString target = dir.filePath("dumps");
        const CliRun run = runCli({"autoload", "--once", verbosity, "--port", port, "--dir", target});
        QCOMPARE(run.status, 0);
        QVERIFY(run.out.contains("; emptied; 3 sets, 10 samples;"));
        QVERIFY(!run.err.contains('\r'));
        if (shown.isEmpty())
            QCOMPARE(run.err, QString());
        for (const QString& text : shown)
            QVERIFY2(run.err.contains(text), qPrintable(text + " not in\n" + run.err));
        QVERIFY(run.err.contains("Wrote " + QDir(target).filePath("201004141530.CSV")) ==
                (verbosity == "--verbose"));
    }

    // A cycle that erased nothing: status 3, the reason on standard error
    // and in its line on standard output.
    void readOnlyDirectoryErasesNothing()
    {
        QTemporaryDir dir;
        (void)memoryFile(dir.filePath("memory.bin"));
        ReadOnlyDirectory locked;
        if (!locked.isReadOnly())
            QSKIP("no way to make a directory read-only here");
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        const CliRun run = runCli({"autoload", "--once", "--port", port, "--dir", locked.path()});
        QCOMPARE(run.status, 3);
        const QString reason = "cannot write 201004141530.CSV: ";
        QVERIFY2(run.err.contains("audimark-cli: nothing erased: " + reason), qPrintable(run.err));
        QVERIFY2(run.out.contains("; nothing erased; 0 sets, 0 samples; files none; erased no; "
                                  "reason: " +
                                  reason),
                 qPrintable(run.out));
        QVERIFY(locked.isEmpty());
    }

    // A meter that stays silent after its restart does not record again:
    // the cycle emptied the logger but says so, with its own status.
    void meterSilentAfterRestartIsTold()
    {
        QTemporaryDir dir;
        (void)memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter(
            {"--memory", dir.filePath("memory.bin"), "--fast", "--boot-silence", "3600"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        const CliRun run =
            runCli({"autoload", "--once", "--port", port, "--dir", dir.filePath("dumps")});
        QCOMPARE(run.status, 5);
        QVERIFY2(run.err.contains("the meter is not recording again after the cycle"),
                 qPrintable(run.err));
        QVERIFY2(run.out.contains("; emptied; 3 sets, 10 samples;"), qPrintable(run.out));
    }

    // The schedule: "E" to the idle meter at the start, the next cycle a
    // day ahead, and Ctrl-C (here SIGTERM) ends it cleanly with status 0.
    void scheduleRunsUntilInterrupted()
    {
        QTemporaryDir dir;
        (void)memoryFile(dir.filePath("memory.bin"));
        const QString traffic = dir.filePath("traffic.log");
        VirtualMeterProcess meter(
            {"--memory", dir.filePath("memory.bin"), "--fast", "--log", traffic});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        QProcess cli;
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"),
                  {"autoload", "--every", "24", "--port", port, "--dir", dir.filePath("dumps")});
        QString err;
        QTRY_VERIFY_WITH_TIMEOUT((err += cli.readAllStandardError()).contains("Ctrl-C stops"),
                                 20000);
        QVERIFY2(err.contains("Auto loading every 24 h; next cycle "), qPrintable(err));
        QTRY_VERIFY_WITH_TIMEOUT(fileBytes(traffic).contains(" RX 02 45 00 00 00 00 00 03 E"),
                                 5000);
        cli.terminate();
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(cli.exitCode(), 0);
        QVERIFY(cli.readAllStandardOutput().isEmpty());
        QVERIFY(!QDir(dir.filePath("dumps")).exists() || QDir(dir.filePath("dumps")).isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliAutoLoad)
#include "tst_cliautoload.moc"
