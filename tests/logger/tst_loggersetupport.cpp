// The setup exchanges against the virtual meter: the take-over of the device
// and its way back to the live link, and the information read with its
// faults. The commands built on them (echo checks, erase, take-over
// failures) are tested in tst_loggersetup.

#include "common/TestMain.h"
#include "logger/LoggerRig.h"
#include "logger/LoggerSetupPort.h"
#include "logger/SetupFrames.h"
#include "logger/SetupTestClock.h"

using vmeter::VirtualMeterOptions;

namespace {
constexpr int speedUp = 20;
const QDateTime pcTime(QDate(2010, 4, 14), QTime(15, 30, 5));

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

VirtualMeterOptions meterWithSets(int sets)
{
    VirtualMeterOptions options;
    options.protocol.logger.generatedSets = sets;
    options.protocol.logger.seed = 3;
    return options;
}

double secondsOn(MeterClock& clock, MeterClock::TimePoint since)
{
    return clock.secondsSince(since);
}
} // namespace

class TestLoggerSetupPort : public QObject
{
    Q_OBJECT

private slots:
    void takeOverAndRestore()
    {
        SetupTestClock clock(speedUp, pcTime);
        LoggerRig rig(meterWithSets(0), clock);
        QVERIFY(rig.connect());
        LoggerSetupPort setup(rig.port);

        const auto start = clock.now();
        QVERIFY(setup.connectLoggerPort());
        QVERIFY(secondsOn(clock, start) >= 5.0);
        QVERIFY(!rig.link.Comm1().Active());
        QVERIFY(rig.link.Comm2().Active());
        QVERIFY(!rig.link.MainTimer().isActive());

        const qsizetype before = rig.frames().size();
        setup.restore();
        QVERIFY(rig.liveLinkBack());
        QTRY_VERIFY(rig.frames().size() > before);
        QCOMPARE(rig.frames().at(before).toHex(' '), hex("0261000000000003").toHex(' '));
    }

    void informationRead()
    {
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(4);
        options.protocol.setup.firmware = 105;
        options.protocol.setup.meterTime = QDateTime(QDate(2009, 12, 31), QTime(23, 59, 58));
        LoggerRig rig(options, clock);
        QVERIFY(rig.connect());
        LoggerSetupPort setup(rig.port);
        QVERIFY(setup.connectLoggerPort());
        setup.enterLoggerMode();
        const LoggerInformation info = setup.readInformation();
        setup.restore();

        QCOMPARE(info.firmware.value_or(0), quint8(105));
        QVERIFY(info.meterClock.has_value());
        // 31 December 2009 23:59:58 or a second or two later.
        const QByteArray time = *info.meterClock;
        QVERIFY2(time.startsWith(hex("0900123123")) || time.startsWith(hex("1000010100")),
                 time.toHex(' ').constData());
        QVERIFY(info.controlPage.has_value());
        const QByteArray memory = rig.meter->loggerMemory();
        QCOMPARE(info.controlPage->bytes, memory.left(64));
        QCOMPARE(info.controlPage->dataSets(), 4);
        QCOMPARE(info.controlPage->endAddress(), quint8(memory.at(0x0B)) << 16 |
                                                     quint8(memory.at(0x0C)) << 8 |
                                                     quint8(memory.at(0x0D)));
        // The frames in order: V, ti, P, Q.
        QTRY_VERIFY2(rig.letters().contains("cVtPQa"), rig.letters().constData());
        QVERIFY(rig.liveLinkBack());
    }

    void informationFaults_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("firmware");
        QTest::addColumn<bool>("meterClock");
        QTest::addColumn<int>("informationStarts");
        QTest::newRow("no reply to V") << "noEcho"
                                       << "V" << false << false << 0;
        QTest::newRow("V one byte short") << "shortReply"
                                          << "V" << false << false << 0;
        QTest::newRow("wrong echo of V") << "wrongEcho"
                                         << "V" << false << false << 0;
        QTest::newRow("ti one byte short") << "shortReply"
                                           << "ti" << true << false << 0;
        QTest::newRow("no block: three attempts") << "noInfoBlock"
                                                  << "info" << true << true << 3;
        QTest::newRow("P not echoed") << "noEcho"
                                      << "info" << true << true << 3;
    }
    void informationFaults()
    {
        QFETCH(QString, fault);
        QFETCH(QString, name);
        QFETCH(bool, firmware);
        QFETCH(bool, meterClock);
        QFETCH(int, informationStarts);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(2);
        addSetupFault(options, fault, name);
        LoggerRig rig(options, clock);
        QVERIFY(rig.connect());
        LoggerSetupPort setup(rig.port);
        QVERIFY(setup.connectLoggerPort());
        setup.enterLoggerMode();
        const LoggerInformation info = setup.readInformation();
        setup.restore();

        QCOMPARE(info.firmware.has_value(), firmware);
        QCOMPARE(info.meterClock.has_value(), meterClock);
        QVERIFY(!info.controlPage.has_value());
        QCOMPARE(rig.letters().count('P'), informationStarts);
        QVERIFY(rig.liveLinkBack());
    }

    void memoryAvailable_data()
    {
        QTest::addColumn<int>("endAddress");
        QTest::addColumn<int>("available");
        QTest::newRow("empty logger (end 255)") << 255 << 32000;
        QTest::newRow("end 256") << 256 << 31999;
        QTest::newRow("end 64253") << 64253 << 1;
        QTest::newRow("end 64255") << 64255 << 0;
        QTest::newRow("end 64256") << 64256 << 0;
        QTest::newRow("end 0xFFFFFF") << 0xFFFFFF << 0;
    }
    void memoryAvailable()
    {
        QFETCH(int, endAddress);
        QFETCH(int, available);
        QByteArray bytes(64, '\0');
        bytes[0x0B] = char(endAddress >> 16);
        bytes[0x0C] = char(endAddress >> 8);
        bytes[0x0D] = char(endAddress);
        QCOMPARE(ControlPage{bytes}.memoryAvailable(), available);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestLoggerSetupPort)
#include "tst_loggersetupport.moc"
