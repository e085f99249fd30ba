#include "common/FakeMeterClock.h"
#include "common/TestMain.h"

#include "ScriptedMeterPeer.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QDeadlineTimer>
#include <QElapsedTimer>
#include <QSignalSpy>

#include <functional>
#include <optional>
#include <thread>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

// A valid live frame (weighting A, FAST, range 1) with the given level.
QByteArray liveFrame(int levelTenths, std::uint8_t flagsB = 0xE1)
{
    QByteArray f = hex("02 18 E1 00 00 00 00 00 00 00 00 09 41 07 03");
    f[2] = char(flagsB);
    f[3] = char(levelTenths >> 8);
    f[4] = char(levelTenths & 0xFF);
    f[5] = f[3];
    f[6] = f[4];
    return f;
}

// Records the order in which readings are rendered and commands written.
class EventTrace : public LiveReadingView
{
public:
    explicit EventTrace(MeterLink& link)
    {
        link.setPanel(this);
        link.Comm1().setAfterWrite([this](TCustomComPort&, void* buffer, int length, bool) {
            if (length == CommandFrame::Size)
                events << QStringLiteral("send %1").arg(QChar(static_cast<const char*>(buffer)[1]));
        });
    }
    void renderReading(const MeterReading& reading) override
    {
        events << QStringLiteral("render %1").arg(reading.level, 0, 'f', 1);
        readings << reading;
    }
    QStringList events;
    QList<MeterReading> readings;
};

// Levels of the readings rendered, in order.
class LevelRecorder : public LiveReadingView
{
public:
    void renderReading(const MeterReading& reading) override { levels << reading.level; }
    QList<float> levels;
};

// Waits (real time, bounded) until count bytes wait in the port.
bool waitForInput(TComPort& port, int count)
{
    QElapsedTimer clock;
    clock.start();
    while (port.InputCount() < count && clock.elapsed() < 2000)
        QThread::msleep(1);
    return port.InputCount() >= count;
}

// Hands bytes to the link so that its receive handler finds all of them in
// one event: the handler is detached until they all wait in the port.
bool deliverInOneEvent(MeterLink& link, ScriptedMeterPeer& peer, const QByteArray& bytes)
{
    link.Comm1().setOnRxChar(nullptr);
    peer.send(bytes);
    const bool waiting = waitForInput(link.Comm1(), int(bytes.size()));
    link.Comm1().setOnRxChar([&link](TCustomComPort& sender) { link.Comm1RxChar(sender); });
    return waiting;
}

// The meter's end of the identification exchange on the fake clock: its
// reply to "K" comes a given time after the request, that is at the first
// wait of the program that reaches that time.
class ReplyClock : public FakeMeterClock
{
public:
    explicit ReplyClock(ScriptedMeterPeer& peer) : peer_(peer) {}

    void watch(TComPort& port)
    {
        port_ = &port;
        port.setAfterWrite([this](TCustomComPort&, void* buffer, int length, bool) {
            if (length == CommandFrame::Size && static_cast<const char*>(buffer)[1] == 'K')
                requestedAt_ = now();
        });
    }
    void replyAfter(int ms, const QByteArray& reply)
    {
        replyAfter_ = std::chrono::milliseconds(ms);
        reply_ = reply;
    }
    void Delay(int ms) override
    {
        FakeMeterClock::Delay(ms);
        if (requestedAt_ && !reply_.isEmpty() && now() - *requestedAt_ >= replyAfter_) {
            peer_.send(reply_);
            (void)waitForInput(*port_, int(reply_.size()));
            reply_.clear();
        }
    }

private:
    ScriptedMeterPeer& peer_;
    TComPort* port_ = nullptr;
    std::optional<TimePoint> requestedAt_;
    std::chrono::milliseconds replyAfter_{0};
    QByteArray reply_;
};

// A fake clock that runs a test's action at the program's next wait.
class HookClock : public FakeMeterClock
{
public:
    std::function<void()> atNextDelay;
    void Delay(int ms) override
    {
        FakeMeterClock::Delay(ms);
        if (const std::function<void()> action = std::exchange(atNextDelay, nullptr))
            action();
    }
};

bool portIsFree(const QString& path)
{
    TComPort probe;
    probe.setOnError([](TCustomComPort&, const EComError&, TComAction& action) { action = caAbort; });
    probe.setDeviceName(path);
    try {
        probe.setActive(true);
    } catch (const EAbort&) {
    }
    return probe.Active();
}
} // namespace

class TestMeterLink : public QObject
{
    Q_OBJECT

private slots:
    void receivePath_data()
    {
        QTest::addColumn<QList<QByteArray>>("chunks");
        QTest::addColumn<QList<int>>("bufferAfterChunk");
        QTest::addColumn<QStringList>("trace");

        const QByteArray f1 = liveFrame(700);
        const QByteArray f2 = liveFrame(655);
        QTest::newRow("garbage before a frame")
            << QList<QByteArray>{hex("55 AA") + f1} << QList<int>{0}
            << QStringList{"render 70.0", "send X"};
        QTest::newRow("frame split over three receive events")
            << QList<QByteArray>{f1.left(5), f1.mid(5, 5), f1.mid(10)} << QList<int>{5, 10, 0}
            << QStringList{"render 70.0", "send X"};
        QTest::newRow("two frames in one read, each answered")
            << QList<QByteArray>{f1 + f2} << QList<int>{0}
            << QStringList{"render 70.0", "send X", "render 65.5", "send X"};
        QTest::newRow("wrong end byte costs exactly one byte")
            << QList<QByteArray>{hex("02") + f1} << QList<int>{0}
            << QStringList{"render 70.0", "send X"};
        QTest::newRow("flagsB 1F rejected")
            << QList<QByteArray>{liveFrame(700, 0x1F)} << QList<int>{14} << QStringList{};
        QTest::newRow("15 bytes and more without a sync byte emptied")
            << QList<QByteArray>{QByteArray(20, '\x55')} << QList<int>{0} << QStringList{};
        QTest::newRow("short garbage waits for the frame")
            << QList<QByteArray>{hex("55 AA 55"), f2} << QList<int>{3, 0}
            << QStringList{"render 65.5", "send X"};
    }

    void receivePath()
    {
        QFETCH(QList<QByteArray>, chunks);
        QFETCH(QList<int>, bufferAfterChunk);
        QFETCH(QStringList, trace);

        ScriptedMeterPeer peer;
        MeterLink link;
        link.setPortList({peer.path()});
        QVERIFY(link.searchPorts());
        link.startLiveLink();
        link.MainTimer().stop();
        QVERIFY(link.Comm1().Active());
        EventTrace events(link);

        for (int i = 0; i < chunks.size(); ++i) {
            peer.send(chunks[i]);
            QTRY_COMPARE(int(link.ReceiveBuffer().size()), bufferAfterChunk[i]);
        }
        QTRY_COMPARE(events.events, trace);
        QTRY_COMPARE(peer.count('X'), int(trace.count("send X")));
        QVERIFY(!link.RxBusy());
    }

    // The peer stops reading while frames keep coming (a stand-in on a
    // pseudo-terminal, an adapter stuck in flow control): every frame is
    // still taken and dispatched at once, and the requests that went out are
    // whole when the peer reads again.
    void peerThatStopsReadingCostsNoFrames()
    {
        ScriptedMeterPeer peer;
        MeterLink link;
        link.setPortList({peer.path()});
        QVERIFY(link.searchPorts());
        link.startLiveLink();
        link.MainTimer().stop();
        EventTrace events(link);
        peer.setReading(false);

        // More "X" replies than a pseudo-terminal's queue takes.
        constexpr int frames = 6000;
        QByteArray burst;
        for (int i = 0; i < frames; ++i)
            burst += liveFrame(300 + i % 700);
        std::thread meter([&peer, &burst] { peer.send(burst, 30000); });
        // Events at full speed (a QTRY loop would sleep between them).
        QDeadlineTimer deadline(30000);
        while (events.readings.size() < frames && !deadline.hasExpired())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        meter.join();
        QCOMPARE(events.readings.size(), frames);
        QVERIFY(link.ReceiveBuffer().isEmpty());
        QVERIFY(link.Comm1().HeldOutputCount() > 0);

        // Once the peer has read enough, the waiting request goes out and the
        // next frame is answered again.
        peer.setReading(true);
        QTRY_COMPARE(link.Comm1().HeldOutputCount(), 0);
        const qsizetype requests = events.events.count("send X");
        peer.send(liveFrame(700));
        QTRY_COMPARE(events.readings.size(), frames + 1);
        QCOMPARE(events.events.count("send X"), requests + 1);
        QTRY_COMPARE(peer.count('X'), int(requests + 1));
    }

    void firstFrameRunsIdentificationThenDecodes()
    {
        ScriptedMeterPeer peer("x841");
        MeterLink link;
        link.setPortList({peer.path()});
        link.startLiveLink();
        QVERIFY(link.Comm1().Active());
        QVERIFY(!link.MeterConnected());
        EventTrace events(link);
        QSignalSpy model(&link, &MeterLink::modelChanged);
        QSignalSpy status(&link, &MeterLink::statusChanged);
        QSignalSpy runStop(&link, &MeterLink::runStopChanged);
        QVERIFY(model.isValid() && status.isValid() && runStop.isValid());

        peer.send(liveFrame(700));
        QTRY_COMPARE_WITH_TIMEOUT(events.readings.size(), 1, 5000);
        QVERIFY(link.MeterConnected());
        QCOMPARE(link.MeterModel(), 841);
        QCOMPARE(model.takeFirst().at(0).toInt(), 841);
        QCOMPARE(status.last().at(1).toString(), QStringLiteral("On Connection"));
        QCOMPARE(runStop.last().at(0).toBool(), true);
        QCOMPARE(runStop.last().at(1).toBool(), false);
        // "a" at start, "K" to identify, "a" after it, then "X" for the frame.
        QTRY_COMPARE(peer.letters(), QByteArray("aKaX"));
        QCOMPARE(events.events, (QStringList{"send K", "send a", "render 70.0", "send X"}));
        QVERIFY(link.MainTimer().isActive());
    }

    // What the meter answers to "K", and when, against what the link
    // concludes. On the fake clock the search's 500 ms and the
    // identification's 1000 ms are seen exactly.
    void identificationExchange_data()
    {
        QTest::addColumn<bool>("search");
        QTest::addColumn<QByteArray>("staleInput");
        QTest::addColumn<int>("replyAfterMs");
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("model"); // 0: the search finds no meter

        QTest::newRow("search, reply within 500 ms")
            << true << QByteArray() << 450 << QByteArray("x841") << 841;
        QTest::newRow("search, reply after 500 ms")
            << true << QByteArray() << 550 << QByteArray("x841") << 0;
        QTest::newRow("identification, reply within 1000 ms")
            << false << QByteArray() << 950 << QByteArray("x841") << 841;
        QTest::newRow("identification, reply after 1000 ms")
            << false << QByteArray() << 1050 << QByteArray("x841") << 842;
        QTest::newRow("identification, input from before K is no reply")
            << false << QByteArray("x841") << 0 << QByteArray() << 842;
        QTest::newRow("identification, input after the reply is dropped")
            << false << QByteArray() << 500 << QByteArray("x841") + liveFrame(555) << 841;
    }

    void identificationExchange()
    {
        QFETCH(bool, search);
        QFETCH(QByteArray, staleInput);
        QFETCH(int, replyAfterMs);
        QFETCH(QByteArray, reply);
        QFETCH(int, model);
        ScriptedMeterPeer peer("");
        ReplyClock clock(peer);
        MeterLink link(clock);
        clock.watch(link.Comm1());
        clock.replyAfter(replyAfterMs, reply);
        link.setPortList({peer.path()});
        if (search) {
            QCOMPARE(link.searchPorts(), model != 0);
            QCOMPARE(link.MeterModel(), model != 0 ? model : 842);
            return;
        }

        link.startLiveLink();
        link.MainTimer().stop();
        LevelRecorder panel;
        link.setPanel(&panel);
        // Stale input arrives right after the receive handler took the frame.
        bool staleSent = staleInput.isEmpty();
        link.Comm1().setAfterRead([&](TCustomComPort& port, void*, int, bool) {
            if (!std::exchange(staleSent, true)) {
                peer.send(staleInput);
                QVERIFY(waitForInput(static_cast<TComPort&>(port), int(staleInput.size())));
            }
        });
        peer.send(liveFrame(700));
        QTRY_COMPARE(panel.levels, QList<float>{70.0f});
        QCOMPARE(link.MeterModel(), model);
        // Nothing of the exchange is read as a frame afterwards.
        QTRY_COMPARE(link.Comm1().InputCount(), 0);
        QVERIFY(!link.RxBusy());
        QCOMPARE(panel.levels, QList<float>{70.0f});
    }

    // The port goes away while the identification waits to send "K": the
    // link keeps its receive handler and its tick, and identifies the meter
    // once the port is back.
    void abortedIdentificationRestoresTheLink()
    {
        ScriptedMeterPeer peer("0841");
        HookClock clock;
        MeterLink link(clock);
        link.setPortList({peer.path()});
        link.startLiveLink();
        link.MainTimer().stop();
        LevelRecorder panel;
        link.setPanel(&panel);

        clock.atNextDelay = [&link] { link.Comm1().setActive(false); };
        peer.send(liveFrame(700));
        QTRY_VERIFY(!link.Comm1().Active());
        QTRY_VERIFY(!link.RxBusy());
        QVERIFY(!link.MeterConnected());
        QVERIFY(link.Comm1().OnRxChar());
        QVERIFY(link.MainTimer().isActive());
        link.MainTimer().stop();

        link.Comm1().setActive(true);
        peer.send(liveFrame(650));
        QTRY_COMPARE(panel.levels, (QList<float>{70.0f, 65.0f}));
        QVERIFY(link.MeterConnected());
    }

    // A consumer ends the live link after the first frame of a read, as the
    // command line does after its last reading: the frames behind it are
    // neither dispatched nor answered.
    void portClosedUnderTheReceiveLoop()
    {
        ScriptedMeterPeer peer;
        MeterLink link;
        link.setPortList({peer.path()});
        QVERIFY(link.searchPorts());
        link.startLiveLink();
        link.MainTimer().stop();
        LevelRecorder panel;
        link.setPanel(&panel);
        connect(&link, &MeterLink::frameAnswered, &link, [&link] { link.stopLiveLink(); });

        QVERIFY(deliverInOneEvent(link, peer, liveFrame(700) + liveFrame(650)));
        QTRY_VERIFY(!link.Comm1().Active());
        QTRY_VERIFY(!link.RxBusy());
        QCOMPARE(panel.levels, QList<float>{70.0f});
        QCOMPARE(link.ReceiveBuffer(), liveFrame(650));
        QTRY_COMPARE(peer.letters(), QByteArray("KaX"));
    }

    // A burst is worked off over several receive events of at most 256 bytes.
    void burstReadInPiecesOf256()
    {
        ScriptedMeterPeer peer;
        MeterLink link;
        link.setPortList({peer.path()});
        QVERIFY(link.searchPorts());
        link.startLiveLink();
        link.MainTimer().stop();
        LevelRecorder panel;
        link.setPanel(&panel);
        QList<int> reads;
        link.Comm1().setAfterRead(
            [&reads](TCustomComPort&, void*, int length, bool) { reads << length; });

        QByteArray burst;
        for (int i = 0; i < 40; ++i)
            burst += liveFrame(500 + i);
        QVERIFY(deliverInOneEvent(link, peer, burst));
        QTRY_COMPARE(panel.levels.size(), 40);
        QCOMPARE(reads, (QList<int>{256, 256, 88}));
        QCOMPARE(panel.levels.last(), 53.9f);
    }

    void searchFindsMeterOnThirdPort()
    {
        ScriptedMeterPeer silent1(""), silent2(""), meter("0842");
        MeterLink link;
        link.setPortList({silent1.path(), silent2.path(), meter.path()});
        QSignalSpy progress(&link, &MeterLink::progressText);
        QSignalSpy runStop(&link, &MeterLink::runStopChanged);

        QVERIFY(link.searchPorts());
        QCOMPARE(progress.size(), 3);
        QCOMPARE(progress[0][0].toString(), "Searching Meter on " + silent1.path());
        QCOMPARE(progress[1][0].toString(), "Searching Meter on " + silent2.path());
        QCOMPARE(progress[2][0].toString(), "Searching Meter on " + meter.path());
        QCOMPARE(link.selectedPort(), 2);
        QCOMPARE(link.lastConnectedPort(), 2);
        QVERIFY(link.MeterConnected());
        QCOMPARE(link.MeterModel(), 842);
        QCOMPARE(runStop.size(), 1);
        QCOMPARE(runStop[0][0].toBool(), true);
        QCOMPARE(runStop[0][1].toBool(), false);

        QVERIFY(link.Comm1().Active());
        QCOMPARE(link.Comm1().DeviceName(), meter.path());
        QVERIFY(portIsFree(silent1.path()));
        QVERIFY(portIsFree(silent2.path()));
        QVERIFY(!portIsFree(meter.path()));
        QCOMPARE(silent1.received(), hex("02 4B 00 00 00 00 00 03"));
        QCOMPARE(silent2.received(), hex("02 4B 00 00 00 00 00 03"));
        QVERIFY(link.Comm1().OnRxChar());
    }

    void searchReplies_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<bool>("found");
        QTest::addColumn<int>("model");
        QTest::newRow("0842") << QByteArray("0842") << true << 842;
        QTest::newRow("x841") << QByteArray("x841") << true << 841;
        QTest::newRow("1234") << QByteArray("1234") << false << 842;
        QTest::newRow("three bytes") << QByteArray("842") << false << 842;
        QTest::newRow("silent") << QByteArray() << false << 842;
    }

    void searchReplies()
    {
        QFETCH(QByteArray, reply);
        QFETCH(bool, found);
        QFETCH(int, model);
        ScriptedMeterPeer peer(reply);
        MeterLink link;
        link.setPortList({peer.path()});
        QCOMPARE(link.searchPorts(), found);
        QCOMPARE(link.MeterConnected(), found);
        QCOMPARE(link.MeterModel(), model);
        QCOMPARE(link.Comm1().Active(), found);
    }

    void searchSkipsMissingAndBusyPorts()
    {
        ScriptedMeterPeer busy("0841"), meter("0842");
        TComPort holder;
        holder.setDeviceName(busy.path());
        holder.setActive(true);
        MeterLink link;
        link.setPortList({QStringLiteral("/dev/does-not-exist"), busy.path(), meter.path()});
        QVERIFY(link.searchPorts());
        QCOMPARE(link.selectedPort(), 2);
        QCOMPARE(link.MeterModel(), 842);
        QVERIFY(busy.received().isEmpty());
    }

    void startUpFallsBackWhenNoMeterAnswers_data()
    {
        QTest::addColumn<int>("savedPort");
        QTest::addColumn<int>("savedModel");
        QTest::addColumn<int>("port");
        QTest::addColumn<int>("model");
        QTest::newRow("saved values kept") << 1 << 841 << 1 << 841;
        QTest::newRow("port beyond the list") << 5 << 842 << 0 << 842;
        QTest::newRow("model 100") << 0 << 100 << 0 << 842;
    }

    void startUpFallsBackWhenNoMeterAnswers()
    {
        QFETCH(int, savedPort);
        QFETCH(int, savedModel);
        QFETCH(int, port);
        QFETCH(int, model);
        ScriptedMeterPeer a(""), b("");
        FakeMeterClock clock;
        MeterLink link(clock);
        link.setPortList({a.path(), b.path()});
        QSignalSpy status(&link, &MeterLink::statusChanged);
        QSignalSpy label(&link, &MeterLink::noConnectionLabelChanged);
        link.connectAtStartUp(savedPort, savedModel);
        QCOMPARE(link.selectedPort(), port);
        QCOMPARE(link.MeterModel(), model);
        QCOMPARE(status.last().at(1).toString(), QStringLiteral("Off Connection"));
        QCOMPARE(label.last().at(0).toBool(), true);
        QVERIFY(link.Comm1().Active());
        QCOMPARE(link.Comm1().DeviceName(), (port == 0 ? a : b).path());
    }

    void threeSilentTicksLoseTheLink()
    {
        ScriptedMeterPeer peer("");
        FakeMeterClock clock;
        MeterLink link(clock);
        link.setPortList({peer.path()});
        link.startLiveLink();
        EventTrace events(link);
        peer.send(liveFrame(700));
        QTRY_COMPARE(events.readings.size(), 1);
        QVERIFY(link.MeterConnected());
        link.MainTimer().stop();
        peer.send(liveFrame(700) + liveFrame(700).left(7)); // the partial frame is dropped on loss
        QTRY_COMPARE(events.readings.size(), 2);
        QTRY_COMPARE(int(link.ReceiveBuffer().size()), 7);
        QTRY_COMPARE(peer.count('X'), 2);
        peer.clearReceived();

        QSignalSpy status(&link, &MeterLink::statusChanged);
        QSignalSpy runStop(&link, &MeterLink::runStopChanged);
        QSignalSpy logger(&link, &MeterLink::dataLoggerEnabledChanged);
        QSignalSpy label(&link, &MeterLink::noConnectionLabelChanged);

        link.MainTimerTimer(); // consumes the frame seen
        link.MainTimerTimer();
        link.MainTimerTimer();
        QCOMPARE(status.size(), 0);
        QVERIFY(link.MeterConnected());
        link.MainTimerTimer(); // third tick without a frame
        QVERIFY(!link.MeterConnected());
        QCOMPARE(status.size(), 1);
        QCOMPARE(status[0][1].toString(), QStringLiteral("No Connection"));
        QCOMPARE(runStop[0], (QVariantList{false, false}));
        QCOMPARE(logger[0][0].toBool(), false);
        QCOMPARE(label[0][0].toBool(), true);
        QVERIFY(link.ReceiveBuffer().isEmpty());

        // Polled once per tick while not connected.
        QTRY_COMPARE(peer.letters(), QByteArray("A"));
        link.MainTimerTimer();
        link.MainTimerTimer();
        QTRY_COMPARE(peer.letters(), QByteArray("AAA"));
        QCOMPARE(peer.received().left(8), hex("02 41 00 00 00 00 00 03"));
        QVERIFY(!link.TickBusy());
    }

    void withoutMeterLossRepeatsEveryThirdTick()
    {
        FakeMeterClock clock;
        MeterLink link(clock);
        QSignalSpy lost(&link, &MeterLink::linkLost);
        for (int i = 0; i < 7; ++i)
            link.MainTimerTimer();
        QCOMPARE(lost.size(), 2);
    }

    void tickIntervalCorrection_data()
    {
        QTest::addColumn<int>("interval");
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<int>("nextInterval");
        QTest::newRow("on time") << 1000 << 1000 << 1000;
        QTest::newRow("300 ms late") << 1000 << 1300 << 700;
        QTest::newRow("700 ms late") << 1000 << 1700 << 500;
        QTest::newRow("very late") << 1000 << 5000 << 500;
        QTest::newRow("start-up interval settles") << 100 << 100 << 1000;
        QTest::newRow("early") << 1000 << 900 << 1100;
    }

    void tickIntervalCorrection()
    {
        QFETCH(int, interval);
        QFETCH(int, elapsedMs);
        QFETCH(int, nextInterval);
        FakeMeterClock clock;
        MeterLink link(clock);
        link.MainTimer().setInterval(interval);
        link.MainTimerTimer(); // the first tick only records its time
        QCOMPARE(link.MainTimer().interval(), interval);
        clock.advance(elapsedMs);
        link.MainTimerTimer();
        QCOMPARE(link.MainTimer().interval(), nextInterval);
    }

    void portChangeReopensWithoutTouchingTheLinkState()
    {
        ScriptedMeterPeer first, second;
        MeterLink link;
        link.setPortList({first.path(), second.path()});
        QVERIFY(link.searchPorts());
        link.ComboBoxDeviceNameChange(second.path());
        QVERIFY(link.MeterConnected());
        QVERIFY(link.Comm1().Active());
        QCOMPARE(link.Comm1().DeviceName(), second.path());
        QCOMPARE(link.selectedPort(), 1);
        QVERIFY(portIsFree(first.path()));
        link.ComboBoxDeviceNameChange(QStringLiteral("/dev/no-such-port"));
        QVERIFY(!link.Comm1().Active());
        QCOMPARE(link.selectedPort(), -1);
    }

    // Real timing end to end: the one-second tick, the meter switched off and on.
    void meterSwitchedOffAndOnAgain()
    {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        vmeter::VirtualMeter meter(options);
        QVERIFY(meter.start());
        MeterLink link;
        link.setPortList({meter.slavePath()});
        QSignalSpy status(&link, &MeterLink::statusChanged);
        link.connectAtStartUp(0, 842);
        QCOMPARE(status.last().at(1).toString(), QStringLiteral("On Connection"));
        QSignalSpy answered(&link, &MeterLink::frameAnswered);
        QVERIFY(answered.wait(3000));

        meter.switchOff();
        QTRY_COMPARE_WITH_TIMEOUT(status.last().at(1).toString(), QStringLiteral("No Connection"), 6000);
        QVERIFY(!link.MeterConnected());

        meter.switchOn();
        QTRY_COMPARE_WITH_TIMEOUT(status.last().at(1).toString(), QStringLiteral("On Connection"), 6000);
        QVERIFY(link.MeterConnected());
        answered.clear();
        QVERIFY(answered.wait(3000));
        QVERIFY(link.MainTimer().interval() >= MeterLink::MinimumTickInterval);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestMeterLink)
#include "tst_meterlink.moc"
