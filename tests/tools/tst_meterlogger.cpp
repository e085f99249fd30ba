// The virtual meter's data logger as a state machine with made-up time:
// echoes, control bytes, blocks and their check bytes, the answers to "y",
// "n" and "Q", memory writes, the generated memory and the faults.

#include "common/TestMain.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/MeterLogger.h"
#include "tools/virtual-meter/MeterProtocol.h"

using namespace std::chrono_literals;
using vmeter::LoggerImageBuilder;
using vmeter::LoggerMessage;
using vmeter::LoggerSettings;
using vmeter::MeterLogger;

namespace {
QByteArray frame(char letter, int address = 0x0D, quint8 data = 0)
{
    QByteArray f = QByteArray::fromHex("0200450000000003");
    f[1] = letter;
    f[3] = char(address >> 16);
    f[4] = char(address >> 8);
    f[5] = char(address);
    f[6] = char(data);
    return f;
}

quint8 checksum(const QByteArray& bytes)
{
    quint8 sum = 0;
    for (char b : bytes)
        sum = quint8(sum + quint8(b));
    return sum;
}

class Harness
{
public:
    explicit Harness(LoggerSettings settings = {}, std::chrono::microseconds byteTime = 0us)
        : logger(settings, byteTime)
    {
    }
    QList<LoggerMessage> send(const QByteArray& f, std::chrono::milliseconds after = 1000ms)
    {
        now += after;
        QList<LoggerMessage> out;
        logger.handleFrame(f, now, out);
        return out;
    }
    MeterLogger logger;
    vmeter::SteadyTime now{};
};

LoggerSettings withUsedSize(int usedSize)
{
    LoggerSettings settings;
    QByteArray image = LoggerImageBuilder().image();
    for (int i = 256; i < image.size(); ++i)
        image[i] = char(i % 251);
    LoggerImageBuilder::writeControlPage(image, 0, usedSize - 1);
    settings.memory = image;
    return settings;
}
} // namespace

class TestMeterLogger : public QObject
{
    Q_OBJECT

private slots:
    void readEchoesAndAnswersTheByte()
    {
        Harness h(withUsedSize(300));
        const auto out = h.send(frame('r', 0x0C));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.at(0).bytes, frame('r', 0x0C) + QByteArray(1, char(0x01)));
        QCOMPARE(h.send(frame('r', 0x0D)).at(0).bytes.right(1), QByteArray(1, char(0x2B)));
    }

    void transferInCheckedBlocks()
    {
        Harness h(withUsedSize(130)); // three blocks
        auto out = h.send(frame('P'));
        QCOMPARE(out.size(), 2);
        QCOMPARE(out.at(0).bytes, frame('P'));
        const QByteArray memory = h.logger.memory();
        QCOMPARE(out.at(1).bytes.size(), 65);
        QCOMPARE(out.at(1).bytes.left(64), memory.left(64));
        QCOMPARE(quint8(out.at(1).bytes.at(64)), checksum(memory.left(64)));
        out = h.send(frame('y'));
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.at(0).bytes.left(64), memory.mid(64, 64));
        out = h.send(frame('n'));
        QCOMPARE(out.at(0).bytes.left(64), memory.mid(64, 64));
        out = h.send(frame('y'));
        QCOMPARE(out.at(0).bytes.left(64), memory.mid(128, 64));
        QVERIFY(h.send(frame('y')).isEmpty()); // after the last block
        QVERIFY(!h.logger.transferring());
    }

    void quitStopsTheTransfer()
    {
        Harness h(withUsedSize(1000));
        (void)h.send(frame('P'));
        QVERIFY(h.send(frame('Q')).isEmpty());
        QVERIFY(h.send(frame('y')).isEmpty());
        QVERIFY(h.send(frame('n')).isEmpty());
    }

    void acknowledgementWhileBlockOnLineIgnored()
    {
        Harness h(withUsedSize(1000), 1042us);
        (void)h.send(frame('P'));
        // 73 bytes take 76 ms on the line; a "y" 10 ms later cannot mean them.
        QVERIFY(h.send(frame('y'), 10ms).isEmpty());
        const auto out = h.send(frame('y'), 100ms);
        QCOMPARE(out.size(), 1);
        QCOMPARE(out.at(0).bytes.left(64), h.logger.memory().mid(64, 64));
    }

    void writeChangesMemory()
    {
        Harness h(withUsedSize(1000));
        const auto out = h.send(frame('w', 0x0A, 0x2A));
        QCOMPARE(out.at(0).bytes, frame('w', 0x0A, 0x2A) + QByteArray(1, char(0x2A)));
        QCOMPARE(quint8(h.logger.memory().at(0x0A)), quint8(0x2A));
    }

    void faults()
    {
        LoggerSettings settings = withUsedSize(1000);
        settings.faults.badCheckBlocks.insert(0, 2);
        settings.faults.changedEchoLetters = "r";
        settings.faults.failedReadAddresses.insert(0x0B);
        Harness h(settings);
        const auto read = h.send(frame('r', 0x0B));
        QCOMPARE(read.at(0).bytes.size(), 8);
        QVERIFY(read.at(0).bytes != frame('r', 0x0B));
        auto block = h.send(frame('P')).at(1).bytes;
        QVERIFY(quint8(block.at(64)) != checksum(block.left(64)));
        block = h.send(frame('n')).at(0).bytes;
        QVERIFY(quint8(block.at(64)) != checksum(block.left(64)));
        block = h.send(frame('n')).at(0).bytes;
        QCOMPARE(quint8(block.at(64)), checksum(block.left(64)));
    }

    void silenceAfterByteCount()
    {
        LoggerSettings settings = withUsedSize(1000);
        settings.faults.silenceAfterBytes = 65 + 20;
        Harness h(settings);
        QCOMPARE(h.send(frame('P')).at(1).bytes.size(), 65);
        QCOMPARE(h.send(frame('y')).at(0).bytes.size(), 20);
        QVERIFY(h.send(frame('n')).isEmpty());
    }

    void generatedSetsAndDamagedMarkers()
    {
        LoggerSettings settings;
        settings.generatedSets = 5;
        settings.seed = 3;
        settings.faults.damagedStartSets.insert(1);
        settings.faults.damagedEndSets.insert(3);
        MeterLogger logger(settings, 0us);
        MeterLogger again(settings, 0us);
        QCOMPARE(logger.memory(), again.memory());
        const QByteArray memory = logger.memory();
        QCOMPARE(memory.size(), 65536);
        QCOMPARE(quint8(memory.at(0x0A)), quint8(5));
        const QList<int> offsets = LoggerImageBuilder::walkRecords(memory);
        QCOMPARE(offsets.size(), 5);
        QCOMPARE(quint8(memory.at(offsets.at(0))), quint8(0xA5));
        QCOMPARE(quint8(memory.at(offsets.at(1))), quint8(0x00));
        QCOMPARE(quint8(memory.at(offsets.at(4) - 1)), quint8(0x00)); // end of set 3
        QCOMPARE(quint8(memory.at(offsets.at(3) - 1)), quint8(0xA5));
        const int end = quint8(memory.at(0x0C)) * 256 + quint8(memory.at(0x0D));
        QCOMPARE(quint8(memory.at(end)), quint8(0xA5));
    }

    void model841HasNoLogger()
    {
        vmeter::ProtocolSettings settings;
        settings.model = vmeter::MeterModel::Model841;
        vmeter::MeterProtocol protocol(settings);
        (void)protocol.receive(frame('r', 0x0C), vmeter::SteadyTime{});
        QVERIFY(protocol.takeOutput().isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestMeterLogger)
#include "tst_meterlogger.moc"
