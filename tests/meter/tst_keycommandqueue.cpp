#include "common/TestMain.h"

#include "ScriptedMeterPeer.h"
#include "meter/KeyCommandQueue.h"
#include "meter/MeterLink.h"

#include <QElapsedTimer>
#include <QSignalSpy>
#include <QThread>

#include <functional>

namespace {
QByteArray hex(const char* text)
{
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}

const QByteArray sampleFrame = hex("02 18 E1 02 BC 02 BC 00 00 00 00 09 41 07 03");

// A clock whose Delay keeps the event loop running, as a wait that processes
// window messages does: other handlers (here: key clicks) get to run while
// the link is inside an exchange. onDelay runs at the start of every Delay;
// advance() moves the clock on without waiting.
class EventPumpingClock : public MeterClock
{
public:
    TimePoint now() const override { return std::chrono::steady_clock::now() + offset_; }
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
    void Delay(int ms) override
    {
        if (onDelay)
            onDelay(ms);
        QElapsedTimer timer;
        timer.start();
        while (timer.elapsed() <= ms) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            QThread::msleep(1);
        }
    }
    void advance(int ms) { offset_ += std::chrono::milliseconds(ms); }

    std::function<void(int ms)> onDelay;

private:
    std::chrono::milliseconds offset_{0};
};

// The live port open on the peer, no meter identified yet, no tick running.
void openLivePort(MeterLink& link, const ScriptedMeterPeer& peer)
{
    link.setPortList({peer.path()});
    link.startLiveLink();
    link.MainTimer().stop();
}
} // namespace

class TestKeyCommandQueue : public QObject
{
    Q_OBJECT

private slots:
    void init() { QTest::failOnWarning(QRegularExpression(QStringLiteral(".*"))); }

    void freeLinkWritesAtOnce_data()
    {
        QTest::addColumn<QByteArray>("letters");
        QTest::addColumn<QByteArray>("wire");
        QTest::newRow("F") << QByteArray("F") << hex("02 46 00 00 00 00 00 03");
        QTest::newRow("l") << QByteArray("l") << hex("02 6C 00 00 00 00 00 03");
        QTest::newRow("C E L in order")
            << QByteArray("CEL")
            << hex("02 43 00 00 00 00 00 03 02 45 00 00 00 00 00 03 02 4C 00 00 00 00 00 03");
    }

    void freeLinkWritesAtOnce()
    {
        QFETCH(QByteArray, letters);
        QFETCH(QByteArray, wire);
        ScriptedMeterPeer peer;
        MeterLink link;
        openLivePort(link, peer);
        QTRY_COMPARE(peer.letters(), QByteArray("a"));
        peer.clearReceived();

        KeyCommandQueue queue(link);
        for (char letter : letters)
            queue.sendKey(letter);
        QCOMPARE(queue.pendingCount(), 0);
        QTRY_COMPARE(peer.received(), wire);
    }

    // The plain keys do not ask whether a meter is connected.
    void plainKeyGoesOutWithoutAMeter()
    {
        ScriptedMeterPeer peer;
        MeterLink link;
        openLivePort(link, peer);
        QVERIFY(!link.MeterConnected());
        KeyCommandQueue queue(link);
        queue.sendKey('F');
        QTRY_COMPARE(peer.letters(), QByteArray("aF"));
    }

    void maxMinKeyNeedsAConnectedMeter_data()
    {
        QTest::addColumn<bool>("identified");
        QTest::addColumn<QByteArray>("letters");
        QTest::newRow("meter connected") << true << QByteArray("M");
        QTest::newRow("no meter") << false << QByteArray();
    }

    void maxMinKeyNeedsAConnectedMeter()
    {
        QFETCH(bool, identified);
        QFETCH(QByteArray, letters);
        ScriptedMeterPeer peer;
        MeterLink link;
        link.setPortList({peer.path()});
        if (identified)
            QVERIFY(link.searchPorts());
        else
            openLivePort(link, peer);
        QTRY_VERIFY(!peer.letters().isEmpty());
        peer.clearReceived();

        KeyCommandQueue queue(link);
        QSignalSpy dropped(&queue, &KeyCommandQueue::dropped);
        queue.sendMaxMinKey('M');
        QCOMPARE(queue.pendingCount(), 0);
        QCOMPARE(dropped.size(), identified ? 0 : 1);
        QTest::qWait(100); // nothing may follow later either
        QCOMPARE(peer.letters(), letters);
    }

    // A click while the identification exchange runs must not put its frame
    // between "K" and the reply: it goes out once the receive handler is done.
    void keysWaitForTheIdentificationExchange()
    {
        ScriptedMeterPeer peer("0842");
        EventPumpingClock clock;
        MeterLink link(clock);
        openLivePort(link, peer);
        KeyCommandQueue queue(link);
        QList<bool> rxBusyWhenSent;
        connect(&queue, &KeyCommandQueue::sent, this, [&] { rxBusyWhenSent << link.RxBusy(); });

        bool clicked = false;
        clock.onDelay = [&](int ms) {
            // The wait for the reply to "K".
            if (ms == 1000 && link.RxBusy() && !clicked) {
                clicked = true;
                queue.sendKey('F');
                queue.sendKey('l');
                queue.sendMaxMinKey('M');
            }
        };
        peer.send(sampleFrame);
        QTRY_VERIFY_WITH_TIMEOUT(clicked, 5000);
        QTRY_COMPARE_WITH_TIMEOUT(queue.pendingCount(), 0, 5000);
        QVERIFY(link.MeterConnected());
        QTRY_COMPARE(peer.letters(), QByteArray("aKaXFlM"));
        QCOMPARE(rxBusyWhenSent, (QList<bool>{false, false, false}));
    }

    // The MAX/MIN keys give up waiting after three seconds on the link's
    // clock; with the identification still unfinished no meter is connected,
    // so the letter is dropped instead of written into the exchange.
    void maxMinKeyGivesUpAfterThreeSeconds()
    {
        ScriptedMeterPeer peer("0842");
        EventPumpingClock clock;
        MeterLink link(clock);
        openLivePort(link, peer);
        KeyCommandQueue queue(link);
        QSignalSpy dropped(&queue, &KeyCommandQueue::dropped);
        QList<bool> rxBusyWhenDropped;
        connect(&queue, &KeyCommandQueue::dropped, this,
                [&] { rxBusyWhenDropped << link.RxBusy(); });

        bool clicked = false;
        clock.onDelay = [&](int ms) {
            if (ms == 100 && link.RxBusy() && !clicked) {
                clicked = true;
                queue.sendMaxMinKey('N');
                clock.advance(2900);
                QCOMPARE(queue.pendingCount(), 1);
            } else if (ms == 1000 && clicked) {
                clock.advance(101); // three seconds are over during the exchange
            }
        };
        peer.send(sampleFrame);
        QTRY_COMPARE_WITH_TIMEOUT(dropped.size(), 1, 5000);
        QCOMPARE(dropped[0][0].value<char>(), 'N');
        QCOMPARE(rxBusyWhenDropped, QList<bool>{true});
        QTRY_COMPARE(peer.letters(), QByteArray("aKaX"));
    }

    void writeOnAClosedPortIsSilent()
    {
        MeterLink link;
        QVERIFY(!link.Comm1().Active());
        KeyCommandQueue queue(link);
        QSignalSpy sent(&queue, &KeyCommandQueue::sent);
        queue.sendKey('F');
        QCOMPARE(sent.size(), 1);
        QCOMPARE(queue.pendingCount(), 0);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestKeyCommandQueue)
#include "tst_keycommandqueue.moc"
