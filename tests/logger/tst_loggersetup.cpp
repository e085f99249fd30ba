// The logger setup commands against the virtual meter: the frames on the
// wire byte for byte, the messages, the information labels and the memory
// test's grid, the erase with its question, the combined run, and the way
// back to the live link after every ending, also when the meter fails.

#include "common/FakeMeterClock.h"
#include "common/PtyPair.h"
#include "common/TestMain.h"
#include "logger/LoggerRig.h"
#include "logger/LoggerSetup.h"
#include "logger/ScriptedSetupUi.h"
#include "logger/SetupFrames.h"
#include "logger/SetupTestClock.h"
#include "logger/SetupTexts.h"

#include <atomic>
#include <random>
#include <thread>

using Label = LoggerSetupUi::Label;
using vmeter::LoggerImageBuilder;
using vmeter::VirtualMeterOptions;

namespace {
constexpr int speedUp = 20;
const QDateTime pcTime(QDate(2010, 4, 14), QTime(15, 30, 5));

QByteArray hex(const char* text)
{
    return QByteArray::fromHex(text);
}

QString message(const QString& text)
{
    return QStringLiteral("message:") + text;
}

VirtualMeterOptions meterWithSets(int sets)
{
    VirtualMeterOptions options;
    options.protocol.logger.generatedSets = sets;
    options.protocol.logger.seed = 11;
    return options;
}

// A memory whose end address is `end`, the records area a pattern.
QByteArray memoryEndingAt(int end, int sets = 1)
{
    QByteArray image = LoggerImageBuilder().image();
    for (int i = 256; i <= std::min(end, 0xFFFF); ++i)
        image[i] = char(i * 7 + i / 256);
    LoggerImageBuilder::writeControlPage(image, sets, end);
    return image;
}

// Runs the command of a button (5: all at once) and says whether it succeeded.
bool clickButton(LoggerSetup& setup, int button)
{
    switch (button) {
    case 1:
        return setup.Button1Click();
    case 2:
        return setup.Button2Click("00", "05");
    case 3:
        return setup.Button3Click();
    case 4:
        return setup.Button4Click().information.controlPage.has_value();
    default:
        return setup.Button5Click("00", "05");
    }
}

// The other end of the line: a peer that answers everything with random
// bytes, or that disappears (the master closed) after a while.
class BadPeer
{
public:
    enum class Kind
    {
        Garbage,
        Vanishing
    };

    BadPeer(PtyPair& pty, Kind kind, std::chrono::milliseconds vanishAfter)
        : thread_([this, &pty, kind, vanishAfter] {
              std::mt19937 random(7);
              const auto start = std::chrono::steady_clock::now();
              while (!stop_) {
                  if (kind == Kind::Vanishing) {
                      if (std::chrono::steady_clock::now() - start >= vanishAfter) {
                          pty.closeMaster();
                          return;
                      }
                  } else {
                      (void)pty.readAvailable();
                      QByteArray noise(5, '\0');
                      for (char& b : noise)
                          b = char(random() & 0xFF);
                      (void)pty.writeMaster(noise, 50);
                  }
                  std::this_thread::sleep_for(std::chrono::milliseconds(2));
              }
          })
    {
    }
    ~BadPeer()
    {
        stop_ = true;
        thread_.join();
    }

private:
    std::atomic<bool> stop_{false};
    std::thread thread_;
};

struct SetupRig
{
    SetupRig(VirtualMeterOptions options, MeterClock& clock)
        : rig(std::move(options), clock), port(rig.port), setup(port, ui)
    {
        setup.setDateFormat(2, QStringLiteral("/"));
    }
    // Connected, and a live frame has told whether the meter records. The
    // meter sends a frame every 100 ms: 100 of those periods are the margin
    // of a slow, loaded machine, not of the behaviour under test.
    [[nodiscard]] bool connect()
    {
        if (!rig.connect())
            return false;
        QDeadlineTimer deadline(10000);
        while (!rig.link.RecordingKnown() && !deadline.hasExpired())
            QTest::qWait(5);
        return rig.letters().contains('a') && rig.link.RecordingKnown();
    }
    [[nodiscard]] QList<QByteArray> framesFrom(qsizetype from) const
    {
        return rig.frames().mid(from);
    }
    // What the last command sent, from its "c" on.
    [[nodiscard]] QList<QByteArray> commandFrames() const
    {
        const QList<QByteArray> all = rig.frames();
        return all.mid(all.lastIndexOf(SetupFrames::c()));
    }
    // The live link is back, and "a" went out after the command's "c".
    [[nodiscard]] bool liveLinkBackWithA()
    {
        if (!rig.liveLinkBack())
            return false;
        QDeadlineTimer deadline(3000);
        while (!deadline.hasExpired()) {
            const auto frames = rig.frames();
            if (frames.lastIndexOf(SetupFrames::startLive()) > frames.lastIndexOf(SetupFrames::c()))
                return true;
            QTest::qWait(5);
        }
        return false;
    }

    LoggerRig rig;
    LoggerSetupPort port;
    ScriptedSetupUi ui;
    LoggerSetup setup;
};
} // namespace

class TestLoggerSetup : public QObject
{
    Q_OBJECT

private slots:
    // ---- Frames on the wire -------------------------------------------------
    void intervalFrames_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<QByteArray>("frame");
        QTest::newRow("00:01") << "00"
                               << "01" << hex("02696E7400010003");
        QTest::newRow("00:59") << "00"
                               << "59" << hex("02696E7400590003");
        QTest::newRow("01:00") << "01"
                               << "00" << hex("02696E7401000003");
        QTest::newRow("one digit 5 seconds") << "0"
                                             << "5" << hex("02696E7400050003");
    }
    void intervalFrames()
    {
        QFETCH(QString, minutes);
        QFETCH(QString, seconds);
        QFETCH(QByteArray, frame);
        SetupTestClock clock(speedUp, pcTime);
        SetupRig r(meterWithSets(0), clock);
        QVERIFY(r.connect());
        QVERIFY(r.setup.Button2Click(minutes, seconds));
        QCOMPARE(r.ui.messages(), QStringList{message(SetupTexts::IntervalDone)});
        QVERIFY(r.liveLinkBackWithA());
        const QList<QByteArray> sent = r.commandFrames();
        // "c", the interval, "boot", and "a" on the live port (the live
        // stream's requests may follow).
        QVERIFY(sent.size() >= 4);
        QCOMPARE(sent.at(0).toHex(' '), hex("0263000000000003").toHex(' '));
        QCOMPARE(sent.at(1).toHex(' '), frame.toHex(' '));
        QCOMPARE(sent.at(2).toHex(' '), hex("02626F6F74000003").toHex(' '));
        QCOMPARE(sent.at(3).toHex(' '), hex("0261000000000003").toHex(' '));
        QCOMPARE(r.rig.meter->loggerMemory().mid(0x0E, 2), frame.mid(4, 2));
    }

    void clockFrameAndMessage()
    {
        SetupTestClock clock(speedUp, pcTime, SetupTestClock::LocalTime::Frozen);
        SetupRig r(meterWithSets(0), clock);
        QVERIFY(r.connect());
        QVERIFY(r.setup.Button1Click());
        QVERIFY(r.liveLinkBackWithA());
        const QList<QByteArray> sent = r.commandFrames();
        QVERIFY(sent.size() >= 4);
        QCOMPARE(sent.at(3).toHex(' '), hex("0261000000000003").toHex(' '));
        QCOMPARE(sent.at(1).toHex(' '), hex("0272746300000003").toHex(' '));
        QCOMPARE(sent.at(2).toHex(' '), hex("0210041415300503").toHex(' '));
        QCOMPARE(r.ui.messages(),
                 QStringList{message("Meter time updated successfully \n"
                                     "Today is Day 14 of Month 04 of Year 2010\n"
                                     "The time is Second05 of Minute 30 of Hour 15")});
        QCOMPARE(r.rig.meter->meterTime().date(), QDate(2010, 4, 14));
    }

    // ---- Input checks -------------------------------------------------------
    void intervalInput_data()
    {
        QTest::addColumn<QString>("minutes");
        QTest::addColumn<QString>("seconds");
        QTest::addColumn<int>("accepted");
        QTest::newRow("00:00") << "00"
                               << "00" << -1;
        QTest::newRow("00:01") << "00"
                               << "01" << 1;
        QTest::newRow("00:59") << "00"
                               << "59" << 59;
        QTest::newRow("00:60") << "00"
                               << "60" << -1;
        QTest::newRow("00:61") << "00"
                               << "61" << -1;
        QTest::newRow("01:00") << "01"
                               << "00" << 60;
        QTest::newRow("01:01: longer than the decoder reads") << "01"
                                                              << "01" << -1;
        QTest::newRow("01:60") << "01"
                               << "60" << -1;
        QTest::newRow("02:00") << "02"
                               << "00" << -1;
        QTest::newRow("letters") << "0a"
                                 << "05" << -1;
        QTest::newRow("sign") << "00"
                              << "+5" << -1;
        QTest::newRow("empty") << ""
                               << "05" << -1;
    }
    void intervalInput()
    {
        QFETCH(QString, minutes);
        QFETCH(QString, seconds);
        QFETCH(int, accepted);
        const auto interval = LoggerSetup::parseInterval(minutes, seconds);
        QCOMPARE(interval ? interval->seconds : -1, accepted);
    }

    void invalidIntervalTouchesNoPort()
    {
        FakeMeterClock clock;
        VirtualMeterOptions options;
        SetupRig r(options, clock);
        r.rig.link.setPortList({QStringLiteral("/dev/audimark-no-such-port")});
        r.rig.link.MainTimer().start();
        const auto start = clock.now();
        QVERIFY(!r.setup.Button2Click("01", "30"));
        QCOMPARE(r.ui.messages(), QStringList{message(SetupTexts::InvalidInput)});
        QCOMPARE(clock.secondsSince(start), 0.0);
        QVERIFY(r.rig.link.MainTimer().isActive());
    }

    // ---- Meter time text ----------------------------------------------------
    void meterTimeText_data()
    {
        QTest::addColumn<QByteArray>("reply");
        QTest::addColumn<int>("dateOrder");
        QTest::addColumn<QString>("separator");
        QTest::addColumn<QString>("text");
        const QByteArray reply = hex("1000041415300500");
        QTest::newRow("1 day first") << reply << 1 << "/"
                                     << "14/04/10  15:30:05";
        QTest::newRow("2 month first") << reply << 2 << "/"
                                       << "04/14/10  15:30:05";
        QTest::newRow("3 year month day") << reply << 3 << "-"
                                          << "10-04-14  15:30:05";
        QTest::newRow("4 year day month") << reply << 4 << "."
                                          << "10.14.04  15:30:05";
        QTest::newRow("other: month first") << reply << 7 << "."
                                            << "04.14.10  15:30:05";
        QTest::newRow("a short reply is never read past its end") << hex("1000") << 3 << "-"
                                                                  << "10-00-00  00:00:00";
    }
    void meterTimeText()
    {
        QFETCH(QByteArray, reply);
        QFETCH(int, dateOrder);
        QFETCH(QString, separator);
        QFETCH(QString, text);
        QCOMPARE(SetupTexts::meterTimeText(reply, dateOrder, separator), text);
    }

    void dateSeparator_data()
    {
        QTest::addColumn<QString>("format");
        QTest::addColumn<QString>("separator");
        QTest::newRow("M/d/yyyy") << "M/d/yyyy"
                                  << "/";
        QTest::newRow("dd.MM.yyyy") << "dd.MM.yyyy"
                                    << ".";
        QTest::newRow("yyyy-MM-dd") << "yyyy-MM-dd"
                                    << "-";
        QTest::newRow("none: -") << "yyyyMMdd"
                                 << "-";
    }
    void dateSeparator()
    {
        QFETCH(QString, format);
        QFETCH(QString, separator);
        QCOMPARE(SetupTexts::dateSeparator(format), separator);
    }

    // ---- Information read ---------------------------------------------------
    void informationLabels_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<int>("firmware");
        QTest::addColumn<QString>("version");
        QTest::newRow("C, 1.05") << "C" << 105 << "1.05";
        QTest::newRow("de_DE, 1,05") << "de_DE" << 105 << "1,05";
        QTest::newRow("firmware 0") << "C" << 0 << "0.00";
    }
    void informationLabels()
    {
        QFETCH(QString, locale);
        QFETCH(int, firmware);
        QFETCH(QString, version);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(0);
        options.protocol.logger.memory = memoryEndingAt(256, 3);
        options.protocol.setup.firmware = std::uint8_t(firmware);
        options.protocol.setup.meterTime = QDateTime(QDate(2010, 4, 14), QTime(15, 30, 5));
        SetupRig r(options, clock);
        r.setup.setLocale(QLocale(locale));
        QVERIFY(r.connect());
        (void)r.setup.Button2Click("00", "05");
        const SetupInformation read = r.setup.Button4Click();

        QVERIFY(read.portTakenOver);
        QCOMPARE(r.ui.labels.value(Label::Version), version);
        QVERIFY2(r.ui.labels.value(Label::MeterTime).startsWith("04/14/10  15:3"),
                 qPrintable(r.ui.labels.value(Label::MeterTime)));
        QCOMPARE(r.ui.labels.value(Label::Interval), QStringLiteral("00:05(mm:ss)"));
        QCOMPARE(r.ui.labels.value(Label::DataSets), QStringLiteral("3"));
        QCOMPARE(r.ui.labels.value(Label::MemoryAvailable), QStringLiteral("31999"));
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), QStringLiteral("OK"));
        QVERIFY(r.ui.messages().size() == 1); // only the interval's
        QVERIFY(r.liveLinkBackWithA());
    }

    // Also on a loaded machine, whose meter thread answers later than the
    // shortened reply windows: the clock lets it answer at once.
    void memoryTestGrid_data()
    {
        QTest::addColumn<int>("latencyMs");
        QTest::newRow("meter answering at once") << 0;
        QTest::newRow("slow machine, answers 60 ms late") << 60;
    }
    void memoryTestGrid()
    {
        QFETCH(int, latencyMs);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(0);
        options.protocol.logger.memory = memoryEndingAt(0x8F00);
        options.answerLatency = std::chrono::milliseconds(latencyMs);
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        const QByteArray before = r.rig.meter->loggerMemory();
        (void)r.setup.Button4Click();

        // 0x8F00 holds recorded data: the test starts above it.
        QCOMPARE(r.ui.gridRows.size(), 7);
        QCOMPARE(r.ui.gridRows.first().mid(0, 9),
                 QStringList({"02", "77", "45", "00", "9F", "00", "96", "03", "96"}));
        QCOMPARE(r.ui.gridRows.last().mid(0, 9),
                 QStringList({"02", "77", "45", "00", "FF", "00", "96", "03", "96"}));
        QCOMPARE(r.ui.gridRows.first().at(9), QStringLiteral("00:00:00"));
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), QStringLiteral("OK"));
        const QByteArray after = r.rig.meter->loggerMemory();
        QCOMPARE(after.left(0x8F01), before.left(0x8F01));
        QCOMPARE(quint8(after.at(0x9F00)), quint8(0x96));
    }

    void memoryTestLeavesRecordedData_data()
    {
        QTest::addColumn<QByteArray>("memory");
        QTest::addColumn<bool>("noInfoBlock");
        QTest::addColumn<QString>("testLabel");
        QTest::newRow("data reaching 0xFF00: skipped")
            << memoryEndingAt(0xFF00) << false << "Skipped";
        QTest::newRow("data up to 0xFFFF: skipped") << memoryEndingAt(0xFFFF) << false << "Skipped";
        QTest::newRow("no control page: nothing written") << memoryEndingAt(300) << true << "";
    }
    void memoryTestLeavesRecordedData()
    {
        QFETCH(QByteArray, memory);
        QFETCH(bool, noInfoBlock);
        QFETCH(QString, testLabel);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(0);
        options.protocol.logger.memory = memory;
        options.protocol.setup.faults.noInfoBlock = noInfoBlock;
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        const QByteArray before = r.rig.meter->loggerMemory();
        (void)r.setup.Button4Click();
        QCOMPARE(r.rig.meter->loggerMemory(), before);
        QCOMPARE(r.rig.letters().count('w'), 0);
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), testLabel);
        QVERIFY(r.ui.gridRows.isEmpty());
        QVERIFY(r.liveLinkBackWithA());
    }

    // The control page's end address does not cover the record a recording
    // meter is growing: while the frames show REC the test writes nothing.
    void memoryTestWhileRecording_data()
    {
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QString>("testLabel");
        QTest::addColumn<int>("writes");
        QTest::newRow("recording: refused") << true << "Skipped (recording)" << 0;
        QTest::newRow("idle: tested") << false << "OK" << 8;
    }
    void memoryTestWhileRecording()
    {
        QFETCH(bool, recording);
        QFETCH(QString, testLabel);
        QFETCH(int, writes);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(0);
        options.protocol.logger.memory = memoryEndingAt(300);
        options.protocol.recording = recording;
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        QTRY_VERIFY(r.rig.link.RecordingKnown());
        QTRY_COMPARE(r.rig.link.MeterRecording(), recording);
        const SetupInformation read = r.setup.Button4Click();
        QVERIFY(read.information.controlPage.has_value());
        QCOMPARE(r.rig.letters().count('w'), writes);
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), testLabel);
        QVERIFY(!r.ui.labels.value(Label::DataSets).isEmpty());
        QVERIFY(r.liveLinkBackWithA());
    }

    void memoryTestFailures_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<int>("rows");
        QTest::newRow("bad cell at 0xAF00") << "badCell" << 3;
        QTest::newRow("write reply one byte short: not logged") << "shortWrite" << 0;
        QTest::newRow("read not answered") << "noReadReply" << 1;
    }
    void memoryTestFailures()
    {
        QFETCH(QString, fault);
        QFETCH(int, rows);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(0);
        options.protocol.logger.memory = memoryEndingAt(300);
        vmeter::LoggerFaults& f = options.protocol.logger.faults;
        if (fault == "badCell")
            f.badCells.insert(0xAF00);
        else if (fault == "shortWrite")
            f.shortReplyLetters = "w";
        else
            f.noEchoLetters = "r";
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        (void)r.setup.Button4Click();
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), QStringLiteral("False"));
        QCOMPARE(r.ui.gridRows.size(), rows);
        QVERIFY(r.liveLinkBackWithA());
    }

    // ---- Faults: the failure messages and the way back ----------------------
    void commandFaults_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("shown");
        QTest::newRow("clock: rtc not echoed") << 1 << "noEcho"
                                               << "rtc" << SetupTexts::TimeUpdateFailed;
        QTest::newRow("clock: rtc echo wrong") << 1 << "wrongEcho"
                                               << "rtc" << SetupTexts::TimeUpdateFailed;
        QTest::newRow("clock: clock frame echo wrong") << 1 << "wrongEcho"
                                                       << "clock" << SetupTexts::TimeUpdateFailed;
        QTest::newRow("interval: not echoed") << 2 << "noEcho"
                                              << "int" << SetupTexts::IntervalFailed;
        QTest::newRow("interval: echo wrong") << 2 << "wrongEcho"
                                              << "int" << SetupTexts::IntervalFailed;
        QTest::newRow("erase: no information") << 3 << "noEcho"
                                               << "info" << SetupTexts::EraseFailed;
        QTest::newRow("erase: ignored by the meter") << 3 << "ignoreErase"
                                                     << "" << SetupTexts::EraseFailed;
        QTest::newRow("run: interval not echoed") << 5 << "noEcho"
                                                  << "int" << SetupTexts::RunFailed;
    }
    void commandFaults()
    {
        QFETCH(int, button);
        QFETCH(QString, kind);
        QFETCH(QString, name);
        QFETCH(QString, shown);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(2);
        addSetupFault(options, kind, name);
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        r.ui.answers = {true};
        const QByteArray before = r.rig.meter->loggerMemory();
        bool done = true;
        switch (button) {
        case 1:
            done = r.setup.Button1Click();
            break;
        case 2:
            done = r.setup.Button2Click("00", "05");
            break;
        case 3:
            done = r.setup.Button3Click();
            break;
        default:
            done = r.setup.Button5Click("00", "05");
            break;
        }
        QVERIFY(!done);
        QCOMPARE(r.ui.messages(), QStringList{message(shown)});
        QVERIFY(r.liveLinkBackWithA());
        QVERIFY(!r.ui.busy);
        if (button == 3)
            QCOMPARE(r.rig.meter->loggerMemory().mid(256), before.mid(256));
    }

    void takeOverFailsThreeTimes_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shown");
        QTest::newRow("clock") << 1 << SetupTexts::TimeUpdateFailed;
        QTest::newRow("interval") << 2 << SetupTexts::IntervalFailed;
        QTest::newRow("erase") << 3 << SetupTexts::EraseFailed;
        QTest::newRow("read: no message") << 4 << QString();
        QTest::newRow("run") << 5 << SetupTexts::RunFailed;
    }
    void takeOverFailsThreeTimes()
    {
        QFETCH(int, button);
        QFETCH(QString, shown);
        FakeMeterClock clock;
        SetupRig r(VirtualMeterOptions{}, clock);
        r.rig.link.setPortList({QStringLiteral("/dev/audimark-no-such-port")});
        const auto start = clock.now();
        switch (button) {
        case 1:
            (void)r.setup.Button1Click();
            break;
        case 2:
            (void)r.setup.Button2Click("00", "05");
            break;
        case 3:
            (void)r.setup.Button3Click();
            break;
        case 4:
            (void)r.setup.Button4Click();
            break;
        default:
            (void)r.setup.Button5Click("00", "05");
            break;
        }
        QCOMPARE(r.ui.messages(), shown.isEmpty() ? QStringList() : QStringList{message(shown)});
        QVERIFY(r.ui.labels.value(Label::Version).isEmpty());
        QVERIFY(r.ui.labels.value(Label::DataSets).isEmpty());
        // Three attempts of 5 s, and the command adds almost nothing.
        QVERIFY(clock.secondsSince(start) >= 15.0);
        QVERIFY(clock.secondsSince(start) < 15.5);
        QVERIFY(r.rig.link.MainTimer().isActive());
        QVERIFY(!r.rig.link.Comm2().Active());
    }

    // ---- Erase ----------------------------------------------------------------
    void eraseFromTheSetupWindow_data()
    {
        QTest::addColumn<int>("sets");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("asked");
        QTest::addColumn<bool>("erased");
        QTest::addColumn<QString>("shown");
        QTest::newRow("sets, Yes")
            << 3 << QList<bool>{true} << true << true << SetupTexts::EraseDone;
        QTest::newRow("sets, No") << 3 << QList<bool>{false} << true << false << QString();
        QTest::newRow("empty: no question")
            << 0 << QList<bool>{} << false << true << SetupTexts::EraseDone;
    }
    void eraseFromTheSetupWindow()
    {
        QFETCH(int, sets);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, asked);
        QFETCH(bool, erased);
        QFETCH(QString, shown);
        SetupTestClock clock(speedUp, pcTime);
        SetupRig r(meterWithSets(sets), clock);
        QVERIFY(r.connect());
        r.ui.answers = answers;
        const QByteArray before = r.rig.meter->loggerMemory();
        QCOMPARE(r.setup.Button3Click(), erased);
        QCOMPARE(r.ui.events.contains("ask:" + SetupTexts::EraseQuestion), asked);
        QCOMPARE(r.ui.messages(), shown.isEmpty() ? QStringList() : QStringList{message(shown)});
        const QByteArray after = r.rig.meter->loggerMemory();
        QCOMPARE(after.at(0x0A) == 0 && after.at(0x0D) == char(0xFF), erased || sets == 0);
        if (!erased)
            QCOMPARE(after, before);
        QVERIFY(r.liveLinkBackWithA());
    }

    void eraseFromTheMenu_data()
    {
        QTest::addColumn<bool>("recording");
        QTest::addColumn<QList<bool>>("answers");
        QTest::addColumn<bool>("erased");
        QTest::addColumn<QStringList>("seen");
        const QString ask = "ask:" + SetupTexts::EraseQuestion;
        QTest::newRow("Yes erases") << false << QList<bool>{true} << true
                                    << QStringList{ask, message(SetupTexts::PowerCycle)};
        QTest::newRow("No or closed: nothing")
            << false << QList<bool>{false} << false << QStringList{ask};
        QTest::newRow("recording: refused")
            << true << QList<bool>{true} << false
            << QStringList{message(SetupTexts::EraseWhileRecording)};
    }
    void eraseFromTheMenu()
    {
        QFETCH(bool, recording);
        QFETCH(QList<bool>, answers);
        QFETCH(bool, erased);
        QFETCH(QStringList, seen);
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(3);
        options.protocol.recording = recording;
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        // The recording flag comes with the live frames.
        QTRY_COMPARE(r.rig.link.MeterRecording(), recording);
        r.ui.answers = answers;
        const qsizetype before = r.rig.frames().size();
        QCOMPARE(r.setup.EraseMemory1Click(), erased);
        QCOMPARE(r.ui.events, seen);
        QTRY_COMPARE(r.rig.meter->loggerMemory().at(0x0A) == 0, erased);
        const bool eraseSent = r.framesFrom(before).contains(hex("0265726173650003"));
        QCOMPARE(eraseSent, erased);
        QVERIFY(r.rig.link.Comm1().Active());
        QVERIFY(r.rig.link.MainTimer().isActive());
        QVERIFY(r.rig.link.Comm1().OnRxChar() != nullptr);
    }

    void eraseRefusedWhileRecording()
    {
        SetupTestClock clock(speedUp, pcTime);
        VirtualMeterOptions options = meterWithSets(1);
        options.protocol.recording = true;
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        QTRY_VERIFY(r.rig.link.MeterRecording());
        const qsizetype before = r.rig.frames().size();
        QVERIFY(!r.setup.Button3Click());
        QVERIFY(!r.setup.Button5Click("00", "05"));
        QCOMPARE(r.ui.messages(), QStringList({message(SetupTexts::EraseWhileRecording),
                                               message(SetupTexts::EraseWhileRecording)}));
        QVERIFY(!r.framesFrom(before).contains(SetupFrames::c()));
    }

    // ---- The combined run -----------------------------------------------------
    void executeAll()
    {
        SetupTestClock clock(speedUp, pcTime, SetupTestClock::LocalTime::Frozen);
        VirtualMeterOptions options = meterWithSets(2);
        SetupRig r(options, clock);
        QVERIFY(r.connect());
        r.ui.answers = {true};
        QVERIFY(r.setup.Button5Click("00", "10"));
        QCOMPARE(
            r.ui.events.filter(QRegularExpression("^(stage|ask|message)")),
            QStringList({"stage:" + SetupTexts::StageClock, "stage:" + SetupTexts::StageInterval,
                         "stage:" + SetupTexts::StageErase, "ask:" + SetupTexts::EraseQuestion,
                         "stage:" + SetupTexts::StageTest, "stage:" + SetupTexts::StageDone}));
        QCOMPARE(r.ui.labels.value(Label::DataSets), QStringLiteral("0"));
        QCOMPARE(r.ui.labels.value(Label::Interval), QStringLiteral("00:10(mm:ss)"));
        QCOMPARE(r.ui.labels.value(Label::MemoryAvailable), QStringLiteral("32000"));
        QCOMPARE(r.ui.labels.value(Label::MemoryTest), QStringLiteral("OK"));
        QCOMPARE(r.rig.meter->meterTime().date(), pcTime.date());
        QVERIFY(r.liveLinkBackWithA());
        // No "boot" before the erase stage; one at the end.
        QCOMPARE(r.rig.frames().count(SetupFrames::boot()), 1);
    }

    // ---- A meter that fails ---------------------------------------------------
    void silentMeter_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<QString>("shown");
        QTest::newRow("clock") << 1 << SetupTexts::TimeUpdateFailed;
        QTest::newRow("interval") << 2 << SetupTexts::IntervalFailed;
        QTest::newRow("erase") << 3 << SetupTexts::EraseFailed;
        QTest::newRow("read") << 4 << QString();
        QTest::newRow("run") << 5 << SetupTexts::RunFailed;
    }
    void silentMeter()
    {
        QFETCH(int, button);
        QFETCH(QString, shown);
        SetupTestClock clock(speedUp, pcTime);
        SetupRig r(meterWithSets(2), clock);
        QVERIFY(r.connect());
        r.rig.meter->switchOff();
        r.ui.answers = {true};
        const QByteArray before = r.rig.meter->loggerMemory();
        const auto start = clock.now();
        switch (button) {
        case 1:
            QVERIFY(!r.setup.Button1Click());
            break;
        case 2:
            QVERIFY(!r.setup.Button2Click("00", "05"));
            break;
        case 3:
            QVERIFY(!r.setup.Button3Click());
            break;
        case 4:
            QVERIFY(!r.setup.Button4Click().information.firmware);
            break;
        default:
            QVERIFY(!r.setup.Button5Click("00", "05"));
            break;
        }
        QCOMPARE(r.ui.messages(), shown.isEmpty() ? QStringList() : QStringList{message(shown)});
        // The take-over, then at most three 2.5-s echo waits and the steps.
        QVERIFY2(clock.secondsSince(start) < 5.0 + 3 * 2.5 + 1.5,
                 qPrintable(QString::number(clock.secondsSince(start))));
        QCOMPARE(r.rig.meter->loggerMemory(), before);
        QVERIFY(r.rig.liveLinkBack());
    }

    void badPeer_data()
    {
        QTest::addColumn<int>("button");
        QTest::addColumn<bool>("vanishing");
        QTest::addColumn<QString>("shown");
        const QList<std::pair<int, QString>> buttons = {{1, SetupTexts::TimeUpdateFailed},
                                                        {2, SetupTexts::IntervalFailed},
                                                        {3, SetupTexts::EraseFailed},
                                                        {4, QString()},
                                                        {5, SetupTexts::RunFailed}};
        for (const auto& [button, shown] : buttons) {
            QTest::addRow("garbage, button %d", button) << button << false << shown;
            QTest::addRow("device gone mid-command, button %d", button) << button << true << shown;
        }
    }
    void badPeer()
    {
        QFETCH(int, button);
        QFETCH(bool, vanishing);
        QFETCH(QString, shown);
        SetupTestClock clock(speedUp, pcTime);
        PtyPair pty;
        QVERIFY(pty.isValid());
        SetupRig r(VirtualMeterOptions{}, clock);
        // The line's other end is the bad peer, not the rig's meter: the
        // clock does not wait for the meter to answer.
        clock.setPeer({});
        r.ui.answers = {true};
        r.rig.link.setPortList({pty.slavePath()});
        r.rig.link.startLiveLink();
        QVERIFY(r.rig.link.Comm1().Active());
        // The take-over takes 5 s of the clock's time; the device goes after it.
        const auto vanishAfter = std::chrono::milliseconds(5500 / speedUp);
        const auto start = clock.now();
        bool done = true;
        {
            BadPeer peer(pty, vanishing ? BadPeer::Kind::Vanishing : BadPeer::Kind::Garbage,
                         vanishAfter);
            done = clickButton(r.setup, button);
        }
        QVERIFY(!done);
        QCOMPARE(r.ui.messages(), shown.isEmpty() ? QStringList() : QStringList{message(shown)});
        // The take-over and at most three echo waits of 2.5 s, and the steps.
        QVERIFY2(clock.secondsSince(start) < 5.0 + 3 * 2.5 + 1.5,
                 qPrintable(QString::number(clock.secondsSince(start))));
        QVERIFY(!r.rig.link.Comm2().Active());
        QVERIFY(r.rig.link.MainTimer().isActive());
        if (!vanishing)
            QVERIFY(r.rig.link.Comm1().Active());
    }

    void meterGoesSilentMidCommand()
    {
        // The erase question is answered, and then the meter is gone.
        SetupTestClock clock(speedUp, pcTime);
        SetupRig r(meterWithSets(2), clock);
        QVERIFY(r.connect());
        r.ui.answers = {true};
        r.ui.beforeAnswer = [&] { r.rig.meter->switchOff(); };
        QVERIFY(!r.setup.Button3Click());
        QCOMPARE(r.ui.messages(), QStringList{message(SetupTexts::EraseFailed)});
        QVERIFY(r.rig.liveLinkBack());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestLoggerSetup)
#include "tst_loggersetup.moc"
