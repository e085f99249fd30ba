// audimark-cli monitor against the virtual meter program: interval lines
// whose LAeq is worked out here from the readings it printed, an event
// printed once with its SEL, the meter unplugged for 20 s as coverage, and
// SIGTERM closing the open interval. Through a real broker: the intervals
// and the event as printed, the last will of a killed station, and every
// interval after the broker was away for three of them.

#include "common/MosquittoBroker.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "tools/cli/MonitorCommand.h"

#include <QDateTime>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <csignal>
#include <cmath>
#include <deque>
#include <vector>

namespace {

struct Reading
{
    qint64 ms;
    double level;
};

qint64 msOf(const QJsonValue& iso)
{
    return QDateTime::fromString(iso.toString(), Qt::ISODateWithMs).toMSecsSinceEpoch();
}

// Collects the JSON lines of a running monitor.
struct MonitorRun
{
    QProcess cli;
    QByteArray pending;
    QList<QJsonObject> lines;
    QString err;

    explicit MonitorRun(const QStringList& arguments)
    {
        QObject::connect(&cli, &QProcess::readyReadStandardOutput, &cli, [this] { drain(); });
        QObject::connect(&cli, &QProcess::readyReadStandardError, &cli,
                         [this] { err += QString::fromLocal8Bit(cli.readAllStandardError()); });
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"), QStringList{"monitor"} + arguments);
    }
    ~MonitorRun()
    {
        if (cli.state() != QProcess::NotRunning) {
            cli.kill();
            cli.waitForFinished(3000);
        }
    }
    void drain()
    {
        pending += cli.readAllStandardOutput();
        for (qsizetype end; (end = pending.indexOf('\n')) >= 0; pending.remove(0, end + 1))
            lines.append(QJsonDocument::fromJson(pending.left(end)).object());
    }
    [[nodiscard]] QList<QJsonObject> of(const QString& type) const
    {
        QList<QJsonObject> found;
        for (const QJsonObject& line : lines)
            if (line.value("type").toString() == type)
                found.append(line);
        return found;
    }
    [[nodiscard]] std::vector<Reading> readings() const
    {
        std::vector<Reading> found;
        for (const QJsonObject& line : of("reading"))
            found.push_back({msOf(line.value("time")), line.value("level_db").toDouble()});
        return found;
    }
    // Time covered by readings above level at the end of the output.
    [[nodiscard]] qint64 msAboveAtEnd(double level) const
    {
        const std::vector<Reading> r = readings();
        auto from = r.rbegin();
        while (from != r.rend() && from->level > level)
            ++from;
        return from == r.rbegin() ? 0 : r.back().ms - std::prev(from)->ms;
    }
};

// The time each reading stands for: up to the next one; the median of the
// last 63 spacings that were not gaps before a gap (a spacing over 1.5
// times that median; the first one over 10 s) and for the last.
std::vector<qint64> durationsOf(const std::vector<Reading>& r)
{
    std::vector<qint64> durations(r.size());
    std::deque<qint64> window;
    qint64 nominal = 1000;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (i + 1 == r.size()) {
            durations[i] = nominal;
            break;
        }
        const qint64 step = r[i + 1].ms - r[i].ms;
        const bool gap = window.empty() ? step > 10'000 : step > nominal * 3 / 2;
        durations[i] = gap || step == 0 ? nominal : step;
        if (gap || step <= 0)
            continue;
        window.push_back(step);
        if (window.size() > 63)
            window.pop_front();
        std::vector<qint64> sorted(window.begin(), window.end());
        std::nth_element(sorted.begin(), sorted.begin() + sorted.size() / 2, sorted.end());
        nominal = sorted[sorted.size() / 2];
    }
    return durations;
}

struct Energy
{
    qsizetype count = 0;
    double leq = 0.0;
    double lmax = 0.0;
    double seconds = 0.0;
};

Energy energyBetween(const std::vector<Reading>& r, const std::vector<qint64>& d, qint64 from,
                     qint64 to)
{
    Energy e;
    double sum = 0.0;
    for (std::size_t i = 0; i < r.size(); ++i) {
        if (r[i].ms < from || r[i].ms >= to)
            continue;
        ++e.count;
        e.seconds += double(d[i]) / 1000.0;
        sum += double(d[i]) / 1000.0 * std::pow(10.0, r[i].level / 10.0);
        e.lmax = std::max(e.lmax, r[i].level);
    }
    e.leq = e.count > 0 ? 10.0 * std::log10(sum / e.seconds) : 0.0;
    return e;
}

} // namespace

class TestCliMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(QFile::exists(qEnvironmentVariable("AUDIMARK_VIRTUAL_METER")),
                 "virtual meter not built");
        QVERIFY2(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")),
                 "command-line tool not built");
    }

    void monitorsThroughEventAndUnplugging()
    {
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--level", "55", "--seed", "7"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        MonitorRun run({"--port", link, "--interval", "10s", "--threshold", "85", "--min-duration",
                        "5s", "--station", "test-1", "--no-archive", "--format", "json",
                        "--verbose"});
        QTRY_VERIFY_WITH_TIMEOUT(run.of("interval").size() >= 1, 40000);

        // About 7 s far above the threshold, then back down: one event.
        meter.process.write("level 100\n");
        QTRY_VERIFY_WITH_TIMEOUT(run.msAboveAtEnd(90.0) >= 7000, 30000);
        meter.process.write("level 55\n");
        QTRY_VERIFY_WITH_TIMEOUT(run.of("event").size() == 1, 30000);
        const qint64 eventEnd = msOf(run.of("event").constFirst().value("end"));
        QTRY_VERIFY_WITH_TIMEOUT(msOf(run.of("interval").constLast().value("start")) > eventEnd,
                                 40000);

        // The device goes away for 20 s: intervals without readings, then
        // readings again.
        meter.process.write("unplug 20\n");
        QTRY_VERIFY_WITH_TIMEOUT(run.err.contains("stopped answering"), 15000);
        QTRY_VERIFY_WITH_TIMEOUT(run.err.contains("meter back on " + link), 60000);
        const qint64 back = run.readings().back().ms;
        QTRY_VERIFY_WITH_TIMEOUT(msOf(run.of("interval").constLast().value("start")) > back &&
                                     run.of("interval").constLast().value("samples").toInt() > 0,
                                 40000);

        const qsizetype before = run.of("interval").size();
        run.cli.terminate();
        QVERIFY(run.cli.waitForFinished(15000));
        QCOMPARE(run.cli.exitStatus(), QProcess::NormalExit);
        QCOMPARE(run.cli.exitCode(), 0);
        run.drain();

        // The open interval was closed and printed at the end.
        const QList<QJsonObject> intervals = run.of("interval");
        QCOMPARE(intervals.size(), before + 1);
        QCOMPARE(intervals.last().value("complete").toBool(), false);
        QVERIFY(msOf(intervals.last().value("end")) > run.readings().back().ms);

        const std::vector<Reading> readings = run.readings();
        const std::vector<qint64> durations = durationsOf(readings);
        qint64 lastId = 0;
        int silent = 0;
        for (const QJsonObject& interval : intervals) {
            QCOMPARE(interval.value("station").toString(), QString("test-1"));
            QVERIFY(interval.value("id").toInteger() > lastId);
            lastId = interval.value("id").toInteger();
            const Energy e = energyBetween(readings, durations, msOf(interval.value("start")),
                                           msOf(interval.value("end")));
            QCOMPARE(interval.value("samples").toInt(), int(e.count));
            if (e.count == 0) {
                ++silent;
                // No weighting seen, no level made up.
                QVERIFY(interval.value("leq_db").isNull());
                QVERIFY(!interval.contains("laeq_db"));
                QCOMPARE(interval.value("coverage").toDouble(), 0.0);
                continue;
            }
            QVERIFY2(
                std::abs(interval.value("laeq_db").toDouble() - e.leq) < 0.006,
                qPrintable(
                    QString("%1 against %2").arg(interval.value("laeq_db").toDouble()).arg(e.leq)));
            QCOMPARE(interval.value("lmax_db").toDouble(), e.lmax);
        }
        // 20 s away: at least one whole 10 s interval without readings.
        QVERIFY(silent >= 1);

        const QList<QJsonObject> events = run.of("event");
        QCOMPARE(events.size(), 1);
        const QJsonObject event = events.first();
        const Energy e = energyBetween(readings, durations, msOf(event.value("start")), eventEnd);
        QCOMPARE(event.value("lmax_db").toDouble(), e.lmax);
        QVERIFY(std::abs(event.value("duration_s").toDouble() - e.seconds) < 0.0006);
        QVERIFY(std::abs(event.value("sel_db").toDouble() -
                         (e.leq + 10.0 * std::log10(e.seconds))) < 0.006);
        QVERIFY(event.value("id").toInteger() > 0);
    }

    // Published through a real broker: every interval that was printed
    // arrives, in order, with the LAeq of the readings; the station ends
    // offline.
    void publishesIntervalsInOrder()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        MosquittoSubscriber subscriber(broker, "audimark/test-2/#");
        QVERIFY2(subscriber.start(), qPrintable(subscriber.error()));
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--level", "60", "--seed", "3"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        MonitorRun run({"--port", link, "--interval", "10s", "--station", "test-2", "--no-archive",
                        "--format", "json", "--verbose", "--mqtt",
                        QString("mqtt://127.0.0.1:%1").arg(broker.port()), "--reading-every",
                        "1s"});
        QTRY_VERIFY_WITH_TIMEOUT(run.of("interval").size() >= 2, 60000);
        run.cli.terminate();
        QVERIFY(run.cli.waitForFinished(30000));
        QCOMPARE(run.cli.exitCode(), 0);
        run.drain();

        const QList<QJsonObject> printed = run.of("interval");
        const QString topic = "audimark/test-2/interval";
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads(topic).size(), printed.size(), 30000);
        const std::vector<Reading> readings = run.readings();
        const std::vector<qint64> durations = durationsOf(readings);
        const QList<QByteArray> published = subscriber.payloads(topic);
        for (qsizetype k = 0; k < printed.size(); ++k) {
            const QJsonObject message = QJsonDocument::fromJson(published[k]).object();
            QCOMPARE(message.value("id").toInteger(), printed[k].value("id").toInteger());
            QCOMPARE(message.value("start"), printed[k].value("start"));
            const Energy e = energyBetween(readings, durations, msOf(message.value("start")),
                                           msOf(message.value("end")));
            QCOMPARE(message.value("samples").toInt(), int(e.count));
            if (e.count == 0)
                QVERIFY(message.value("leq_db").isNull());
            else
                QVERIFY(std::abs(message.value("laeq_db").toDouble() - e.leq) < 0.006);
        }
        QVERIFY(!subscriber.payloads("audimark/test-2/reading").isEmpty());
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads("audimark/test-2/status").constLast(),
                                  QByteArray("offline"), 10000);
    }

    // An event above the threshold is published once, with the SEL that was
    // printed; the retained status says "online" while the station runs and
    // "offline" (its last will) once it is killed without a word.
    void publishesEventOnceAndDiesOffline()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        MosquittoSubscriber subscriber(broker, "audimark/test-3/#");
        QVERIFY2(subscriber.start(), qPrintable(subscriber.error()));
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--level", "55", "--seed", "5"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        MonitorRun run({"--port", link, "--interval", "10s", "--threshold", "85", "--min-duration",
                        "5s", "--station", "test-3", "--no-archive", "--format", "json",
                        "--verbose", "--mqtt", broker.url()});
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads("audimark/test-3/status"),
                                  QList<QByteArray>{"online"}, 30000);
        QCOMPARE(broker.retained("audimark/test-3/status"), QByteArray("online"));

        meter.process.write("level 100\n");
        QTRY_VERIFY_WITH_TIMEOUT(run.msAboveAtEnd(90.0) >= 7000, 30000);
        meter.process.write("level 55\n");
        QTRY_COMPARE_WITH_TIMEOUT(run.of("event").size(), 1, 30000);
        const QJsonObject printed = run.of("event").constFirst();
        // An interval that closed after the event has arrived: the event had
        // its chance to come twice.
        const QString intervals = "audimark/test-3/interval";
        QTRY_VERIFY_WITH_TIMEOUT(
            !subscriber.payloads(intervals).isEmpty() &&
                msOf(QJsonDocument::fromJson(subscriber.payloads(intervals).constLast())
                         .object()
                         .value("start")) >= msOf(printed.value("end")),
            40000);
        const QList<QByteArray> events = subscriber.payloads("audimark/test-3/event");
        QCOMPARE(events.size(), 1);
        const QJsonObject published = QJsonDocument::fromJson(events.first()).object();
        QCOMPARE(published.value("id"), printed.value("id"));
        QCOMPARE(published.value("start"), printed.value("start"));
        QCOMPARE(published.value("sel_db"), printed.value("sel_db"));
        QVERIFY(published.value("sel_db").toDouble() > 100.0);

        ::kill(pid_t(run.cli.processId()), SIGKILL);
        QVERIFY(run.cli.waitForFinished(10000));
        QTRY_COMPARE_WITH_TIMEOUT(subscriber.payloads("audimark/test-3/status"),
                                  (QList<QByteArray>{"online", "offline"}), 30000);
        QCOMPARE(broker.retained("audimark/test-3/status"), QByteArray("offline"));
    }

    // The broker goes away for about three intervals and comes back on the
    // same port: a subscriber whose session the broker kept receives every
    // interval the station printed, in order, none twice.
    void publishesEveryIntervalAfterBrokerRestart()
    {
        MosquittoBroker broker;
        QVERIFY2(broker.start(), qPrintable(broker.error()));
        MosquittoSubscriber subscriber(broker, "audimark/test-4/interval");
        QVERIFY2(subscriber.start(), qPrintable(subscriber.error()));
        QTemporaryDir dir;
        const QString link = dir.filePath("meter");
        VirtualMeterProcess meter({"--link", link, "--level", "60", "--seed", "9"});
        QVERIFY(meter.waitForPath().startsWith("/dev/"));
        MonitorRun run({"--port", link, "--interval", "10s", "--station", "test-4",
                        "--no-archive", "--format", "json", "--verbose", "--mqtt", broker.url()});
        const QString topic = "audimark/test-4/interval";
        QTRY_VERIFY_WITH_TIMEOUT(!subscriber.payloads(topic).isEmpty(), 60000);

        // Stopped once the subscriber has acknowledged what it received, so
        // that no message is on its way when the broker goes; one taken
        // half-way could come again under QoS 1, and that is not what this
        // test is after.
        QTRY_VERIFY_WITH_TIMEOUT(
            broker.log().count("Received PUBACK from audimark-test-subscriber") >=
                subscriber.payloads(topic).size(),
            30000);
        broker.stop();
        const qsizetype printedBefore = run.of("interval").size();
        QTRY_VERIFY_WITH_TIMEOUT(run.of("interval").size() >= printedBefore + 3, 60000);
        QVERIFY2(broker.startAgain(), qPrintable(broker.error()));
        QTRY_VERIFY_WITH_TIMEOUT(run.of("interval").size() >= printedBefore + 4, 30000);
        run.cli.terminate();
        QVERIFY(run.cli.waitForFinished(30000));
        QCOMPARE(run.cli.exitCode(), 0);
        run.drain();

        QList<qint64> printed;
        for (const QJsonObject& interval : run.of("interval"))
            printed.append(interval.value("id").toInteger());
        auto received = [&] {
            QList<qint64> ids;
            for (const QByteArray& payload : subscriber.payloads(topic))
                ids.append(QJsonDocument::fromJson(payload).object().value("id").toInteger());
            return ids;
        };
        QTRY_COMPARE_WITH_TIMEOUT(received(), printed, 30000);
    }

    void textLines_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("interval");
        QTest::addColumn<QString>("silent");
        QTest::addColumn<QString>("event");
        QTest::newRow("C") << "C"
                           << "2026-12-08 10:15:00  60 s  LAeq 65.4 dB  LAFmax 80.2  LAFmin 50.1  "
                              "LAF10 70.0  LAF50 64.9  LAF90 55.5  540 readings  coverage 90.0 %  "
                              "OVER 2"
                           << "2026-12-08 10:15:00  60 s  no readings  coverage 0.0 %"
                           << "event 2026-12-08 10:15:03 - 10:15:15  12.5 s  LAmax 92.1 dB  "
                              "LAeq 90.0 dB  SEL 101.0 dB";
        QTest::newRow("decimal comma")
            << "de_DE"
            << "2026-12-08 10:15:00  60 s  LAeq 65,4 dB  LAFmax 80,2  LAFmin 50,1  LAF10 70,0  "
               "LAF50 64,9  LAF90 55,5  540 readings  coverage 90,0 %  OVER 2"
            << "2026-12-08 10:15:00  60 s  no readings  coverage 0,0 %"
            << "event 2026-12-08 10:15:03 - 10:15:15  12,5 s  LAmax 92,1 dB  LAeq 90,0 dB  SEL "
               "101,0 dB";
    }

    void textLines()
    {
        QFETCH(QString, locale);
        QFETCH(QString, interval);
        QFETCH(QString, silent);
        QFETCH(QString, event);
        qputenv("TZ", "UTC");
        const qint64 start = 1'796'724'900'000; // 2026-12-08 10:15:00 UTC
        MonitorInterval i;
        i.startMs = start;
        i.endMs = start + 60'000;
        i.readings = 540;
        i.leq = 65.43;
        i.lmax = 80.2;
        i.lmin = 50.1;
        i.l10 = 70.0;
        i.l50 = 64.9;
        i.l90 = 55.5;
        i.coverage = 0.9;
        i.overRange = 2;
        i.weighting = AcousticWeighting::A;
        i.timeWeighting = TimeWeightingSeen::Fast;
        QCOMPARE(MonitorLines::interval(i, QLocale(locale)), interval);
        MonitorInterval none;
        none.startMs = start;
        none.endMs = start + 60'000;
        QCOMPARE(MonitorLines::interval(none, QLocale(locale)), silent);
        MonitorEvent e;
        e.startMs = start + 3'000;
        e.endMs = start + 15'500;
        e.durationSeconds = 12.5;
        e.lmax = 92.1;
        e.leq = 90.0;
        e.sel = 100.97;
        e.weighting = AcousticWeighting::A;
        QCOMPARE(MonitorLines::event(e, QLocale(locale)), event);
    }

    void refusesWhatDoesNotRead_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("message");
        QTest::newRow("interval") << QStringList{"--interval", "7s"}
                                  << "--interval must be 10s, 1m, 5m, 15m or 1h";
        QTest::newRow("station") << QStringList{"--station", "a/b"}
                                 << "--station needs 1 to 64 letters, digits, '.', '_' or '-'";
        QTest::newRow("hysteresis alone") << QStringList{"--hysteresis", "2"}
                                          << "--min-duration and --hysteresis go with --threshold";
        QTest::newRow("reading-every without a broker")
            << QStringList{"--reading-every", "1s"}
            << "--mqtt-password-file, --mqtt-ca-file and --reading-every go with --mqtt";
    }

    void refusesWhatDoesNotRead()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, message);
        QProcess cli;
        cli.start(qEnvironmentVariable("AUDIMARK_CLI"), QStringList{"monitor"} + arguments);
        QVERIFY(cli.waitForFinished(10000));
        QCOMPARE(cli.exitCode(), 2);
        QCOMPARE(QString::fromLocal8Bit(cli.readAllStandardError()).section('\n', 0, 0),
                 "audimark-cli: " + message);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestCliMonitor)
#include "tst_climonitor.moc"
