// The audimark-virtual-meter program as demos and the program's own tests
// run it: a separate process, the device path on its first output line and
// commands on its standard input.

#include "common/TestMain.h"
#include "tools/SlaveClient.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {
constexpr int replyTimeoutMs = 2000;

// Starts the program and returns the device path it printed, empty on failure.
QString startProgram(QProcess& process, const QStringList& arguments)
{
    process.setProgram(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER"));
    process.setArguments(arguments);
    process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    process.start();
    if (!process.waitForStarted(5000))
        return {};
    while (!process.canReadLine()) {
        if (!process.waitForReadyRead(5000))
            return {};
    }
    return QString::fromLocal8Bit(process.readLine()).trimmed();
}
} // namespace

class TestVirtualMeterProcess : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void identification_data();
    void identification();
    void commandsOnStandardInput();
    void endOfInput_data();
    void endOfInput();
    void logFileLines();
    void rejectsBadOptions_data();
    void rejectsBadOptions();
};

void TestVirtualMeterProcess::initTestCase()
{
    QVERIFY2(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")),
             "AUDIMARK_VIRTUAL_METER must name the audimark-virtual-meter program");
}

void TestVirtualMeterProcess::identification_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("default") << QStringList() << QByteArray("0842");
    QTest::newRow("841") << QStringList{"--model", "841"} << QByteArray("0841");
    QTest::newRow("x841") << QStringList{"--model", "841", "--id-reply", "x841"}
                          << QByteArray("x841");
    QTest::newRow("1234") << QStringList{"--id-reply", "1234"} << QByteArray("1234");
    QTest::newRow("silent") << QStringList{"--no-id-reply"} << QByteArray();
}

void TestVirtualMeterProcess::identification()
{
    QFETCH(QStringList, arguments);
    QFETCH(QByteArray, expected);
    QProcess process;
    const QString path = startProgram(process, arguments);
    QVERIFY(path.startsWith("/dev/"));
    SlaveClient port(path);
    QVERIFY(port.isOpen());
    QVERIFY(port.send('K'));
    if (expected.isEmpty())
        QCOMPARE(port.readFor(700), QByteArray());
    else
        QCOMPARE(port.readBytes(4, replyTimeoutMs), expected);
    process.write("quit\n");
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestVirtualMeterProcess::commandsOnStandardInput()
{
    QProcess process;
    const QString path = startProgram(process, {"--level", "94", "--seed", "4"});
    SlaveClient port(path);
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());

    process.write("off\n");
    QVERIFY(process.waitForBytesWritten(5000));
    // Switched off: nothing answers, not even "K". The line is read before
    // standard input, so the first "K" may still be answered.
    bool silent = false;
    for (int attempt = 0; attempt < 10 && !silent; ++attempt)
        silent = port.send('K') && port.readFor(300).isEmpty();
    QVERIFY(silent);
    QVERIFY(port.send('A'));
    QCOMPARE(port.readFor(500), QByteArray());

    process.write("level 40.0\non\n");
    QVERIFY(process.waitForBytesWritten(5000));
    QByteArray frame;
    for (int attempt = 0; attempt < 10 && frame.isEmpty(); ++attempt) {
        QVERIFY(port.send('A'));
        frame = port.nextFrame(300);
    }
    QVERIFY(!frame.isEmpty());
    for (int i = 0; i < 40; ++i) {
        QVERIFY(port.send('X'));
        frame = port.nextFrame(replyTimeoutMs);
        QVERIFY(!frame.isEmpty());
    }
    // 40 dB is below the 50-100 dB range.
    QCOMPARE(quint8(frame.at(1)) & 0x40, 0x40);
    process.write("quit\n");
    QVERIFY(process.waitForFinished(5000));
    QCOMPARE(process.exitCode(), 0);
}

void TestVirtualMeterProcess::endOfInput_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::addColumn<bool>("keepsServing");
    QTest::newRow("ends the meter") << QStringList() << false;
    QTest::newRow("--no-stdin: serves on") << QStringList{"--no-stdin"} << true;
}

void TestVirtualMeterProcess::endOfInput()
{
    QFETCH(QStringList, arguments);
    QFETCH(bool, keepsServing);
    QProcess process;
    const QString path = startProgram(process, arguments);
    SlaveClient port(path);
    QVERIFY(port.send('K'));
    QCOMPARE(port.readBytes(4, replyTimeoutMs), QByteArray("0842"));

    // With --no-stdin the input is not read at all: "off" there changes nothing.
    process.write("off\n");
    process.closeWriteChannel();
    QCOMPARE(process.waitForFinished(keepsServing ? 1000 : 5000), !keepsServing);
    if (keepsServing) {
        QVERIFY(port.send('K'));
        QCOMPARE(port.readBytes(4, replyTimeoutMs), QByteArray("0842"));
        process.terminate();
        QVERIFY(process.waitForFinished(5000));
    }
    QCOMPARE(process.exitStatus(), QProcess::NormalExit);
    QCOMPARE(process.exitCode(), 0);
}

void TestVirtualMeterProcess::logFileLines()
{
    QTemporaryDir dir;
    const QString logPath = dir.filePath("meter.log");
    QProcess process;
    const QString path = startProgram(process, {"--fast", "--log", logPath});
    SlaveClient port(path);
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());
    QVERIFY(port.send('F'));
    QVERIFY(port.send('X'));
    const QByteArray frame = port.nextFrame(replyTimeoutMs);
    QCOMPARE(quint8(frame.at(1)) & 0x10, 0);
    process.write("quit\n");
    QVERIFY(process.waitForFinished(5000));

    QFile log(logPath);
    QVERIFY(log.open(QIODevice::ReadOnly));
    const QList<QByteArray> lines = log.readAll().split('\n');
    QCOMPARE(lines.size(), 4);
    QCOMPARE(lines.at(0).mid(lines.at(0).indexOf(' ')), " RX 02 41 00 00 00 00 00 03 A");
    QCOMPARE(lines.at(1).mid(lines.at(1).indexOf(' ')), " RX 02 46 00 00 00 00 00 03 F");
    QCOMPARE(lines.at(2).mid(lines.at(2).indexOf(' ')), " RX 02 58 00 00 00 00 00 03 X");
    QCOMPARE(lines.at(3), QByteArray());
}

void TestVirtualMeterProcess::rejectsBadOptions_data()
{
    QTest::addColumn<QStringList>("arguments");
    QTest::newRow("model 843") << QStringList{"--model", "843"};
    QTest::newRow("id reply of 3") << QStringList{"--id-reply", "842"};
    QTest::newRow("interval text") << QStringList{"--interval", "soon"};
}

void TestVirtualMeterProcess::rejectsBadOptions()
{
    QFETCH(QStringList, arguments);
    QProcess process;
    process.setProgram(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER"));
    process.setArguments(arguments);
    process.start();
    QVERIFY(process.waitForFinished(5000));
    QVERIFY(process.exitCode() != 0);
    QVERIFY(process.readAllStandardOutput().isEmpty());
}

AUDIMARK_TEST_MAIN_CORE(TestVirtualMeterProcess)
#include "tst_virtualmeterprocess.moc"
