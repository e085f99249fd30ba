// Scheduled auto-loading without a meter: the schedule on tick times, the
// cycle on a scripted device and the fake clock (every step, its timing, and
// every failure that must stop the erase while the meter still records again
// and the live link comes back), and the log line a person reads afterwards.

#include "common/ReadOnlyDirectory.h"
#include "common/SettableMeterClock.h"
#include "common/TestMain.h"
#include "data/LoggerMemory.h"
#include "logger/AutoLoadCycle.h"
#include "logger/AutoLoadLog.h"
#include "logger/AutoLoadSchedule.h"
#include "logger/ScriptedAutoLoadDevice.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QTemporaryDir>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;
using Result = AutoLoadOutcome::Result;

namespace {
const QLocale us(QLocale::English, QLocale::UnitedStates);
const QLocale de(QLocale::German, QLocale::Germany);
const QDateTime eightOClock(QDate(2010, 4, 14), QTime(8, 0));

LoggerRecordContent record(const QDateTime& start, int samples)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = 0x05;
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(600 + i);
    return content;
}

// Three sets of 3, 5 and 7 samples.
LoggerImageBuilder threeSets()
{
    LoggerImageBuilder builder;
    builder.append(record(QDateTime(QDate(2010, 4, 13), QTime(9, 15)), 3));
    builder.append(record(QDateTime(QDate(2010, 4, 13), QTime(17, 40)), 5));
    builder.append(record(QDateTime(QDate(2010, 4, 14), QTime(6, 5)), 7));
    return builder;
}

QStringList logLines(const QString& directory)
{
    QFile file(QDir(directory).filePath(AutoLoadLog::FileName));
    if (!file.open(QIODevice::ReadOnly))
        return {};
    QStringList lines = QString::fromUtf8(file.readAll()).split(QStringLiteral("\r\n"));
    if (!lines.isEmpty() && lines.constLast().isEmpty())
        lines.removeLast();
    return lines;
}

// The ending every cycle has, whatever failed before it.
// The live frames then show the meter recording again.
const QStringList ending{"logger:boot", "logger:E", "closeLogger", "openLive",
                         "live:a",      "frames",   "startTimer"};

struct CycleRig
{
    SettableMeterClock clock{eightOClock};
    ScriptedAutoLoadDevice device{clock};
    LoggerMemory memory;
    QTemporaryDir dir;
    AutoLoadCycle cycle{device, memory, clock};

    CycleRig()
    {
        cycle.setDataDirectory(dir.path());
        cycle.setLocale(us);
        device.image = threeSets().image();
    }
};
} // namespace

class TestAutoLoad : public QObject
{
    Q_OBJECT

private slots:
    // ---- The schedule ----------------------------------------------------

    void hourText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("hours"); // 0: refused
        QTest::newRow("1") << "1" << 1;
        QTest::newRow("24") << "24" << 24;
        QTest::newRow("blanks around") << " 7 " << 7;
        QTest::newRow("leading zero") << "08" << 8;
        QTest::newRow("0") << "0" << 0;
        QTest::newRow("25") << "25" << 0;
        QTest::newRow("negative") << "-3" << 0;
        QTest::newRow("plus sign") << "+3" << 0;
        QTest::newRow("fraction") << "1.5" << 0;
        QTest::newRow("comma fraction") << "1,5" << 0;
        QTest::newRow("words") << "two" << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("huge") << "99999999999" << 0;
    }

    void hourText()
    {
        QFETCH(QString, text);
        QFETCH(int, hours);
        QCOMPARE(AutoLoadSchedule::parseHours(text).value_or(0), hours);
    }

    // Start with 24 at 08:00: the first cycle at the first tick after 08:00
    // on the next day, the following one 24 h after that tick.
    void firstCycleOneIntervalAfterStart()
    {
        AutoLoadSchedule schedule;
        schedule.start(24, eightOClock);
        QVERIFY(schedule.AutoLoadEnabled());
        QCOMPARE(schedule.AutoLoadInterval(), 1.0);
        QCOMPARE(schedule.NextAutoLoad(), eightOClock.addDays(1));

        // Ticks every second, 0.3 s past the full second.
        QList<QDateTime> cycles;
        for (QDateTime tick = eightOClock.addMSecs(300); tick < eightOClock.addDays(3);
             tick = tick.addSecs(1))
            if (schedule.takeDue(tick, true))
                cycles << tick;
        QCOMPARE(cycles.size(), 2);
        QCOMPARE(cycles.at(0), eightOClock.addDays(1).addMSecs(300));
        // Exactly 24 h after that tick is not later than it: the tick after.
        QCOMPARE(cycles.at(1), eightOClock.addDays(2).addMSecs(1300));
    }

    void hoursGiveTheInterval_data()
    {
        QTest::addColumn<int>("hours");
        QTest::newRow("1 hour") << 1;
        QTest::newRow("6 hours") << 6;
    }

    void hoursGiveTheInterval()
    {
        QFETCH(int, hours);
        AutoLoadSchedule schedule;
        schedule.start(hours, eightOClock);
        QCOMPARE(schedule.AutoLoadInterval(), hours / 24.0);
        QVERIFY(!schedule.takeDue(eightOClock.addSecs(hours * 3600), true));
        QVERIFY(schedule.takeDue(eightOClock.addSecs(hours * 3600).addMSecs(1), true));
    }

    void stopTurnsItOff()
    {
        AutoLoadSchedule schedule;
        schedule.start(1, eightOClock);
        schedule.stop();
        QVERIFY(!schedule.AutoLoadEnabled());
        QVERIFY(!schedule.takeDue(eightOClock.addDays(1), true));
    }

    // A cycle due while no meter is connected waits for the first tick after
    // the reconnection; the next is one interval after that tick.
    void dueCycleWaitsForTheMeter()
    {
        AutoLoadSchedule schedule;
        schedule.start(1, eightOClock);
        const QDateTime due = eightOClock.addSecs(3600);
        for (int s = 1; s <= 600; ++s)
            QVERIFY(!schedule.takeDue(due.addSecs(s), false));
        const QDateTime back = due.addSecs(601);
        QVERIFY(schedule.takeDue(back, true));
        QCOMPARE(schedule.NextAutoLoad(), back.addSecs(3600));
        QVERIFY(!schedule.takeDue(back.addSecs(1), true));
    }

    // ---- The cycle -----------------------------------------------------------

    void cycleEmptiesTheLogger()
    {
        CycleRig rig;
        const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();

        // Every step at its time on the clock (each Delay(ms) takes ms + 1).
        QCOMPARE(rig.device.operations,
                 QStringList({"live:c@0", "live:E@501", "releaseTick@501", "download@501",
                              "logger:erase@2902", "count@7903", "logger:boot@7903",
                              "logger:E@10904", "closeLogger@11905", "openLive@12006",
                              "live:a@12107", "frames@13108", "startTimer@13108"}));
        QCOMPARE(outcome.result, Result::Emptied);
        QVERIFY(outcome.erased());
        QVERIFY(outcome.reason.isEmpty());
        QCOMPARE(outcome.sets, 3);
        QCOMPARE(outcome.samples, 15);
        QCOMPARE(outcome.files, QStringList({"201004130915.CSV", "201004131740.CSV",
                                             "201004140605.CSV", "201004140605.rec"}));
        QCOMPARE(outcome.started, eightOClock);
        QVERIFY(rig.memory.memoryImage().isEmpty());
        QVERIFY(outcome.logError.isEmpty());
        QCOMPARE(logLines(rig.dir.path()),
                 QStringList{"4/14/2010 08:00:00; emptied; 3 sets, 15 samples; files "
                             "201004130915.CSV, 201004131740.CSV, 201004140605.CSV, "
                             "201004140605.rec; erased yes"});
    }

    // An idle meter is not sent the recording key before the download; it
    // is started at the end like a stopped one.
    void idleMeterGetsNoStopKey()
    {
        CycleRig rig;
        rig.device.recording = false;
        (void)rig.cycle.dumpAndClearMemory();
        QCOMPARE(rig.device.names(),
                 QStringList({"live:c", "releaseTick", "download", "logger:erase", "count"}) +
                     ending);
    }

    // The recording key toggles: it is pressed only on a state the live
    // frames showed, and the cycle watches the meter come back to recording.
    void recordingStateFromTheFrames_data()
    {
        using Shown = QList<std::optional<bool>>;
        QTest::addColumn<bool>("known");
        QTest::addColumn<Shown>("frames");
        QTest::addColumn<QStringList>("operations");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("reason");
        const QStringList emptying{"live:c",       "live:E",   "releaseTick", "download",
                                   "logger:erase", "count",    "logger:boot", "logger:E",
                                   "closeLogger",  "openLive", "live:a"};
        QTest::newRow("unknown at first, frames show it recording")
            << false << Shown{true}
            << QStringList{"frames"} + emptying + QStringList{"frames", "startTimer"}
            << int(Result::Emptied) << QString();
        QTest::newRow("unknown and no frame: downloaded, meter left alone")
            << false << Shown{std::nullopt}
            << QStringList{"frames",      "live:c",   "releaseTick", "download",
                           "closeLogger", "openLive", "live:a",      "startTimer"}
            << int(Result::NothingErased)
            << "no live frame told whether the meter records; a record it may be growing is "
               "not in the download";
        QTest::newRow("idle after the restart: the key again")
            << true << Shown{false, true}
            << emptying + QStringList{"frames", "live:E", "frames", "startTimer"}
            << int(Result::Emptied) << QString();
        QTest::newRow("silent after the restart: asked again, then told")
            << true << Shown{std::nullopt, std::nullopt, std::nullopt, std::nullopt}
            << emptying + QStringList{"frames", "live:a", "frames", "live:a",
                                      "frames", "live:a", "frames", "startTimer"}
            << int(Result::Emptied) << "the meter is not recording again after the cycle";
    }
    void recordingStateFromTheFrames()
    {
        using Shown = QList<std::optional<bool>>;
        QFETCH(bool, known);
        QFETCH(Shown, frames);
        QFETCH(QStringList, operations);
        QFETCH(int, result);
        QFETCH(QString, reason);
        CycleRig rig;
        rig.device.known = known;
        rig.device.frames = frames;
        const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
        QCOMPARE(rig.device.names(), operations);
        QCOMPARE(int(outcome.result), result);
        QCOMPARE(outcome.reason, reason);
        QCOMPARE(outcome.sets, 3);
        QVERIFY(rig.memory.memoryImage().isEmpty());
    }

    void failureErasesNothing_data()
    {
        QTest::addColumn<int>("download");
        QTest::addColumn<QByteArray>("image");
        QTest::addColumn<bool>("readOnly");
        QTest::addColumn<int>("setsAfterErase"); // -1: no answer; -2: size unreadable
        QTest::addColumn<bool>("eraseSent");
        QTest::addColumn<int>("result");
        QTest::addColumn<QString>("reason");
        const QByteArray three = threeSets().image();
        const auto none = int(Result::NothingErased);

        QTest::newRow("download broken off")
            << int(LoadResult::Incomplete) << three.left(1024) << false << 0 << false << none
            << "the download broke off after 1024 of 1536 bytes";
        QTest::newRow("size unreadable")
            << int(LoadResult::BadSize) << QByteArray() << false << -2 << false << none
            << "the meter's used memory size could not be read";
        QTest::newRow("no handshake")
            << int(LoadResult::NoHandshake) << QByteArray() << false << 0 << false << none
            << "the meter did not acknowledge the start of the transfer";
        QTest::newRow("no data sets")
            << int(LoadResult::Ok) << LoggerImageBuilder().image() << false << 0 << false << none
            << "the meter's memory holds no data sets";
        QByteArray damaged = three;
        const int second = threeSets().recordOffsets().at(1);
        damaged[second] = 0;
        QTest::newRow("second set damaged")
            << int(LoadResult::Ok) << damaged << false << 0 << false << none
            << QStringLiteral("data set 2 in the meter's memory is damaged after byte %1")
                   .arg(second - 1);
        QByteArray tooMany = three;
        LoggerImageBuilder::writeControlPage(tooMany, 4001, threeSets().endAddress());
        QTest::newRow("4001 sets") << int(LoadResult::Ok) << tooMany << false << 0 << false << none
                                   << "the meter's memory counts more than 4000 data sets";
        QTest::newRow("read-only directory") << int(LoadResult::Ok) << three << true << 0 << false
                                             << none << "cannot write 201004130915.CSV: ";
        QTest::newRow("sets left after the erase")
            << int(LoadResult::Ok) << three << false << 3 << true << none
            << "the meter still reports 3 data sets after the erase";
        QTest::newRow("count unanswered after the erase")
            << int(LoadResult::Ok) << three << false << -1 << true << int(Result::EraseUnconfirmed)
            << "the meter did not answer the data set count after the erase";
    }

    void failureErasesNothing()
    {
        QFETCH(int, download);
        QFETCH(QByteArray, image);
        QFETCH(bool, readOnly);
        QFETCH(int, setsAfterErase);
        QFETCH(bool, eraseSent);
        QFETCH(int, result);
        QFETCH(QString, reason);

        CycleRig rig;
        ReadOnlyDirectory target;
        if (readOnly) {
            if (!target.isReadOnly())
                QSKIP("no way to make a directory read-only here");
            rig.cycle.setDataDirectory(target.path());
            rig.cycle.setLogDirectory(rig.dir.path());
        }
        rig.device.downloadResult = LoadResult(download);
        rig.device.image = image;
        rig.device.transfer = {setsAfterErase == -2 ? 0 : 1536, 1536, 1024, 0, false};
        rig.device.setCountAfterErase =
            setsAfterErase == -1 ? std::nullopt : std::optional<int>(setsAfterErase);

        const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
        QCOMPARE(int(outcome.result), result);
        QVERIFY(!outcome.erased());
        QVERIFY2(outcome.reason.startsWith(reason), qPrintable(outcome.reason));
        QCOMPARE(rig.device.names().contains("logger:erase"), eraseSent);
        // The meter records again and the live link is back, whatever failed.
        QCOMPARE(rig.device.names().mid(rig.device.names().size() - ending.size()), ending);
        QVERIFY(rig.memory.memoryImage().isEmpty());
        const QStringList lines = logLines(rig.dir.path());
        QCOMPARE(lines.size(), 1);
        QVERIFY2(lines.at(0).endsWith("; reason: " + outcome.reason), qPrintable(lines.at(0)));
        if (readOnly)
            QVERIFY(target.isEmpty());
    }

    // Another logger command holds the device (a question of Load Data with
    // the logger port open): the cycle leaves it alone and says so.
    void cycleSkippedWhileTheDeviceIsLent()
    {
        CycleRig rig;
        rig.device.lent = true;
        const AutoLoadOutcome outcome = rig.cycle.dumpAndClearMemory();
        QCOMPARE(outcome.result, Result::Skipped);
        QVERIFY(rig.device.operations.isEmpty());
        QCOMPARE(logLines(rig.dir.path()),
                 QStringList{"4/14/2010 08:00:00; skipped; 0 sets, 0 samples; files none; "
                             "erased no; reason: another logger command holds the serial "
                             "device"});
    }

    // ---- The log ---------------------------------------------------------------

    void logLine_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("line");
        QTest::newRow("en_US") << us
                               << "4/14/2010 20:05:09; erase not confirmed; 2 sets, 12345 "
                                  "samples; files a.CSV, a.rec; erased unconfirmed; reason: why";
        QTest::newRow("de_DE") << de
                               << "14.04.2010 20:05:09; erase not confirmed; 2 sets, 12345 "
                                  "samples; files a.CSV, a.rec; erased unconfirmed; reason: why";
    }

    void logLine()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, line);
        AutoLoadOutcome outcome;
        outcome.started = QDateTime(QDate(2010, 4, 14), QTime(20, 5, 9));
        outcome.result = Result::EraseUnconfirmed;
        outcome.sets = 2;
        outcome.samples = 12345;
        outcome.files = QStringList{"a.CSV", "a.rec"};
        outcome.reason = "why";
        QCOMPARE(AutoLoadLog::line(outcome, locale), line);
    }

    void logKeepsEarlierLines()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(AutoLoadLog::FileName);
        {
            QFile file(path);
            QVERIFY(file.open(QIODevice::WriteOnly));
            file.write("an earlier line without its end");
        }
        AutoLoadOutcome outcome;
        outcome.started = eightOClock;
        QVERIFY(AutoLoadLog::append(dir.path(), outcome, us).isEmpty());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        QCOMPARE(file.readAll(),
                 QByteArray("an earlier line without its end\r\n4/14/2010 08:00:00; nothing "
                            "erased; 0 sets, 0 samples; files none; erased no\r\n"));
    }

    void logThatCannotBeWrittenIsReported()
    {
        ReadOnlyDirectory dir;
        if (!dir.isReadOnly())
            QSKIP("no way to make a directory read-only here");
        AutoLoadOutcome outcome;
        outcome.started = eightOClock;
        QVERIFY(!AutoLoadLog::append(dir.path(), outcome, us).isEmpty());
    }
};

AUDIMARK_TEST_MAIN_CORE(TestAutoLoad)
#include "tst_autoload.moc"
