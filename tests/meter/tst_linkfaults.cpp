// The live link when its meter goes away, on the virtual meter and the real
// one-second tick: a device unplugged and plugged in again under the same
// name, a meter switched off and on, a returned device another opener holds,
// a device plugged in only after start-up, and the end of the looking when
// the user chooses another port or the link is stopped.

#include "common/PtyPair.h"
#include "common/TestMain.h"
#include "meter/ScriptedMeterPeer.h"

#include "meter/MeterLink.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QFileInfo>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>

#include <chrono>
#include <memory>

using namespace std::chrono_literals;

namespace {
constexpr int FramesBackWithinMs = 6000;

// The meter with a stable link name, found by the link and streaming.
struct LinkedMeter
{
    QTemporaryDir dir;
    std::unique_ptr<vmeter::VirtualMeter> meter;
    MeterLink link;

    LinkedMeter()
    {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        options.linkPath = dir.filePath(QStringLiteral("meter"));
        meter = std::make_unique<vmeter::VirtualMeter>(options);
    }
    [[nodiscard]] bool start()
    {
        if (!meter->start())
            return false;
        link.setPortList({meter->devicePath()});
        if (!link.searchPorts())
            return false;
        link.startLiveLink();
        return QSignalSpy(&link, &MeterLink::frameAnswered).wait(3000);
    }
    // The letters the meter received from the `from`th frame on.
    [[nodiscard]] QByteArray lettersFrom(qsizetype from) const
    {
        QByteArray letters;
        const auto frames = meter->receivedFrames();
        for (qsizetype i = from; i < frames.size(); ++i)
            letters.append(frames.at(i).bytes.at(1));
        return letters;
    }
};
} // namespace

class TestLinkFaults : public QObject
{
    Q_OBJECT

private slots:
    void linkComesBackByItself_data()
    {
        QTest::addColumn<bool>("unplug"); // else: switched off
        QTest::addColumn<int>("awayMs");
        QTest::addColumn<QStringList>("statuses");
        QTest::addColumn<int>("reopened");
        QTest::newRow("unplugged for 5 s: lost, then back")
            << true << 5000 << QStringList{LinkStatus::None, LinkStatus::On} << 1;
        QTest::newRow("switched off for 5 s: lost, then back on the poll")
            << false << 5000 << QStringList{LinkStatus::None, LinkStatus::On} << 0;
    }

    void linkComesBackByItself()
    {
        QFETCH(bool, unplug);
        QFETCH(int, awayMs);
        QFETCH(QStringList, statuses);
        QFETCH(int, reopened);
        LinkedMeter rig;
        QVERIFY(rig.start());
        QSignalSpy status(&rig.link, &MeterLink::statusChanged);
        QSignalSpy reopens(&rig.link, &MeterLink::livePortReopened);
        QSignalSpy answered(&rig.link, &MeterLink::frameAnswered);

        if (unplug) {
            rig.meter->unplug(std::chrono::milliseconds(awayMs));
            // The hang-up closes the port.
            QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Comm1().Active(), 2000);
            QTRY_VERIFY_WITH_TIMEOUT(rig.meter->isPluggedIn(), awayMs + 2000);
        } else {
            rig.meter->switchOff();
            QTest::qWait(awayMs);
            QVERIFY(rig.link.Comm1().Active());
            rig.meter->switchOn();
        }
        const qsizetype framesAtReturn = rig.meter->receivedFrames().size();
        answered.clear();
        QVERIFY(answered.wait(FramesBackWithinMs));
        QTRY_VERIFY_WITH_TIMEOUT(rig.link.MeterConnected(), 3000);
        QCOMPARE(rig.link.Comm1().DeviceName(), rig.meter->devicePath());

        QStringList seen;
        for (const QList<QVariant>& change : status)
            seen << change.at(1).toString();
        seen.removeDuplicates();
        QCOMPARE(seen, statuses);
        QCOMPARE(int(reopens.count()), reopened);
        // The returned device is identified, then asked to start its stream;
        // answered frames follow.
        QTRY_VERIFY(rig.lettersFrom(framesAtReturn).contains('X'));
        const QByteArray letters = rig.lettersFrom(framesAtReturn);
        QVERIFY2(letters.startsWith(unplug ? "Ka" : "A"), letters.constData());
        rig.link.stopLiveLink();
    }

    // While the meter is away, another device appears under its name (a
    // pseudo-terminal or a renumbered adapter reusing it): it is asked "K",
    // never resumed, and closed again; the meter itself is, once back.
    void otherDeviceUnderTheOldName_data()
    {
        QTest::addColumn<QByteArray>("idReply");
        QTest::newRow("silent device") << QByteArray();
        QTest::newRow("foreign device") << QByteArray("OK\r\n");
        QTest::newRow("foreign device with a long reply") << QByteArray("AT+CSQ 99,99 OK\r\n");
    }
    void otherDeviceUnderTheOldName()
    {
        QFETCH(QByteArray, idReply);
        LinkedMeter rig;
        QVERIFY(rig.start());
        ScriptedMeterPeer other(idReply);
        QSignalSpy reopens(&rig.link, &MeterLink::livePortReopened);
        rig.meter->unplug(8s);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Comm1().Active(), 2000);
        QTRY_VERIFY(!QFileInfo::exists(rig.meter->devicePath()));
        QVERIFY(QFile::link(other.path(), rig.meter->devicePath()));

        // Two ticks that opened it, asked and let it go.
        QTRY_VERIFY_WITH_TIMEOUT(other.count('K') >= 2, 6000);
        QVERIFY(!rig.meter->isPluggedIn());
        QVERIFY(!rig.link.Comm1().Active());
        QCOMPARE(reopens.count(), 0);
        QVERIFY2(!other.letters().contains('a') && !other.letters().contains('X'),
                 other.letters().constData());

        // The meter comes back under the name and is resumed.
        QTRY_VERIFY_WITH_TIMEOUT(rig.meter->isPluggedIn(), 10000);
        const qsizetype framesAtReturn = rig.meter->receivedFrames().size();
        QVERIFY(reopens.wait(FramesBackWithinMs));
        QSignalSpy answered(&rig.link, &MeterLink::frameAnswered);
        QVERIFY(answered.wait(FramesBackWithinMs));
        QVERIFY(rig.lettersFrom(framesAtReturn).startsWith("Ka"));
        QVERIFY(!other.letters().contains('a'));
        rig.link.stopLiveLink();
    }

    // A device that comes back while another opener holds it stays with
    // that opener; the link takes it on the first tick after it is free.
    void heldDeviceIsNotTaken()
    {
        LinkedMeter rig;
        QVERIFY(rig.start());
        rig.meter->unplug(500ms);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Comm1().Active(), 2000);
        // The tick waits until the other opener has the returned device.
        rig.link.MainTimer().stop();
        QTRY_VERIFY_WITH_TIMEOUT(rig.meter->isPluggedIn(), 3000);
        TComPort holder;
        holder.setDeviceName(rig.meter->devicePath());
        holder.setActive(true);
        QVERIFY(holder.Active());
        QSignalSpy reopens(&rig.link, &MeterLink::livePortReopened);
        QSignalSpy ticks(&rig.link.MainTimer(), &QTimer::timeout);
        int attempts = 0;
        rig.link.Comm1().setBeforeOpen([&attempts](TCustomComPort&) { ++attempts; });
        rig.link.MainTimer().start();

        QTest::qWait(3500);
        QVERIFY(!rig.link.Comm1().Active());
        QCOMPARE(reopens.count(), 0);
        QVERIFY(holder.Active());
        // One attempt per tick, no more.
        QVERIFY(attempts >= 2);
        QVERIFY(attempts <= ticks.count());

        holder.setActive(false);
        QVERIFY(reopens.wait(3000));
        QSignalSpy answered(&rig.link, &MeterLink::frameAnswered);
        QVERIFY(answered.wait(FramesBackWithinMs));
        rig.link.stopLiveLink();
    }

    // The adapter is plugged in only after start-up: the search finds
    // nothing ("Off Connection"), and the tick opens the saved port as soon
    // as it exists.
    void deviceThatArrivesAfterStartUp()
    {
        LinkedMeter rig;
        QVERIFY(rig.meter->start());
        rig.meter->unplug(3s);
        QTRY_VERIFY(!QFileInfo::exists(rig.meter->devicePath()));
        QSignalSpy status(&rig.link, &MeterLink::statusChanged);
        rig.link.setPortList({rig.meter->devicePath()});
        rig.link.connectAtStartUp(0, 842);
        QVERIFY(!rig.link.Comm1().Active());
        QCOMPARE(status.first().at(1).toString(), LinkStatus::Off);

        QTRY_VERIFY_WITH_TIMEOUT(rig.link.MeterConnected(), 10000);
        QCOMPARE(status.last().at(1).toString(), LinkStatus::On);
        QCOMPARE(rig.link.Comm1().DeviceName(), rig.meter->devicePath());
        QSignalSpy answered(&rig.link, &MeterLink::frameAnswered);
        QVERIFY(answered.wait(3000));
        rig.link.stopLiveLink();
    }

    void lookingEnds_data()
    {
        QTest::addColumn<bool>("otherPortChosen"); // else: the live link stopped
        QTest::newRow("another port chosen") << true;
        QTest::newRow("live link stopped") << false;
    }

    void lookingEnds()
    {
        QFETCH(bool, otherPortChosen);
        LinkedMeter rig;
        QVERIFY(rig.start());
        PtyPair other;
        QVERIFY(other.isValid());
        rig.meter->unplug(1500ms);
        QTRY_VERIFY_WITH_TIMEOUT(!rig.link.Comm1().Active(), 2000);
        if (otherPortChosen)
            rig.link.ComboBoxDeviceNameChange(other.slavePath());
        else
            rig.link.stopLiveLink();
        QTRY_VERIFY_WITH_TIMEOUT(rig.meter->isPluggedIn(), 3000);
        const qsizetype framesAtReturn = rig.meter->receivedFrames().size();

        QTest::qWait(3500);
        QCOMPARE(rig.link.Comm1().Active(), otherPortChosen);
        if (otherPortChosen) {
            QCOMPARE(rig.link.Comm1().DeviceName(), other.slavePath());
            // The chosen port is the one polled now.
            QVERIFY(other.readAvailable().contains(QByteArray::fromHex("0241000000000003")));
        }
        QCOMPARE(rig.lettersFrom(framesAtReturn), QByteArray());
        rig.link.stopLiveLink();
    }
};

AUDIMARK_TEST_MAIN_CORE(TestLinkFaults)
#include "tst_linkfaults.moc"
