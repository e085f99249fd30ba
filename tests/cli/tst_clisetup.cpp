// audimark-cli info, set-clock, set-interval and erase against the virtual
// meter program: the JSON and text information (the text under de_DE, a
// comma decimal), the frames on the wire in the meter's traffic log, the
// exit statuses of a refused input, an unconfirmed operation and no meter.

#include "common/CliProcess.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;

namespace {
// A memory file whose end address is `end`, holding `sets` data sets.
QString memoryFile(const QTemporaryDir& dir, int end, int sets)
{
    QByteArray image = LoggerImageBuilder().image();
    LoggerImageBuilder::writeControlPage(image, sets, end);
    const QString path = dir.filePath(QStringLiteral("memory.bin"));
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(image);
    return path;
}

QJsonObject json(const CliRun& run)
{
    return QJsonDocument::fromJson(run.out.toUtf8()).object();
}
} // namespace

class TestCliSetup : public QObject
{
    Q_OBJECT

private slots:
    // The tool speaks the plain locale unless a test asks for another.
    void initTestCase()
    {
        qputenv("LC_ALL", "C.UTF-8");
        qputenv("LANG", "C.UTF-8");
    }

    void infoAsJson_data()
    {
        QTest::addColumn<int>("end");
        QTest::addColumn<int>("available");
        QTest::addColumn<QString>("test");
        QTest::addColumn<QStringList>("meterOptions");
        QTest::newRow("end 256") << 256 << 31999 << "OK" << QStringList();
        QTest::newRow("data reaching 0xFF00: skipped")
            << 0xFF00 << 0 << "Skipped" << QStringList();
        QTest::newRow("meter recording: not tested")
            << 256 << 31999 << "Skipped (recording)" << QStringList{"--recording"};
    }
    void infoAsJson()
    {
        QFETCH(int, end);
        QFETCH(int, available);
        QFETCH(QString, test);
        QFETCH(QStringList, meterOptions);
        QTemporaryDir dir;
        VirtualMeterProcess meter(QStringList{"--fast", "--firmware", "105", "--meter-time",
                                              "2010-04-14T15:30:05", "--memory",
                                              memoryFile(dir, end, 3)} +
                                  meterOptions);
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const CliRun run = runCli({"info", "--port", port, "--format", "json"});
        QCOMPARE(run.status, 0);
        const QJsonObject info = json(run);
        QCOMPARE(info.keys(),
                 QStringList({"data_sets", "firmware", "interval_s", "memory_available",
                              "memory_test", "meter_time", "meter_time_iso"}));
        QCOMPARE(info.value("firmware").toDouble(), 1.05);
        QVERIFY2(info.value("meter_time").toString().startsWith("2010-04-14T15:3"),
                 qPrintable(info.value("meter_time").toString()));
        QCOMPARE(info.value("interval_s").toInt(), 0);
        // A recording meter may have opened a fourth set meanwhile.
        QVERIFY(info.value("data_sets").toInt() >= 3);
        if (meterOptions.isEmpty()) {
            QCOMPARE(info.value("data_sets").toInt(), 3);
            QCOMPARE(info.value("memory_available").toInt(), available);
        }
        QCOMPARE(info.value("memory_test").toString(), test);
    }

    void setupCommandsInTurn()
    {
        QTemporaryDir dir;
        const QString log = dir.filePath("traffic.log");
        VirtualMeterProcess meter({"--fast", "--sets", "3", "--seed", "9", "--log", log});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        const CliRun interval = runCli({"set-interval", "00:01", "--port", port});
        QCOMPARE(interval.status, 0);
        QCOMPARE(interval.out, QStringLiteral("Recording Interval Setup Successfully\n"));
        QFile traffic(log);
        QVERIFY(traffic.open(QIODevice::ReadOnly));
        QVERIFY(traffic.readAll().contains("RX 02 69 6E 74 00 01 00 03"));

        const CliRun clock = runCli({"set-clock", "--port", port});
        QCOMPARE(clock.status, 0);
        QVERIFY(clock.out.startsWith("Meter time updated successfully \nToday is Day "));

        const CliRun refused = runCli({"erase", "--port", port});
        QCOMPARE(refused.status, 2);
        QVERIFY(refused.err.contains("--yes"));

        const CliRun erase = runCli({"erase", "--yes", "--port", port});
        QCOMPARE(erase.status, 0);
        QCOMPARE(erase.out, QStringLiteral("Memory erased successfully\n"));

        const CliRun info = runCli({"info", "--port", port, "--format", "json"});
        QCOMPARE(info.status, 0);
        QCOMPARE(json(info).value("data_sets").toInt(), 0);
        QCOMPARE(json(info).value("interval_s").toInt(), 1);
        QCOMPARE(json(info).value("memory_available").toInt(), 32000);
        QVERIFY(QDateTime::fromString(json(info).value("meter_time").toString(), Qt::ISODate)
                    .secsTo(QDateTime::currentDateTime()) < 60);
    }

    // The meter's clock has no zone: the JSON gives it with the computer's
    // UTC offset at that time (summer time in May), beside the old key.
    void infoMeterTimeCarriesTheOffset()
    {
        QTemporaryDir dir;
        VirtualMeterProcess meter({"--fast", "--meter-time", "2010-05-12T17:21:00", "--memory",
                                   memoryFile(dir, 256, 3)});
        const QString port = meter.waitForPath();
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("TZ", "Europe/Berlin");
        const CliRun run = runCli({"info", "--port", port, "--format", "json"}, environment);
        QCOMPARE(run.status, 0);
        QJsonParseError error;
        const QJsonObject info = QJsonDocument::fromJson(run.out.toUtf8(), &error).object();
        QCOMPARE(error.error, QJsonParseError::NoError);
        const QString iso = info.value("meter_time_iso").toString();
        QVERIFY2(QRegularExpression("^2010-05-12T17:2\\d:\\d\\d\\.000\\+02:00$").match(iso).hasMatch(),
                 qPrintable(iso));
        QCOMPARE(info.value("meter_time").toString(), iso.left(19));
        QCOMPARE(info.value("data_sets").type(), QJsonValue::Double);
        QCOMPARE(info.value("firmware").type(), QJsonValue::Double);
    }

    void infoAsTextUnderGermanLocale()
    {
        QTemporaryDir dir;
        VirtualMeterProcess meter({"--fast", "--firmware", "105", "--meter-time",
                                   "2010-04-14T15:30:05", "--memory", memoryFile(dir, 256, 3)});
        const QString port = meter.waitForPath();
        const CliRun run = runCli({"info", "--port", port},
                                  localeEnvironment(QStringLiteral("de_DE.UTF-8")));
        QCOMPARE(run.status, 0);
        QVERIFY2(run.out.contains("Firmware version:    1,05\n"), qPrintable(run.out));
        QVERIFY2(run.out.contains("Meter time:          14.04.2010 15:3"), qPrintable(run.out));
        QVERIFY(run.out.contains("Recording interval:  00:00 (mm:ss)\n"));
        QVERIFY(run.out.contains("Data sets in memory: 3\n"));
        QVERIFY(run.out.contains("Memory available:    31.999 samples\n"));
        QVERIFY(run.out.contains("Memory test:         OK\n"));
    }

    void failures_data()
    {
        QTest::addColumn<QStringList>("meterOptions");
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("status");
        QTest::addColumn<QString>("shown");
        QTest::newRow("interval beyond a minute: nothing sent")
            << QStringList() << QStringList{"set-interval", "01:30"} << 2
            << "set-interval needs MM:SS";
        QTest::newRow("interval not MM:SS") << QStringList() << QStringList{"set-interval", "90"}
                                            << 2 << "set-interval needs MM:SS";
        QTest::newRow("rtc not echoed")
            << QStringList{"--setup-no-echo", "rtc"} << QStringList{"set-clock"} << 3
            << "Meter time updated fail";
        QTest::newRow("interval echo wrong")
            << QStringList{"--setup-wrong-echo", "int"} << QStringList{"set-interval", "00:05"} << 3
            << "Recording Interval Setup Fail";
        QTest::newRow("erase ignored")
            << QStringList{"--ignore-erase", "--sets", "2"} << QStringList{"erase", "--yes"} << 3
            << "Memory erased fail";
        QTest::newRow("no information block")
            << QStringList{"--no-info-block"} << QStringList{"info"} << 3
            << "did not answer the whole information read";
    }
    void failures()
    {
        QFETCH(QStringList, meterOptions);
        QFETCH(QStringList, arguments);
        QFETCH(int, status);
        QFETCH(QString, shown);
        VirtualMeterProcess meter(QStringList{"--fast"} + meterOptions);
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const CliRun run = runCli(arguments + QStringList{"--port", port});
        QCOMPARE(run.status, status);
        QVERIFY2(run.err.contains(shown), qPrintable(run.err));
    }

    void noMeter()
    {
        const CliRun run = runCli({"info", "--port", "/dev/audimark-no-such-port"});
        QCOMPARE(run.status, 1);
        QVERIFY(run.err.contains("cannot open"));
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliSetup)
#include "tst_clisetup.moc"
