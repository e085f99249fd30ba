// The logger memory download against the virtual meter on a pseudo-terminal:
// the used size, the handshake, the checked blocks, the retries, the
// fragment and silence rules, and the bytes on the wire. Time runs ten
// times faster than on the wall, except where a wait is itself the subject.

#include "common/PtyPair.h"
#include "common/TestMain.h"
#include "logger/AcceleratedMeterClock.h"
#include "logger/LoggerRig.h"

#include <sys/ioctl.h>

using vmeter::VirtualMeterOptions;

namespace {
constexpr int speedUp = 10;

QByteArray readFrame(quint8 address)
{
    return QByteArray::fromHex("02724500000000 03").replace(5, 1, QByteArray(1, char(address)));
}
} // namespace

class TestLoggerDownload : public QObject
{
    Q_OBJECT

private slots:
    void usedSizeAndTotal_data();
    void usedSizeAndTotal();
    void framesAsSent();
    void wrongCheckByteDropsBlock();
    void retryLimit_data();
    void retryLimit();
    void failedHandshake_data();
    void failedHandshake();
    void failedControlRead_data();
    void failedControlRead();
    void silenceAfterHandshake();
    void staleFragmentRealTime();
    void handOverFrameReachesTheMeter();
};

void TestLoggerDownload::usedSizeAndTotal_data()
{
    QTest::addColumn<int>("usedSize");
    QTest::addColumn<int>("silenceAfter");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("total");
    QTest::newRow("256 accepted") << 256 << -1 << int(LoadResult::Ok) << 256;
    QTest::newRow("255 too small") << 255 << -1 << int(LoadResult::BadSize) << 0;
    QTest::newRow("4096 whole blocks") << 4096 << -1 << int(LoadResult::Ok) << 4096;
    QTest::newRow("4097 one more block") << 4097 << -1 << int(LoadResult::Ok) << 4160;
    // Only the acceptance matters here; the meter stops after one block.
    QTest::newRow("65536 (FF FF) accepted") << 65536 << 65 << int(LoadResult::Incomplete) << 65536;
}

void TestLoggerDownload::usedSizeAndTotal()
{
    QFETCH(int, usedSize);
    QFETCH(int, silenceAfter);
    QFETCH(int, result);
    QFETCH(int, total);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(usedSize));
    options.protocol.logger.faults.silenceAfterBytes = silenceAfter;
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());

    QCOMPARE(int(rig.download.downloadMemory(rig.memory)), result);
    QVERIFY(!rig.link.Comm1().Active());
    QVERIFY(rig.link.Comm2().Active());
    QVERIFY(!rig.link.MainTimer().isActive());
    rig.port.giveBack();

    const TransferReport& report = rig.download.lastTransfer();
    QCOMPARE(report.usedSize, usedSize);
    QCOMPARE(rig.memory.memoryEnd(), usedSize - 1);
    QCOMPARE(report.totalBytes, total);
    QCOMPARE(rig.letters().contains('P'), result != int(LoadResult::BadSize));
    if (result == int(LoadResult::Ok)) {
        QCOMPARE(rig.memory.memoryImage(), rig.meter->loggerMemory().left(total));
        QCOMPARE(rig.ui.lastBytesReceived, total);
        QCOMPARE(rig.ui.progressUpdates, total / 64);
        QVERIFY(rig.ui.events.contains("progress:" + QString::number(total)));
    }
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerDownload::framesAsSent()
{
    AcceleratedMeterClock clock(speedUp);
    LoggerRig rig(meterWithMemory(memoryOfUsedSize(300)), clock);
    QVERIFY(rig.connect());
    const qsizetype before = rig.meter->receivedFrames().size();
    QCOMPARE(rig.download.downloadMemory(rig.memory), LoadResult::Ok);
    rig.port.giveBack();

    const QList<QByteArray> frames = rig.frames().mid(before);
    QList<QByteArray> logger;
    for (const QByteArray& frame : frames) {
        if (frame.at(2) == 'E')
            logger.append(frame);
    }
    QVERIFY(logger.size() >= 9);
    QCOMPARE(logger.at(0), readFrame(0x0B));
    QCOMPARE(logger.at(1), readFrame(0x0C));
    QCOMPARE(logger.at(2), readFrame(0x0D));
    QCOMPARE(logger.at(3), QByteArray::fromHex("0250450000 0D0003"));
    // Five blocks, each acknowledged; the last "y" stays unanswered and is
    // repeated up to ten times before the silence ends the transfer.
    for (qsizetype i = 4; i < logger.size(); ++i)
        QCOMPARE(logger.at(i), QByteArray::fromHex("0279450000 0D0003"));
    QCOMPARE(logger.size(), 4 + 4 + 10);
    QCOMPARE(rig.ui.events.first(), QStringLiteral("info:Preparing to load ....."));
    QVERIFY(rig.ui.events.indexOf("closeInfo") < rig.ui.events.indexOf("progress:320"));
    QCOMPARE(rig.ui.events.last(), QStringLiteral("closeProgress"));
}

void TestLoggerDownload::wrongCheckByteDropsBlock()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(640));
    options.protocol.logger.faults.badCheckBlocks.insert(3, 1);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QCOMPARE(rig.download.downloadMemory(rig.memory), LoadResult::Ok);
    rig.port.giveBack();

    QCOMPARE(rig.download.lastTransfer().retries, 1);
    QCOMPARE(rig.download.lastTransfer().receivedBytes, 640);
    QCOMPARE(rig.memory.memoryImage(), rig.meter->loggerMemory().left(640));
    const QByteArray letters = rig.letters();
    QCOMPARE(letters.count('n'), 1);
    // Blocks 0, 1 and 2 acknowledged, then block 3 rejected.
    const qsizetype p = letters.indexOf('P');
    QCOMPARE(letters.mid(p, 5), QByteArray("Pyyyn"));
    QCOMPARE(rig.ui.events.count("repaint"), 1);
    QVERIFY(!letters.contains('Q'));
}

void TestLoggerDownload::retryLimit_data()
{
    QTest::addColumn<int>("badTimes");
    QTest::addColumn<int>("result");
    QTest::addColumn<int>("retries");
    QTest::addColumn<bool>("quit");
    QTest::newRow("20 tolerated") << 20 << int(LoadResult::Ok) << 20 << false;
    QTest::newRow("21st ends with Q") << 21 << int(LoadResult::Incomplete) << 21 << true;
}

void TestLoggerDownload::retryLimit()
{
    QFETCH(int, badTimes);
    QFETCH(int, result);
    QFETCH(int, retries);
    QFETCH(bool, quit);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(256));
    options.protocol.logger.faults.badCheckBlocks.insert(1, badTimes);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QCOMPARE(int(rig.download.downloadMemory(rig.memory)), result);
    rig.port.giveBack();

    const TransferReport& report = rig.download.lastTransfer();
    QCOMPARE(report.retries, retries);
    QCOMPARE(report.quitSent, quit);
    const QByteArray letters = rig.letters();
    QCOMPARE(letters.count('n'), badTimes);
    QCOMPARE(letters.contains('Q'), quit);
    if (quit) {
        // The image holds only the block accepted before the failures.
        QCOMPARE(report.receivedBytes, 64);
        QCOMPARE(rig.memory.memoryImage(), rig.meter->loggerMemory().left(64));
        QCOMPARE(letters.right(1), QByteArray("Q"));
        QCOMPARE(rig.frames().last(), QByteArray::fromHex("0251450000 0D0003"));
    } else {
        QCOMPARE(rig.memory.memoryImage(), rig.meter->loggerMemory().left(256));
    }
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerDownload::failedHandshake_data()
{
    QTest::addColumn<QByteArray>("noEcho");
    QTest::addColumn<QByteArray>("changedEcho");
    QTest::addColumn<int>("result");
    QTest::newRow("P not echoed") << QByteArray("P") << QByteArray()
                                  << int(LoadResult::NoHandshake);
    QTest::newRow("P echo with a changed byte")
        << QByteArray() << QByteArray("P") << int(LoadResult::NoHandshake);
    QTest::newRow("r echo with a changed byte")
        << QByteArray() << QByteArray("r") << int(LoadResult::BadSize);
}

void TestLoggerDownload::failedHandshake()
{
    QFETCH(QByteArray, noEcho);
    QFETCH(QByteArray, changedEcho);
    QFETCH(int, result);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(512));
    options.protocol.logger.faults.noEchoLetters = noEcho;
    options.protocol.logger.faults.changedEchoLetters = changedEcho;
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QCOMPARE(int(rig.download.downloadMemory(rig.memory)), result);
    rig.port.giveBack();

    const QByteArray letters = rig.letters();
    if (result == int(LoadResult::NoHandshake)) {
        QCOMPARE(letters.count('P'), 3);
        QVERIFY(!letters.contains('y'));
    } else {
        QCOMPARE(letters.count('r'), 3); // three attempts on 0x0B, then nothing
        QVERIFY(!letters.contains('P'));
    }
    QVERIFY(rig.memory.memoryImage().isEmpty());
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerDownload::failedControlRead_data()
{
    QTest::addColumn<int>("address");
    QTest::newRow("0x0B") << 0x0B;
    QTest::newRow("0x0C") << 0x0C;
    QTest::newRow("0x0D") << 0x0D;
}

void TestLoggerDownload::failedControlRead()
{
    QFETCH(int, address);
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(512));
    options.protocol.logger.faults.failedReadAddresses.insert(address);
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QCOMPARE(rig.download.downloadMemory(rig.memory), LoadResult::BadSize);
    rig.port.giveBack();
    QCOMPARE(rig.download.lastTransfer().usedSize, 0);
    QCOMPARE(rig.letters().count('r'), address - 0x0B + 1);
    QVERIFY(!rig.letters().contains('P'));
}

void TestLoggerDownload::silenceAfterHandshake()
{
    AcceleratedMeterClock clock(speedUp);
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(4096));
    options.protocol.logger.faults.silenceAfterBytes = 0;
    LoggerRig rig(options, clock);
    QVERIFY(rig.connect());
    QCOMPARE(rig.download.downloadMemory(rig.memory), LoadResult::Incomplete);
    rig.port.giveBack();
    QCOMPARE(rig.download.lastTransfer().receivedBytes, 0);
    QCOMPARE(rig.download.lastTransfer().totalBytes, 4096);
    const QByteArray letters = rig.letters();
    QCOMPARE(letters.right(1), QByteArray("P"));
    QVERIFY(rig.liveLinkBack());
}

void TestLoggerDownload::staleFragmentRealTime()
{
    VirtualMeterOptions options = meterWithMemory(memoryOfUsedSize(4096));
    // Two whole blocks, then 30 bytes of the third, then silence.
    options.protocol.logger.faults.silenceAfterBytes = 2 * 65 + 30;
    LoggerRig rig(options, MeterClock::system());
    QVERIFY(rig.connect());
    QCOMPARE(rig.download.downloadMemory(rig.memory), LoadResult::Incomplete);
    rig.port.giveBack();

    const TransferReport& report = rig.download.lastTransfer();
    QCOMPARE(report.retries, 1);
    QCOMPARE(report.receivedBytes, 128);
    QCOMPARE(rig.memory.memoryImage(), rig.meter->loggerMemory().left(128));
    const QByteArray letters = rig.letters();
    QCOMPARE(letters.count('n'), 1);
    QCOMPARE(letters.right(1), QByteArray("n"));
    QCOMPARE(rig.ui.events.count("repaint"), 1);
}

// The live frame written at the hand-over is not thrown away by the reset
// and the reopening that follow it.
void TestLoggerDownload::handOverFrameReachesTheMeter()
{
    PtyPair pty;
    QVERIFY(pty.isValid() && pty.enablePacketMode());
    AcceleratedMeterClock clock(speedUp);
    MeterLink link(clock);
    LoggerPort port(link);
    link.setPortList({pty.slavePath()});
    link.Comm1().setActive(true);
    QVERIFY(pty.writeMaster(QByteArray::fromHex("55AA")));

    port.takeOver();
    QVERIFY(!link.Comm1().Active());
    QVERIFY(link.Comm2().Active());
    const PtyPair::Packets packets = pty.readPackets(CommandFrame::Size);
    QCOMPARE(packets.data, link.liveCommandFrame().toByteArray());
    QCOMPARE(packets.status & TIOCPKT_FLUSHWRITE, 0);
    QCOMPARE(port.inputCount(), 0);
}

AUDIMARK_TEST_MAIN_CORE(TestLoggerDownload)
#include "tst_loggerdownload.moc"
