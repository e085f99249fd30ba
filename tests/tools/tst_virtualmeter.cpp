// The virtual meter running in this process on its own thread, seen from
// the program's side of the pseudo-terminal.

#include "common/TestMain.h"
#include "tools/SlaveClient.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTime>

#include <memory>

using vmeter::VirtualMeter;
using vmeter::VirtualMeterOptions;

namespace {
constexpr int replyTimeoutMs = 2000;

std::unique_ptr<VirtualMeter> startMeter(VirtualMeterOptions options = {})
{
    auto meter = std::make_unique<VirtualMeter>(options);
    if (!meter->start())
        qWarning("%s", qPrintable(meter->errorString()));
    return meter;
}

QStringList readLines(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return {};
    return QString::fromLatin1(file.readAll()).split('\n', Qt::SkipEmptyParts);
}

int bcdValue(quint8 byte)
{
    return (byte >> 4) <= 9 && (byte & 0x0F) <= 9 ? (byte >> 4) * 10 + (byte & 0x0F) : -1;
}
} // namespace

class TestVirtualMeter : public QObject
{
    Q_OBJECT

private slots:
    void identificationReply_data();
    void identificationReply();
    void framesOnlyAfterStartAndEachX();
    void logLinesByteForByte();
    void faultyLineStillCarriesFrames_data();
    void faultyLineStillCarriesFrames();
    void closeAndReopenTwentyTimes();
    void clockIsLocalTimeInBcd();
    void switchOffAndOn();
    void levelFollowsNewBase();
    void unplugHangsUpAndReturnsUnderTheLink();
};

void TestVirtualMeter::identificationReply_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("idReply");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("842 default") << 842 << QByteArray("0842") << QByteArray("0842");
    QTest::newRow("841 default") << 841 << QByteArray("0841") << QByteArray("0841");
    QTest::newRow("1234") << 842 << QByteArray("1234") << QByteArray("1234");
    QTest::newRow("silent") << 842 << QByteArray() << QByteArray();
}

void TestVirtualMeter::identificationReply()
{
    QFETCH(int, model);
    QFETCH(QByteArray, idReply);
    QFETCH(QByteArray, expected);
    VirtualMeterOptions options;
    options.protocol.model =
        model == 841 ? vmeter::MeterModel::Model841 : vmeter::MeterModel::Model842;
    options.protocol.idReply = idReply;
    auto meter = startMeter(options);
    SlaveClient port(meter->slavePath());
    QVERIFY(port.isOpen());
    QVERIFY(port.send('K'));
    if (expected.isEmpty()) {
        QCOMPARE(port.readFor(600), QByteArray());
        return;
    }
    QCOMPARE(port.readBytes(4, replyTimeoutMs), expected);
    // Exactly 4 bytes and no frames.
    QCOMPARE(port.readFor(300), QByteArray());
}

void TestVirtualMeter::framesOnlyAfterStartAndEachX()
{
    auto meter = startMeter();
    SlaveClient port(meter->slavePath());
    QCOMPARE(port.readFor(400), QByteArray());
    QVERIFY(port.send('A'));
    const QByteArray first = port.readBytes(15, replyTimeoutMs);
    QVERIFY(SlaveClient::isValidFrame(first));
    // The meter waits for the program's "X".
    QCOMPARE(port.readFor(400), QByteArray());
    for (int i = 0; i < 5; ++i) {
        QVERIFY(port.send('X'));
        const QByteArray frame = port.readBytes(15, replyTimeoutMs);
        QVERIFY2(SlaveClient::isValidFrame(frame), frame.toHex(' ').constData());
    }
    QCOMPARE(port.readFor(300), QByteArray());
}

void TestVirtualMeter::logLinesByteForByte()
{
    QTemporaryDir dir;
    VirtualMeterOptions options;
    options.logPath = dir.filePath("traffic.log");
    options.fast = true;
    auto meter = startMeter(options);
    SlaveClient port(meter->slavePath());
    QVERIFY(port.send('K'));
    QCOMPARE(port.readBytes(4, replyTimeoutMs), QByteArray("0842"));
    QVERIFY(port.sendRaw(QByteArray("\x55\xAA", 2)));
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());
    QByteArray logger("\x02\x72\x45\x00\x00\x0B\x00\x03", 8);
    QVERIFY(port.sendRaw(logger));
    QVERIFY(port.send('X'));

    QTRY_COMPARE(meter->receivedFrames().size(), 4);
    const QStringList expected{"RX 02 4B 00 00 00 00 00 03 K", "STRAY 55 AA",
                               "RX 02 41 00 00 00 00 00 03 A", "RX 02 72 45 00 00 0B 00 03 r",
                               "RX 02 58 00 00 00 00 00 03 X"};
    QTRY_COMPARE(readLines(options.logPath).size(), expected.size());
    const QStringList lines = readLines(options.logPath);
    const QRegularExpression stamp("^(\\d+\\.\\d{3}) (.*)$");
    double previous = 0.0;
    for (int i = 0; i < lines.size(); ++i) {
        const auto match = stamp.match(lines.at(i));
        QVERIFY2(match.hasMatch(), qPrintable(lines.at(i)));
        QCOMPARE(match.captured(2), expected.at(i));
        QVERIFY(match.captured(1).toDouble() >= previous);
        previous = match.captured(1).toDouble();
    }
    const auto frames = meter->receivedFrames();
    QCOMPARE(frames.at(2).bytes, logger);
    QCOMPARE(frames.at(3).bytes, SlaveClient::commandFrame('X'));
    QCOMPARE(meter->traffic().size(), 5);
}

void TestVirtualMeter::faultyLineStillCarriesFrames_data()
{
    QTest::addColumn<bool>("noise");
    QTest::addColumn<bool>("split");
    QTest::addColumn<double>("corruptRate");
    QTest::newRow("split") << false << true << 0.0;
    QTest::newRow("noise") << true << false << 0.0;
    QTest::newRow("corrupt") << false << false << 0.3;
    QTest::newRow("everything") << true << true << 0.3;
}

void TestVirtualMeter::faultyLineStillCarriesFrames()
{
    QFETCH(bool, noise);
    QFETCH(bool, split);
    QFETCH(double, corruptRate);
    VirtualMeterOptions options;
    options.faults = {noise, split, corruptRate, 5};
    options.protocol.frameSpacing = std::chrono::milliseconds(20);
    auto meter = startMeter(options);
    SlaveClient port(meter->slavePath());
    QVERIFY(port.send('A'));
    for (int i = 0; i < 40; ++i) {
        const QByteArray frame = port.nextFrame(replyTimeoutMs);
        QVERIFY2(!frame.isEmpty(), qPrintable(QString("frame %1").arg(i)));
        // A frame the program would accept carries a plausible reading.
        const int level = quint8(frame.at(3)) * 256 + quint8(frame.at(4));
        QVERIFY2(level > 400 && level < 1000, qPrintable(QString::number(level)));
        QCOMPARE(quint8(frame.at(1)) & 0x18, 0x18);
        QVERIFY(port.send('X'));
    }
    QCOMPARE(port.droppedBytes > 0, noise || corruptRate > 0);
}

void TestVirtualMeter::closeAndReopenTwentyTimes()
{
    VirtualMeterOptions options;
    options.protocol.frameSpacing = std::chrono::milliseconds(10);
    // A frame lost in a closed port keeps the meter waiting for its "X" until
    // the silence limit; a short limit keeps the rounds short.
    options.protocol.silenceLimit = std::chrono::milliseconds(200);
    auto meter = startMeter(options);
    for (int round = 0; round < 20; ++round) {
        SlaveClient port(meter->slavePath());
        QVERIFY2(port.isOpen(), qPrintable(QString("round %1").arg(round)));
        // As the program's one-second tick does: "A" again until frames come.
        QByteArray frame;
        for (int attempt = 0; attempt < 5 && frame.isEmpty(); ++attempt) {
            QVERIFY(port.send(attempt == 0 ? 'a' : 'A'));
            frame = port.nextFrame(300);
        }
        QVERIFY2(!frame.isEmpty(), qPrintable(QString("round %1").arg(round)));
        QVERIFY(port.send('X'));
        QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());
    }
    // Every command of every round reached the meter whole.
    QTRY_VERIFY(meter->receivedFrames().size() >= 40);
    for (const vmeter::TrafficRecord& record : meter->traffic())
        QCOMPARE(record.kind, vmeter::ParsedBytes::Kind::Frame);
}

void TestVirtualMeter::clockIsLocalTimeInBcd()
{
    auto meter = startMeter();
    SlaveClient port(meter->slavePath());
    QVERIFY(port.send('A'));
    const QTime before = QTime::currentTime();
    const QByteArray frame = port.nextFrame(replyTimeoutMs);
    const QTime after = QTime::currentTime();
    QVERIFY(!frame.isEmpty());
    const int h = bcdValue(quint8(frame.at(11)));
    const int m = bcdValue(quint8(frame.at(12)));
    const int s = bcdValue(quint8(frame.at(13)));
    QVERIFY2(h >= 0 && m >= 0 && s >= 0, frame.mid(11, 3).toHex(' ').constData());
    const int sent = h * 3600 + m * 60 + s;
    const int low = before.msecsSinceStartOfDay() / 1000;
    const int high = after.msecsSinceStartOfDay() / 1000;
    if (high < low)
        QSKIP("the clock passed midnight during the exchange");
    QVERIFY2(sent >= low && sent <= high,
             qPrintable(QString("%1 not in %2..%3").arg(sent).arg(low).arg(high)));
}

void TestVirtualMeter::switchOffAndOn()
{
    auto meter = startMeter();
    SlaveClient port(meter->slavePath());
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());
    meter->switchOff();
    QVERIFY(!meter->isPoweredOn());
    QVERIFY(port.send('X'));
    QVERIFY(port.send('K'));
    QVERIFY(port.send('A'));
    QCOMPARE(port.readFor(500), QByteArray());
    meter->switchOn();
    QCOMPARE(port.readFor(300), QByteArray());
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());
    // Commands sent while off were on the line all the same.
    QCOMPARE(meter->receivedFrames().size(), 5);
}

void TestVirtualMeter::levelFollowsNewBase()
{
    VirtualMeterOptions options;
    options.protocol.frameSpacing = std::chrono::milliseconds(5);
    options.fast = true;
    auto meter = startMeter(options);
    SlaveClient port(meter->slavePath());
    meter->setLevel(94.0);
    QVERIFY(port.send('A'));
    QList<int> levels;
    for (int i = 0; i < 60; ++i) {
        const QByteArray frame = port.nextFrame(replyTimeoutMs);
        QVERIFY(!frame.isEmpty());
        levels << quint8(frame.at(3)) * 256 + quint8(frame.at(4));
        QVERIFY(port.send('X'));
    }
    std::sort(levels.begin() + 30, levels.end());
    // The median of the later frames sits at the new base.
    QVERIFY2(std::abs(levels.at(45) - 940) < 30, qPrintable(QString::number(levels.at(45))));
}

// The link names the terminal; unplugging hangs up its opener and removes
// the name, and the new terminal answers under the same name.
void TestVirtualMeter::unplugHangsUpAndReturnsUnderTheLink()
{
    QTemporaryDir dir;
    VirtualMeterOptions options;
    options.linkPath = dir.filePath(QStringLiteral("meter"));
    auto meter = startMeter(options);
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), meter->slavePath());
    SlaveClient port(options.linkPath);
    QVERIFY(port.send('A'));
    QVERIFY(!port.nextFrame(replyTimeoutMs).isEmpty());

    meter->unplug(std::chrono::milliseconds(500));
    QTRY_VERIFY(!QFileInfo(options.linkPath).isSymLink());
    QVERIFY(!meter->isPluggedIn());
    QVERIFY(meter->slavePath().isEmpty());
    QVERIFY(!port.send('A'));

    QTRY_VERIFY_WITH_TIMEOUT(meter->isPluggedIn(), 3000);
    QCOMPARE(QFileInfo(options.linkPath).symLinkTarget(), meter->slavePath());
    SlaveClient again(options.linkPath);
    QVERIFY(again.send('K'));
    QCOMPARE(again.readBytes(4, replyTimeoutMs), QByteArray("0842"));
}

AUDIMARK_TEST_MAIN_CORE(TestVirtualMeter)
#include "tst_virtualmeter.moc"
