// audimark-cli download and sets against the virtual meter program: the
// collection file holds the meter's memory byte for byte, the CSV files hold
// the samples in the dump line format, a failed load gives its own status.

#include "common/CliProcess.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "logger/DateTimeValue.h"
#include "logger/DumpLine.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {

QList<LoggerRecordContent> recordContents()
{
    QList<LoggerRecordContent> contents;
    const QList<int> lengths{4, 9, 2};
    for (int k = 0; k < lengths.size(); ++k) {
        LoggerRecordContent content;
        content.start = QDateTime(QDate(2010, 4, 14 + k), QTime(15, 30 + k, 5));
        content.intervalSeconds = LoggerImageBuilder::bcd(10 + k);
        content.aWeighting = k != 1;
        for (int i = 0; i < lengths.at(k); ++i)
            content.samplesTenths.append(k == 2 && i == 1 ? 150 : 600 + 13 * i + k);
        contents.append(content);
    }
    return contents;
}

QByteArray memoryFile(const QString& path)
{
    LoggerImageBuilder builder;
    for (const LoggerRecordContent& content : recordContents())
        builder.append(content);
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(builder.image());
    return builder.image();
}
} // namespace

class TestCliDownload : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")));
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
    }

    void downloadWritesCollectionAndCsv()
    {
        QTemporaryDir dir;
        const QByteArray memory = memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());

        const QString rec = dir.filePath("sets.rec");
        const CliRun run =
            runCli({"download", "--port", port, "--out", rec, "--csv-dir", dir.filePath("csv")});
        QCOMPARE(run.status, 0);
        QVERIFY(run.err.contains("bytes received 384 total bytes 384"));

        QFile file(rec);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray bytes = file.readAll();
        const int memoryEnd = quint8(memory.at(0x0C)) * 256 + quint8(memory.at(0x0D));
        QCOMPARE(bytes.size(), std::min(memoryEnd + 257, (memoryEnd + 64) / 64 * 64));
        QCOMPARE(bytes, memory.left(bytes.size()));

        const QStringList csv = QDir(dir.filePath("csv")).entryList(QDir::Files, QDir::Name);
        QCOMPARE(csv, (QStringList{"001_201004141530.CSV", "002_201004151531.CSV",
                                   "003_201004161532.CSV"}));
        const QList<LoggerRecordContent> contents = recordContents();
        for (int k = 0; k < contents.size(); ++k) {
            QFile csvFile(dir.filePath("csv/" + csv.at(k)));
            QVERIFY(csvFile.open(QIODevice::ReadOnly));
            QByteArray expected;
            const LoggerRecordContent& content = contents.at(k);
            for (int i = 0; i < content.samplesTenths.size(); ++i) {
                const int tenths = content.samplesTenths.at(i);
                const float value = tenths < 200 ? 50.0f : float(tenths * 0.1);
                const double t = DateTimeValue::fromDateTime(content.start.addSecs((10 + k) * i));
                expected += DumpLine::line(t, value).toLocal8Bit() + "\r\n";
            }
            QCOMPARE(csvFile.readAll(), expected);
        }

        const CliRun sets = runCli({"sets", rec});
        QCOMPARE(sets.status, 0);
        const QStringList lines = sets.out.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 4);
        const QStringList third = lines.at(3).split('\t');
        QCOMPARE(third.size(), 8);
        QCOMPARE(third.at(0), QStringLiteral("3"));
        QCOMPARE(third.at(2), QStringLiteral("00:12"));
        QCOMPARE(third.at(3), QStringLiteral("2"));
        QCOMPARE(third.at(4), QStringLiteral("A"));
        QCOMPARE(lines.at(2).split('\t').at(4), QStringLiteral("C"));
        const QLocale locale;
        QCOMPARE(third.at(6), locale.toString(60.2, 'f', 1)); // maximum
        QCOMPARE(third.at(7), locale.toString(50.0, 'f', 1)); // minimum, replaced value
    }

    // Standard error is no terminal here: every progress step is a line of
    // its own, without carriage returns; --quiet leaves only errors,
    // --verbose adds the ports searched and the files written.
    void progressInALog_data()
    {
        QTest::addColumn<QString>("verbosity");
        QTest::addColumn<QStringList>("shown");
        QTest::addColumn<QStringList>("notShown");
        const QStringList steps{"\nbytes received 0 total bytes 384\n",
                                "\nbytes received 64 total bytes 384\n",
                                "\nbytes received 384 total bytes 384\n"};
        QTest::newRow("normal") << "" << QStringList{"Model 842 on", "3 data sets written"} + steps
                                << QStringList{"Searching", "Wrote"};
        QTest::newRow("verbose") << "--verbose"
                                 << QStringList{"Searching for the meter on ", "Model 842 on",
                                                "/001_201004141530.CSV\n"} +
                                        steps
                                 << QStringList{};
        QTest::newRow("quiet") << "--quiet" << QStringList{}
                               << QStringList{"bytes received", "Model 842", "written"};
    }

    void progressInALog()
    {
        QFETCH(QString, verbosity);
        QFETCH(QStringList, shown);
        QFETCH(QStringList, notShown);
        QTemporaryDir dir;
        memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter({"--memory", dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QStringList arguments{"download", "--port", port, "--out", dir.filePath("sets.rec"),
                              "--csv-dir", dir.filePath("csv")};
        if (!verbosity.isEmpty())
            arguments << verbosity;
        const CliRun run = runCli(arguments);
        QCOMPARE(run.status, 0);
        QVERIFY(!run.err.contains('\r'));
        for (const QString& text : shown)
            QVERIFY2(run.err.contains(text), qPrintable(text + " not in\n" + run.err));
        for (const QString& text : notShown)
            QVERIFY2(!run.err.contains(text), qPrintable(text + " in\n" + run.err));
        if (verbosity == "--quiet")
            QCOMPARE(run.err, QString());
        QVERIFY(QFile::exists(dir.filePath("csv/003_201004161532.CSV")));
    }

    void failedLoadHasItsOwnStatus()
    {
        QTemporaryDir dir;
        memoryFile(dir.filePath("memory.bin"));
        VirtualMeterProcess meter(
            {"--memory", dir.filePath("memory.bin"), "--fast", "--used-size", "255"});
        const QString port = meter.waitForPath();
        const QString rec = dir.filePath("sets.rec");
        const CliRun run = runCli({"download", "--port", port, "--out", rec});
        QCOMPARE(run.status, 14);
        QVERIFY2(run.err.contains("audimark-cli: the meter's used memory size could not be read "
                                  "or lies outside 256 to 98304 bytes\n"),
                 qPrintable(run.err));
        QVERIFY(run.err.contains("There was error when reading data from meter"));
        QVERIFY(!QFile::exists(rec));
    }

    void setsOfAnEmptyCollection()
    {
        QTemporaryDir dir;
        QFile file(dir.filePath("zeros.rec"));
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QByteArray(300, '\0'));
        file.close();
        const CliRun run = runCli({"sets", file.fileName()});
        QCOMPARE(run.status, 16);
        QCOMPARE(run.err, "audimark-cli: " + file.fileName() + ": the file holds no data sets\n");
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliDownload)
#include "tst_clidownload.moc"
