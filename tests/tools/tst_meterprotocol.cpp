// The meter's state machine driven with made-up times: what it answers to
// each command, when it sends, and what its frames say.

#include "common/TestMain.h"
#include "tools/virtual-meter/CommandFrameParser.h"
#include "tools/virtual-meter/ConsoleCommand.h"
#include "tools/virtual-meter/FaultInjector.h"
#include "tools/virtual-meter/MeterProtocol.h"

using namespace std::chrono_literals;
using vmeter::MeterProtocol;
using vmeter::OutgoingMessage;
using vmeter::ParsedBytes;
using vmeter::ProtocolSettings;
using vmeter::SteadyTime;

namespace {
QByteArray command(char letter)
{
    QByteArray frame(8, '\0');
    frame[0] = 0x02;
    frame[1] = letter;
    frame[7] = 0x03;
    return frame;
}

quint8 flagsA(const QByteArray& f)
{
    return quint8(f.at(1));
}
quint8 flagsB(const QByteArray& f)
{
    return quint8(f.at(2));
}
int tenths(const QByteArray& f, int offset)
{
    return quint8(f.at(offset)) * 256 + quint8(f.at(offset + 1));
}

// A protocol with its own time line; each step advances the time.
class Harness
{
public:
    explicit Harness(ProtocolSettings settings = {})
        : protocol(settings, [] { return QDateTime(QDate(2010, 4, 14), QTime(9, 41, 7)); })
    {
    }
    QList<OutgoingMessage> send(char letter) { return sendBytes(command(letter)); }
    QList<OutgoingMessage> sendBytes(const QByteArray& bytes)
    {
        parsed += protocol.receive(bytes, now);
        return protocol.takeOutput();
    }
    QList<OutgoingMessage> advance(std::chrono::milliseconds step)
    {
        now += step;
        parsed += protocol.poll(now);
        return protocol.takeOutput();
    }
    // The frame answering "X" after the frame spacing.
    QByteArray nextFrame()
    {
        send('X');
        const auto out = advance(100ms);
        return out.size() == 1 ? out.first().bytes : QByteArray();
    }
    QByteArray startStream()
    {
        const auto out = send('A');
        return out.size() == 1 ? out.first().bytes : QByteArray();
    }

    MeterProtocol protocol;
    SteadyTime now{};
    QList<ParsedBytes> parsed;
};
} // namespace

class TestMeterProtocol : public QObject
{
    Q_OBJECT

private slots:
    void identificationReply_data();
    void identificationReply();
    void silentUntilStarted();
    void nextFrameOnlyAfterX();
    void streamStopsWithoutX();
    void startWhileStreamingDoesNotDoubleFrames();
    void frameLayout();
    void keyChangesBits_data();
    void keyChangesBits();
    void rangeCycles();
    void maxMinSelectionCycles();
    void maxMinTracksExtremes();
    void overAndUnderFollowRange_data();
    void overAndUnderFollowRange();
    void switchedOffIgnoresEverything();
    void sameSeedSameLevels();
    void parserResyncsAndReportsStray_data();
    void parserResyncsAndReportsStray();
    void parserExpiresStalePartialFrame();
    void faultsNeverFakeAFrame();
    void consoleCommands_data();
    void consoleCommands();
};

void TestMeterProtocol::identificationReply_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<QByteArray>("idReply");
    QTest::newRow("842") << 842 << QByteArray("0842");
    QTest::newRow("841") << 841 << QByteArray("0841");
    QTest::newRow("override x841") << 842 << QByteArray("x841");
    QTest::newRow("no reply") << 842 << QByteArray();
}

void TestMeterProtocol::identificationReply()
{
    QFETCH(int, model);
    QFETCH(QByteArray, idReply);
    ProtocolSettings settings;
    settings.model = model == 841 ? vmeter::MeterModel::Model841 : vmeter::MeterModel::Model842;
    settings.idReply = idReply;
    Harness h(settings);
    const auto out = h.send('K');
    if (idReply.isEmpty()) {
        QVERIFY(out.isEmpty());
        return;
    }
    QCOMPARE(out.size(), 1);
    QCOMPARE(out.first().kind, OutgoingMessage::Kind::IdReply);
    QCOMPARE(out.first().bytes, idReply);
}

void TestMeterProtocol::silentUntilStarted()
{
    Harness quiet;
    QVERIFY(quiet.send('F').isEmpty());
    QVERIFY(quiet.advance(5000ms).isEmpty());
    const auto out = quiet.send('a');
    QCOMPARE(out.size(), 1);
    QCOMPARE(out.first().kind, OutgoingMessage::Kind::LiveFrame);
}

void TestMeterProtocol::nextFrameOnlyAfterX()
{
    Harness h;
    QVERIFY(!h.startStream().isEmpty());
    QVERIFY(h.advance(1000ms).isEmpty());
    h.send('X');
    QVERIFY(h.advance(99ms).isEmpty());
    QCOMPARE(h.advance(1ms).size(), 1);
    QVERIFY(h.advance(1000ms).isEmpty());
    QCOMPARE(h.protocol.nextDeadline().has_value(), true);
}

void TestMeterProtocol::streamStopsWithoutX()
{
    Harness h;
    QVERIFY(!h.startStream().isEmpty());
    QVERIFY(h.advance(1600ms).isEmpty());
    // Stopped: a late "X" starts it again, after the spacing.
    h.send('X');
    QCOMPARE(h.advance(100ms).size(), 1);
    QVERIFY(h.advance(1600ms).isEmpty());
    QVERIFY(!h.protocol.nextDeadline().has_value());
    QCOMPARE(h.send('A').size(), 1);
}

void TestMeterProtocol::startWhileStreamingDoesNotDoubleFrames()
{
    Harness h;
    QVERIFY(!h.startStream().isEmpty());
    QVERIFY(h.send('A').isEmpty());
    QVERIFY(h.send('a').isEmpty());
    h.send('X');
    QVERIFY(h.send('A').isEmpty());
    QCOMPARE(h.advance(100ms).size(), 1);
}

void TestMeterProtocol::frameLayout()
{
    Harness h;
    const QByteArray f = h.startStream();
    QCOMPARE(f.size(), 15);
    QVERIFY(f.at(0) == 0x02 && f.at(14) == 0x03);
    QCOMPARE(flagsB(f) & 0xE0, 0xE0);
    QCOMPARE(flagsA(f), quint8(0x18)); // FAST, dBA, nothing else at power-on
    QCOMPARE(flagsB(f) & 0x1F, 0x01);  // range 50 to 100 dB
    const int level = tenths(f, 3);
    QVERIFY2(level > 550 && level < 900, qPrintable(QString::number(level)));
    QCOMPARE(tenths(f, 5), level);
    QCOMPARE(tenths(f, 7), level);
    QCOMPARE(tenths(f, 9), level);
    QCOMPARE(f.mid(11, 3), QByteArray("\x09\x41\x07"));

    ProtocolSettings model841;
    model841.model = vmeter::MeterModel::Model841;
    model841.batteryLow = true;
    Harness h841(model841);
    const QByteArray g = h841.startStream();
    QCOMPARE(g.mid(11, 3), QByteArray(3, '\0'));
    QCOMPARE(flagsA(g) & 0x20, 0x20);
}

void TestMeterProtocol::keyChangesBits_data()
{
    QTest::addColumn<int>("model");
    QTest::addColumn<char>("key");
    QTest::addColumn<int>("byteIndex");
    QTest::addColumn<int>("mask");
    QTest::addColumn<int>("before");
    QTest::addColumn<int>("after");
    QTest::newRow("F toggles FAST") << 842 << 'F' << 1 << 0x10 << 0x10 << 0x00;
    QTest::newRow("C toggles dBA") << 842 << 'C' << 1 << 0x08 << 0x08 << 0x00;
    QTest::newRow("E toggles REC on 842") << 842 << 'E' << 1 << 0x01 << 0x00 << 0x01;
    QTest::newRow("E does nothing on 841") << 841 << 'E' << 1 << 0x01 << 0x00 << 0x00;
    QTest::newRow("L toggles REC on 841") << 841 << 'L' << 1 << 0x01 << 0x00 << 0x01;
    QTest::newRow("L does nothing on 842") << 842 << 'L' << 1 << 0x01 << 0x00 << 0x00;
    QTest::newRow("l next range") << 842 << 'l' << 2 << 0x03 << 0x01 << 0x02;
    QTest::newRow("M starts MAX/MIN") << 842 << 'M' << 1 << 0x04 << 0x00 << 0x04;
    QTest::newRow("M selects MAX") << 842 << 'M' << 2 << 0x0C << 0x00 << 0x04;
    QTest::newRow("N without mode") << 842 << 'N' << 1 << 0x04 << 0x00 << 0x00;
    QTest::newRow("unknown letter") << 842 << 'Z' << 1 << 0xFF << 0x18 << 0x18;
}

void TestMeterProtocol::keyChangesBits()
{
    QFETCH(int, model);
    QFETCH(char, key);
    QFETCH(int, byteIndex);
    QFETCH(int, mask);
    QFETCH(int, before);
    QFETCH(int, after);
    ProtocolSettings settings;
    settings.model = model == 841 ? vmeter::MeterModel::Model841 : vmeter::MeterModel::Model842;
    settings.baseLevelDb = 70.0;
    Harness h(settings);
    const QByteArray first = h.startStream();
    QCOMPARE(quint8(first.at(byteIndex)) & mask, before);
    QVERIFY(h.send(key).isEmpty());
    const QByteArray next = h.nextFrame();
    QCOMPARE(quint8(next.at(byteIndex)) & mask, after);
    // Only the bits of the key changed in the status bytes.
    QCOMPARE(quint8(next.at(byteIndex)) & ~mask & 0x3F, quint8(first.at(byteIndex)) & ~mask & 0x3F);
    QVERIFY(h.send(key).isEmpty());
    if (key == 'F' || key == 'C' || key == 'E' || key == 'L')
        QCOMPARE(quint8(h.nextFrame().at(byteIndex)) & mask, before);
}

void TestMeterProtocol::rangeCycles()
{
    Harness h;
    QCOMPARE(flagsB(h.startStream()) & 0x03, 1);
    QList<int> seen;
    for (int i = 0; i < 4; ++i) {
        h.send('l');
        seen << (flagsB(h.nextFrame()) & 0x03);
    }
    QCOMPARE(seen, (QList<int>{2, 3, 0, 1}));
}

void TestMeterProtocol::maxMinSelectionCycles()
{
    Harness h;
    h.startStream();
    QList<int> selections;
    for (int i = 0; i < 5; ++i) {
        h.send('M');
        const QByteArray f = h.nextFrame();
        QCOMPARE(flagsA(f) & 0x04, 0x04);
        selections << (flagsB(f) & 0x0C);
    }
    QCOMPARE(selections, (QList<int>{0x04, 0x08, 0x0C, 0x04, 0x08}));
    h.send('N');
    const QByteArray f = h.nextFrame();
    QCOMPARE(flagsA(f) & 0x04, 0);
    QCOMPARE(flagsB(f) & 0x0C, 0);
    QCOMPARE(tenths(f, 7), tenths(f, 5));
    QCOMPARE(tenths(f, 9), tenths(f, 5));
}

void TestMeterProtocol::maxMinTracksExtremes()
{
    ProtocolSettings settings;
    settings.seed = 7;
    settings.baseLevelDb = 75.0;
    Harness h(settings);
    const int startLevel = tenths(h.startStream(), 3);
    h.send('M');
    int highest = startLevel;
    int lowest = startLevel;
    h.protocol.setBaseLevel(85.0);
    for (int i = 0; i < 60; ++i) {
        if (i == 30)
            h.protocol.setBaseLevel(60.0);
        const QByteArray f = h.nextFrame();
        const int level = tenths(f, 3);
        highest = std::max(highest, std::min(level, 1000));
        lowest = std::min(lowest, std::max(level, 500));
        QCOMPARE(tenths(f, 7), highest);
        QCOMPARE(tenths(f, 9), lowest);
        QCOMPARE(tenths(f, 5), std::clamp(level, 500, 1000));
    }
    QVERIFY(highest > startLevel + 50);
    QVERIFY(lowest < startLevel - 50);
}

void TestMeterProtocol::overAndUnderFollowRange_data()
{
    QTest::addColumn<double>("baseDb");
    QTest::addColumn<int>("rangePresses");
    QTest::addColumn<int>("low");
    QTest::addColumn<int>("high");
    QTest::addColumn<int>("expectedFlag");
    QTest::newRow("94 dB on 30-80 is OVER") << 94.0 << 3 << 300 << 800 << 0x80;
    QTest::newRow("65 dB on 80-130 is UNDER") << 65.0 << 1 << 800 << 1300 << 0x40;
    QTest::newRow("120 dB on 50-100 is OVER") << 120.0 << 0 << 500 << 1000 << 0x80;
    QTest::newRow("40 dB on 50-100 is UNDER") << 40.0 << 0 << 500 << 1000 << 0x40;
    QTest::newRow("65 dB on 30-130 fits") << 65.0 << 2 << 300 << 1300 << 0x00;
}

void TestMeterProtocol::overAndUnderFollowRange()
{
    QFETCH(double, baseDb);
    QFETCH(int, rangePresses);
    QFETCH(int, low);
    QFETCH(int, high);
    QFETCH(int, expectedFlag);
    ProtocolSettings settings;
    settings.baseLevelDb = baseDb;
    Harness h(settings);
    h.startStream();
    for (int i = 0; i < rangePresses; ++i)
        h.send('l');
    int flagged = 0;
    for (int i = 0; i < 40; ++i) {
        const QByteArray f = h.nextFrame();
        const int level = tenths(f, 3);
        const int display = tenths(f, 5);
        QCOMPARE(display, std::clamp(level, low, high));
        QCOMPARE(bool(flagsA(f) & 0x80), level > high);
        QCOMPARE(bool(flagsA(f) & 0x40), level < low);
        if ((flagsA(f) & 0xC0) == expectedFlag)
            ++flagged;
    }
    QVERIFY2(flagged >= 30, qPrintable(QString::number(flagged)));
}

void TestMeterProtocol::switchedOffIgnoresEverything()
{
    Harness h;
    h.startStream();
    h.send('X');
    h.protocol.switchOff();
    QVERIFY(h.advance(200ms).isEmpty());
    QVERIFY(h.send('K').isEmpty());
    QVERIFY(h.send('A').isEmpty());
    QVERIFY(h.send('F').isEmpty());
    QVERIFY(h.advance(2000ms).isEmpty());
    h.protocol.switchOn();
    QVERIFY(h.advance(2000ms).isEmpty());
    Harness fresh;
    fresh.protocol.switchOff();
    fresh.protocol.switchOn();
    QVERIFY(fresh.advance(2000ms).isEmpty());
    const QByteArray f = fresh.startStream();
    // The "F" sent while off had no effect.
    QCOMPARE(flagsA(f) & 0x10, 0x10);
    QCOMPARE(fresh.send('K').size(), 1);
}

void TestMeterProtocol::sameSeedSameLevels()
{
    auto levels = [](std::uint32_t seed) {
        ProtocolSettings settings;
        settings.seed = seed;
        Harness h(settings);
        QList<int> out{tenths(h.startStream(), 3)};
        for (int i = 0; i < 50; ++i)
            out << tenths(h.nextFrame(), 3);
        return out;
    };
    QCOMPARE(levels(11), levels(11));
    QVERIFY(levels(11) != levels(12));
}

void TestMeterProtocol::parserResyncsAndReportsStray_data()
{
    QTest::addColumn<QByteArray>("input");
    QTest::addColumn<QStringList>("expected");
    const QByteArray x = command('X');
    QTest::newRow("clean") << x << QStringList{"F 0258000000000003"};
    QTest::newRow("garbage before")
        << QByteArray("\x55\xAA", 2) + x << QStringList{"S 55aa", "F 0258000000000003"};
    QTest::newRow("false start") << QByteArray("\x02\x41", 2) + x
                                 << QStringList{"S 0241", "F 0258000000000003"};
    QTest::newRow("two frames") << x + command('A')
                                << QStringList{"F 0258000000000003", "F 0241000000000003"};
    QTest::newRow("garbage after")
        << x + QByteArray("\x11", 1) << QStringList{"F 0258000000000003", "S 11"};
}

void TestMeterProtocol::parserResyncsAndReportsStray()
{
    QFETCH(QByteArray, input);
    QFETCH(QStringList, expected);
    // Byte by byte and in one piece must give the same.
    for (int pieceSize : {1, 3, int(input.size())}) {
        vmeter::CommandFrameParser parser;
        QList<ParsedBytes> items;
        for (qsizetype i = 0; i < input.size(); i += pieceSize)
            items += parser.feed(input.mid(i, pieceSize), SteadyTime{});
        items += parser.expireStale(SteadyTime{} + 2s);
        QStringList got;
        for (const ParsedBytes& item : items)
            got << QString(item.kind == ParsedBytes::Kind::Frame ? "F " : "S ") +
                       QString::fromLatin1(item.bytes.toHex());
        // Stray bytes may come in several entries when fed piecewise; join them.
        QStringList joined;
        for (const QString& entry : got) {
            if (!joined.isEmpty() && entry.startsWith("S ") && joined.last().startsWith("S "))
                joined.last() += entry.mid(2);
            else
                joined << entry;
        }
        QCOMPARE(joined, expected);
    }
}

void TestMeterProtocol::parserExpiresStalePartialFrame()
{
    vmeter::CommandFrameParser parser;
    QVERIFY(parser.feed(QByteArray("\x02\x58\x00", 3), SteadyTime{}).isEmpty());
    QVERIFY(parser.expireStale(SteadyTime{} + 500ms).isEmpty());
    const auto items = parser.feed(command('A'), SteadyTime{} + 1500ms);
    QCOMPARE(items.size(), 2);
    QCOMPARE(items.at(0).kind, ParsedBytes::Kind::Stray);
    QCOMPARE(items.at(0).bytes, QByteArray("\x02\x58\x00", 3));
    QCOMPARE(items.at(1).bytes, command('A'));
}

void TestMeterProtocol::faultsNeverFakeAFrame()
{
    vmeter::FaultSettings settings;
    settings.noise = true;
    settings.split = true;
    settings.corruptRate = 0.5;
    vmeter::FaultInjector faults(settings);
    ProtocolSettings protocolSettings;
    protocolSettings.baseLevelDb = 60.5;
    Harness h(protocolSettings);
    QByteArray frame = h.startStream();
    int spoiled = 0;
    for (int i = 0; i < 300; ++i) {
        QByteArray wire;
        const auto chunks = faults.prepare({OutgoingMessage::Kind::LiveFrame, frame});
        for (const vmeter::WireChunk& chunk : chunks) {
            QVERIFY(!chunk.bytes.isEmpty());
            QVERIFY(chunk.gapAfter >= 1ms && chunk.gapAfter <= 5ms);
            wire += chunk.bytes;
        }
        QVERIFY(wire.endsWith(frame));
        const qsizetype extra = wire.size() - frame.size();
        QVERIFY(!vmeter::FaultInjector::hasFrameStartBefore(wire, extra));
        if (extra > 0)
            ++spoiled;
        frame = h.nextFrame();
    }
    QVERIFY(spoiled > 100);
}

void TestMeterProtocol::consoleCommands_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::addColumn<int>("type");
    QTest::addColumn<double>("level");
    using T = vmeter::ConsoleCommand::Type;
    QTest::newRow("off") << QByteArray("off") << int(T::Off) << 0.0;
    QTest::newRow("on with CR") << QByteArray("on\r") << int(T::On) << 0.0;
    QTest::newRow("level") << QByteArray("level 94.0") << int(T::Level) << 94.0;
    QTest::newRow("level blanks") << QByteArray("  level   42.5 ") << int(T::Level) << 42.5;
    QTest::newRow("level missing") << QByteArray("level") << int(T::Invalid) << 0.0;
    QTest::newRow("level text") << QByteArray("level loud") << int(T::Invalid) << 0.0;
    QTest::newRow("quit") << QByteArray("quit") << int(T::Quit) << 0.0;
    QTest::newRow("blank") << QByteArray("   ") << int(T::Empty) << 0.0;
    QTest::newRow("unknown") << QByteArray("reboot") << int(T::Invalid) << 0.0;
    QTest::newRow("unplug for seconds") << QByteArray("unplug 2.5") << int(T::Unplug) << 2.5;
    QTest::newRow("unplug for ever") << QByteArray("unplug 4000") << int(T::Invalid) << 0.0;
    QTest::newRow("unplug, no time") << QByteArray("unplug") << int(T::Invalid) << 0.0;
    QTest::newRow("deaf") << QByteArray("deaf") << int(T::Deaf) << 0.0;
    QTest::newRow("hear") << QByteArray(" hear ") << int(T::Hear) << 0.0;
}

void TestMeterProtocol::consoleCommands()
{
    QFETCH(QByteArray, line);
    QFETCH(int, type);
    QFETCH(double, level);
    const auto command = vmeter::ConsoleCommand::parse(line);
    QCOMPARE(int(command.type), type);
    // The number of the line: a level, or the seconds of an unplug.
    QCOMPARE(command.type == vmeter::ConsoleCommand::Type::Unplug ? command.seconds : command.levelDb,
             level);
}

AUDIMARK_TEST_MAIN_CORE(TestMeterProtocol)
#include "tst_meterprotocol.moc"
