#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"

#include "meter/LiveFrame.h"
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
