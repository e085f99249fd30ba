// The virtual meter's setup commands and recording, driven with made-up
// times: each frame of the setup table, its answer and its effect on the
// clock and the memory, the faults, and the data set a recording grows.

#include "common/TestMain.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/MeterProtocol.h"

using namespace std::chrono_literals;
using vmeter::LoggerImageBuilder;
using vmeter::MeterProtocol;
using vmeter::OutgoingMessage;
using vmeter::ProtocolSettings;
using vmeter::SteadyTime;

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

const QDateTime wallTime(QDate(2026, 1, 5), QTime(10, 0, 0));

class Harness
{
public:
    explicit Harness(ProtocolSettings settings = {}) : protocol(settings, [this] { return wall; })
    {
    }
    QByteArray send(const QByteArray& frame)
    {
        (void)protocol.receive(frame, now);
        QByteArray out;
        for (const OutgoingMessage& message : protocol.takeOutput())
            out += message.bytes;
        return out;
    }
    void advance(std::chrono::milliseconds step)
    {
        now += step;
        (void)protocol.poll(now);
        (void)protocol.takeOutput();
    }
    [[nodiscard]] const QByteArray& memory() const { return protocol.logger().memory(); }

    QDateTime wall = wallTime;
    MeterProtocol protocol;
    SteadyTime now{};
};

ProtocolSettings withSets(int sets)
{
    ProtocolSettings settings;
    settings.logger.generatedSets = sets;
    settings.logger.seed = 7;
    return settings;
}

quint8 sum(const QByteArray& bytes)
{
    quint8 s = 0;
    for (char b : bytes)
        s = quint8(s + quint8(b));
    return s;
}

int controlValue(const QByteArray& memory, int at, int size)
{
    int value = 0;
    for (int i = 0; i < size; ++i)
        value = value << 8 | quint8(memory.at(at + i));
    return value;
}
} // namespace

class TestMeterSetup : public QObject
{
    Q_OBJECT

private slots:
    void answers_data()
    {
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("c: nothing") << hex("0263000000000003") << QByteArray();
        QTest::newRow("rtc: echo") << hex("0272746300000003") << hex("0272746300000003");
        QTest::newRow("int 00:01: echo") << hex("02696E7400010003") << hex("02696E7400010003");
        QTest::newRow("boot: nothing") << hex("02626F6F74000003") << QByteArray();
        QTest::newRow("erase: nothing") << hex("0265726173650003") << QByteArray();
        QTest::newRow("V: echo and firmware")
            << hex("0256000000000003") << hex("025600000000000369");
        QTest::newRow("ti: the meter clock") << hex("0274690000000003") << hex("2600010510000000");
        QTest::newRow("memory write: echo and byte")
            << hex("027745008F009603") << hex("027745008F00960396");
    }
    void answers()
    {
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, answer);
        Harness h;
        QCOMPARE(h.send(frame).toHex(' '), answer.toHex(' '));
    }

    void clockFrameSetsTheMeterClock()
    {
        Harness h;
        QCOMPARE(h.send(hex("0272746300000003")), hex("0272746300000003"));
        QCOMPARE(h.send(hex("0210041415300503")), hex("0210041415300503"));
        QCOMPARE(h.send(hex("0274690000000003")).toHex(' '), hex("1000041415300500").toHex(' '));
        // The meter clock runs on with the wall clock.
        h.wall = h.wall.addSecs(65);
        QCOMPARE(h.send(hex("0274690000000003")).toHex(' '), hex("1000041415311000").toHex(' '));
        QCOMPARE(h.protocol.setup().meterTime(), QDateTime(QDate(2010, 4, 14), QTime(15, 31, 10)));
    }

    void clockFrameOnlyAfterRtc()
    {
        Harness h;
        // Without "rtc" first, 02 10 04 ... is no command at all.
        QCOMPARE(h.send(hex("0210041415300503")), QByteArray());
        QCOMPARE(h.protocol.setup().meterTime(), wallTime);
        // A frame that is no date after "rtc" is a command of its own.
        (void)h.send(hex("0272746300000003"));
        QCOMPARE(h.send(hex("0256000000000003")).size(), 9);
        QCOMPARE(h.protocol.setup().meterTime(), wallTime);
    }

    void intervalGoesIntoTheControlPage()
    {
        Harness h;
        (void)h.send(hex("02696E7401000003"));
        QCOMPARE(quint8(h.memory().at(0x0E)), quint8(0x01));
        QCOMPARE(quint8(h.memory().at(0x0F)), quint8(0x00));
        QCOMPARE(h.protocol.logger().storedIntervalSeconds(), 60);
    }

    void informationBlockIsTheControlPage()
    {
        Harness h(withSets(3));
        const QByteArray answer = h.send(hex("0250690000000003"));
        QCOMPARE(answer.size(), 8 + 65);
        QCOMPARE(answer.left(8), hex("0250690000000003"));
        QCOMPARE(answer.mid(8, 64), h.memory().left(64));
        QCOMPARE(quint8(answer.at(72)), sum(h.memory().left(64)));
        (void)h.send(hex("0251690000000003"));
        QVERIFY(!h.protocol.logger().transferring());
    }

    void eraseEmptiesTheLogger()
    {
        Harness h(withSets(3));
        (void)h.send(hex("02696E7400050003"));
        const QByteArray before = h.memory();
        QCOMPARE(controlValue(before, 0x09, 2), 3);
        (void)h.send(hex("0265726173650003"));
        const QByteArray& after = h.memory();
        QCOMPARE(controlValue(after, 0x09, 2), 0);
        QCOMPARE(controlValue(after, 0x0B, 3), 0xFF);
        QCOMPARE(after.mid(256), QByteArray(65536 - 256, char(0xFF)));
        // The rest of the control page, the interval with it, stays.
        QCOMPARE(after.mid(0x0E, 256 - 0x0E), before.mid(0x0E, 256 - 0x0E));
    }

    void firmwareByte()
    {
        ProtocolSettings settings;
        settings.setup.firmware = 0;
        Harness h(settings);
        QCOMPARE(h.send(hex("0256000000000003")), hex("025600000000000300"));
    }

    void faults_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("frame");
        QTest::addColumn<QByteArray>("answer");
        QTest::newRow("no echo of rtc") << "noEcho"
                                        << "rtc" << hex("0272746300000003") << QByteArray();
        QTest::newRow("no echo of int") << "noEcho"
                                        << "int" << hex("02696E7400010003") << QByteArray();
        QTest::newRow("no reply to V") << "noEcho"
                                       << "V" << hex("0256000000000003") << QByteArray();
        QTest::newRow("wrong echo of int")
            << "wrongEcho"
            << "int" << hex("02696E7400010003") << hex("02696E7401010003");
        QTest::newRow("short reply to V")
            << "shortReply"
            << "V" << hex("0256000000000003") << hex("0256000000000003");
        QTest::newRow("short reply to ti")
            << "shortReply"
            << "ti" << hex("0274690000000003") << hex("26000105100000");
        QTest::newRow("no information block")
            << "noInfoBlock"
            << "info" << hex("0250690000000003") << hex("0250690000000003");
        QTest::newRow("no answer to the information read")
            << "noEcho"
            << "info" << hex("0250690000000003") << QByteArray();
    }
    void faults()
    {
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QByteArray, frame);
        QFETCH(QByteArray, answer);
        ProtocolSettings settings;
        vmeter::SetupFaults& f = settings.setup.faults;
        if (kind == "noEcho")
            f.noEcho.insert(name);
        else if (kind == "wrongEcho")
            f.wrongEcho.insert(name);
        else if (kind == "shortReply")
            f.shortReply.insert(name);
        else
            f.noInfoBlock = true;
        Harness h(settings);
        QCOMPARE(h.send(frame).toHex(' '), answer.toHex(' '));
    }

    void memoryCellFaults()
    {
        ProtocolSettings settings;
        settings.logger.faults.badCells.insert(0x8F00);
        settings.logger.faults.shortReplyLetters = "r";
        Harness h(settings);
        QCOMPARE(h.send(hex("027745008F009603")), hex("027745008F00960369"));
        QCOMPARE(h.send(hex("027245008F000003")), hex("027245008F000003"));
    }

    void bootSilence()
    {
        ProtocolSettings settings;
        settings.setup.faults.bootSilence = 2s;
        Harness h(settings);
        (void)h.send(hex("02626F6F74000003"));
        h.advance(1900ms);
        QCOMPARE(h.send(hex("0256000000000003")), QByteArray());
        h.advance(200ms);
        QCOMPARE(h.send(hex("0256000000000003")).size(), 9);
    }

    void ignoredErase()
    {
        ProtocolSettings settings = withSets(2);
        settings.setup.faults.ignoreErase = true;
        Harness h(settings);
        const QByteArray before = h.memory();
        (void)h.send(hex("0265726173650003"));
        QCOMPARE(h.memory(), before);
    }

    void recordingGrowsANewDataSet_data()
    {
        QTest::addColumn<double>("timeScale");
        QTest::addColumn<int>("advanceMs");
        QTest::newRow("real time, 2 s interval: 0, 2, 4, 6 s") << 1.0 << 7000;
        QTest::newRow("100 times faster: 0, 20, 40, 60 ms") << 100.0 << 70;
    }
    void recordingGrowsANewDataSet()
    {
        QFETCH(double, timeScale);
        QFETCH(int, advanceMs);
        ProtocolSettings settings = withSets(2);
        settings.recordingTimeScale = timeScale;
        Harness h(settings);
        (void)h.send(hex("02696E7400020003"));
        (void)h.send(hex("0272746300000003"));
        (void)h.send(hex("0210041415300503"));
        const int endBefore = controlValue(h.memory(), 0x0B, 3);

        (void)h.send(hex("0245000000000003")); // "E": REC on
        QVERIFY(h.protocol.recording());
        h.advance(std::chrono::milliseconds(advanceMs));
        (void)h.send(hex("0245000000000003")); // REC off
        QVERIFY(!h.protocol.recording());

        const QByteArray& m = h.memory();
        QCOMPARE(controlValue(m, 0x09, 2), 3);
        const int p = endBefore + 1;
        QCOMPARE(LoggerImageBuilder::walkRecords(m).last(), p);
        // A5 5A, A weighting, 10-04-14 15:30:05, interval 00:02, 4 samples.
        QCOMPARE(m.mid(p, 14).toHex(' '), hex("A55A081004141530050002000004").toHex(' '));
        QCOMPARE(m.mid(p + 14 + 8, 2), hex("5AA5"));
        QCOMPARE(controlValue(m, 0x0B, 3), p + 15 + 8);
    }

    void switchingOffEndsTheRecording()
    {
        ProtocolSettings settings = withSets(1);
        settings.recordingTimeScale = 100;
        Harness h(settings);
        (void)h.send(hex("0245000000000003"));
        h.advance(50ms);
        h.protocol.switchOff();
        h.advance(1000ms);
        h.protocol.switchOn();
        h.advance(1000ms);
        QVERIFY(!h.protocol.recording());
        // The set keeps the samples of 0, 20 and 40 ms and nothing after.
        const int p = LoggerImageBuilder::walkRecords(h.memory()).last();
        QCOMPARE(controlValue(h.memory(), 0x09, 2), 2);
        QCOMPARE(controlValue(h.memory(), p + 11, 3), 3);
    }

    void fullMemoryEndsTheRecording()
    {
        LoggerImageBuilder builder;
        QByteArray image = builder.image();
        // Room for the header and three samples below 0xFAFF.
        LoggerImageBuilder::writeControlPage(image, 0, 0xFAFF - 16 - 6);
        ProtocolSettings settings;
        settings.logger.memory = image;
        settings.recordingTimeScale = 1000;
        Harness h(settings);
        (void)h.send(hex("0245000000000003"));
        h.advance(1000ms);
        QVERIFY(!h.protocol.recording());
        QCOMPARE(controlValue(h.memory(), 0x0B, 3), 0xFAFF);
        QCOMPARE(controlValue(h.memory(), 0x09, 2), 1);
        // The live frames show FULL.
        const QByteArray frame = h.send(hex("0241000000000003"));
        QCOMPARE(frame.size(), 15);
        QCOMPARE(quint8(frame.at(2)) & 0x10, 0x10);
    }

    void model841HasNoSetup()
    {
        ProtocolSettings settings;
        settings.model = vmeter::MeterModel::Model841;
        Harness h(settings);
        QCOMPARE(h.send(hex("0256000000000003")), QByteArray());
        QCOMPARE(h.send(hex("0274690000000003")), QByteArray());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestMeterSetup)
#include "tst_metersetup.moc"
