// The monitoring core on readings with known times: interval levels against
// a computation of their own, events against ExceedanceEvents::find on the
// same readings, gaps as coverage, and the clock the intervals align to.

#include "acoustics/ExceedanceEvents.h"
#include "acoustics/SampleTiming.h"
#include "common/TestMain.h"
#include "monitor/NoiseMonitor.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <vector>

namespace {

// 2026-12-08 00:00:00 UTC.
constexpr qint64 kDay = 1'796'688'000'000;
// Days from 30 December 1899 to the Unix epoch.
constexpr double kEpochDays = 25569.0;

struct Segment
{
    double level;
    int count;
    qint64 gapAfterMs = 0; // silence after the segment
    bool weightingA = true;
    bool over = false;
};

} // namespace

Q_DECLARE_METATYPE(Segment)

namespace {

struct Stream
{
    std::vector<qint64> ms;
    std::vector<float> levels;
    std::vector<bool> weightingA;
    std::vector<bool> over;
};

// Readings every spacingMs from startMs; a little ripple keeps the levels
// apart so that percentiles and energy means mean something.
Stream streamOf(qint64 startMs, qint64 spacingMs, const QList<Segment>& segments, bool ripple)
{
    Stream s;
    qint64 t = startMs;
    int k = 0;
    for (const Segment& segment : segments) {
        for (int i = 0; i < segment.count; ++i, ++k) {
            const double wobble = ripple ? double((k * 7) % 11 - 5) / 10.0 : 0.0;
            s.ms.push_back(t);
            s.levels.push_back(float(std::round((segment.level + wobble) * 10.0) / 10.0));
            s.weightingA.push_back(segment.weightingA);
            s.over.push_back(segment.over);
            t += spacingMs;
        }
        t += segment.gapAfterMs;
    }
    return s;
}

struct Result
{
    QList<MonitorInterval> intervals;
    QList<qint64> closedAt; // the monitor's time when each interval came
    QList<MonitorEvent> events;
};

// Fed as the command line feeds it: a tick every 250 ms, the readings in
// between, the end 1 ms after the last reading.
Result run(const Stream& s, const MonitorSettings& settings)
{
    Result result;
    NoiseMonitor monitor(settings);
    qint64 now = s.ms.front();
    monitor.setIntervalHandler([&](const MonitorInterval& i) {
        result.intervals.append(i);
        result.closedAt.append(now);
    });
    monitor.setEventHandler([&](const MonitorEvent& e) { result.events.append(e); });
    monitor.start(now);
    for (std::size_t i = 0; i < s.ms.size(); ++i) {
        for (qint64 tick = now - now % 250 + 250; tick < s.ms[i]; tick += 250)
            monitor.advanceTo(now = tick);
        MeterReading reading;
        reading.level = s.levels[i];
        reading.weightingA = s.weightingA[i];
        reading.fast = true;
        reading.over = s.over[i];
        monitor.addReading(reading, now = s.ms[i]);
    }
    monitor.finish(now = s.ms.back() + 1);
    return result;
}

// Each reading's time: up to the next one, the nominal spacing before a gap
// (over 1.5 times it) and for the last.
std::vector<qint64> durationsOf(const Stream& s, qint64 nominalMs)
{
    std::vector<qint64> d(s.ms.size(), nominalMs);
    for (std::size_t i = 0; i + 1 < s.ms.size(); ++i) {
        const qint64 step = s.ms[i + 1] - s.ms[i];
        if (step > 0 && step <= nominalMs * 3 / 2)
            d[i] = step;
    }
    return d;
}

} // namespace

class TestNoiseMonitor : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { qputenv("TZ", "UTC"); }

    void intervals_data()
    {
        QTest::addColumn<qint64>("startMs");
        QTest::addColumn<qint64>("spacingMs");
        QTest::addColumn<qint64>("intervalMs");
        QTest::addColumn<QList<Segment>>("segments");
        QTest::addColumn<int>("silentIntervals"); // closed without a reading

        QTest::newRow("100 ms readings, 10 s, started mid-interval")
            << kDay + 3'200 << qint64(100) << qint64(10'000)
            << QList<Segment>{{62.0, 150}, {75.0, 100}, {58.0, 120}} << 0;
        QTest::newRow("1 s readings, 1 min") << kDay + 59'000 << qint64(1000) << qint64(60'000)
                                             << QList<Segment>{{70.0, 100}, {50.0, 90}} << 0;
        QTest::newRow("meter unplugged for 20 s")
            << kDay << qint64(100) << qint64(10'000)
            << QList<Segment>{{65.0, 100, 20'000}, {68.0, 150}} << 2;
        QTest::newRow("a short gap inside an interval")
            << kDay + 500 << qint64(200) << qint64(10'000)
            << QList<Segment>{{80.0, 30, 3'000}, {60.0, 60}} << 0;
    }

    void intervals()
    {
        QFETCH(qint64, startMs);
        QFETCH(qint64, spacingMs);
        QFETCH(qint64, intervalMs);
        QFETCH(QList<Segment>, segments);
        QFETCH(int, silentIntervals);
        const Stream s = streamOf(startMs, spacingMs, segments, true);
        const Result result = run(s, {intervalMs, std::nullopt});

        const std::vector<qint64> durations = durationsOf(s, spacingMs);
        const qint64 first = startMs - startMs % intervalMs;
        const qint64 last = s.ms.back() - s.ms.back() % intervalMs;
        QCOMPARE(result.intervals.size(), qsizetype((last - first) / intervalMs + 1));
        int silent = 0;
        for (qsizetype k = 0; k < result.intervals.size(); ++k) {
            const MonitorInterval& got = result.intervals[k];
            const qint64 start = first + k * intervalMs;
            QCOMPARE(got.startMs, start);
            QCOMPARE(got.endMs, start + intervalMs);
            double energy = 0.0;
            double seconds = 0.0;
            qint64 covered = 0;
            std::vector<float> inside;
            for (std::size_t i = 0; i < s.ms.size(); ++i) {
                const qint64 end = s.ms[i] + durations[i];
                covered += std::max<qint64>(0, std::min(end, start + intervalMs) -
                                                   std::max(s.ms[i], start));
                if (s.ms[i] < start || s.ms[i] >= start + intervalMs)
                    continue;
                inside.push_back(s.levels[i]);
                energy += double(durations[i]) / 1000.0 * std::pow(10.0, s.levels[i] / 10.0);
                seconds += double(durations[i]) / 1000.0;
            }
            QCOMPARE(got.coveredMs, covered);
            QCOMPARE(got.readings, qsizetype(inside.size()));
            if (inside.empty()) {
                ++silent;
                QVERIFY(!got.hasLevels());
                QCOMPARE(got.leq, 0.0);
                // Closed by the ticks, not only by the next reading.
                QVERIFY(result.closedAt[k] < got.endMs + 2 * spacingMs + 250);
                continue;
            }
            QVERIFY(std::abs(got.leq - 10.0 * std::log10(energy / seconds)) < 1e-9);
            std::sort(inside.begin(), inside.end());
            QCOMPARE(got.lmin, double(inside.front()));
            QCOMPARE(got.lmax, double(inside.back()));
            // L90: exceeded by 90 %: rank ceil(0.1 N) from below.
            const auto rank = std::size_t(std::ceil(0.1 * double(inside.size()) - 1e-9));
            QCOMPARE(got.l90, double(inside[std::max<std::size_t>(rank, 1) - 1]));
            QVERIFY(got.weighting == AcousticWeighting::A);
            QCOMPARE(got.timeWeighting, TimeWeightingSeen::Fast);
        }
        QCOMPARE(silent, silentIntervals);
    }

    void eventsAsFound_data()
    {
        QTest::addColumn<qint64>("spacingMs");
        QTest::addColumn<QList<Segment>>("segments");
        QTest::addColumn<int>("expected");

        QTest::newRow("one event")
            << qint64(100) << QList<Segment>{{60.0, 200}, {92.0, 150}, {60.0, 200}} << 1;
        QTest::newRow("too short")
            << qint64(100) << QList<Segment>{{60.0, 50}, {92.0, 50}, {60.0, 50}} << 0;
        QTest::newRow("held by the hysteresis")
            << qint64(100) << QList<Segment>{{92.0, 80}, {83.6, 30}, {92.0, 80}, {60.0, 10}} << 1;
        QTest::newRow("a dip below the release splits it")
            << qint64(100) << QList<Segment>{{92.0, 120}, {80.0, 5}, {92.0, 120}, {60.0, 10}} << 2;
        QTest::newRow("a gap ends it")
            << qint64(100) << QList<Segment>{{92.0, 120, 5'000}, {92.0, 120}, {60.0, 10}} << 2;
        QTest::newRow("open at the end")
            << qint64(100) << QList<Segment>{{60.0, 10}, {92.0, 150}} << 1;
        QTest::newRow("1 s readings")
            << qint64(1000) << QList<Segment>{{60.0, 5}, {95.0, 15}, {60.0, 5}} << 1;
        QTest::newRow("at the threshold is not above")
            << qint64(100) << QList<Segment>{{85.0, 200}} << 0;
    }

    void eventsAsFound()
    {
        QFETCH(qint64, spacingMs);
        QFETCH(QList<Segment>, segments);
        QFETCH(int, expected);
        const EventCriteria criteria{85.0, 10.0, 2.0};
        const Stream s = streamOf(kDay + 1234, spacingMs, segments, false);
        const Result result = run(s, {10'000, criteria});

        std::vector<double> times;
        for (const qint64 ms : s.ms)
            times.push_back(kEpochDays + double(ms) / double(SampleTiming::kDayMs));
        const SampleTiming timing = SampleTiming::of(times, s.levels, 1.0);
        const QList<ExceedanceEvent> found = ExceedanceEvents::find(timing, s.levels, criteria);
        const qint64 epoch = qint64(kEpochDays) * SampleTiming::kDayMs;

        QCOMPARE(result.events.size(), qsizetype(expected));
        QCOMPARE(result.events.size(), found.size());
        for (qsizetype k = 0; k < found.size(); ++k) {
            const MonitorEvent& got = result.events[k];
            QCOMPARE(got.startMs, found[k].startMs - epoch);
            QCOMPARE(got.endMs, found[k].endMs - epoch);
            QCOMPARE(got.durationSeconds, found[k].durationSeconds);
            QCOMPARE(got.lmax, found[k].lmax);
            QCOMPARE(got.leq, found[k].leq);
            QCOMPARE(got.sel, found[k].sel);
        }
    }

    void rangeAndWeightingCounted()
    {
        const Stream s = streamOf(
            kDay, 100, {{70.0, 40}, {135.0, 10, 0, true, true}, {70.0, 30, 0, false}}, false);
        const Result result = run(s, {10'000, std::nullopt});
        QCOMPARE(result.intervals.size(), 1);
        QCOMPARE(result.intervals[0].overRange, 10);
        QCOMPARE(result.intervals[0].underRange, 0);
        QVERIFY(result.intervals[0].weighting == AcousticWeighting::Mixed);
    }

    void alignsToLocalClock_data()
    {
        QTest::addColumn<QByteArray>("zone");
        QTest::addColumn<qint64>("intervalMs");
        QTest::addColumn<qint64>("at");
        QTest::addColumn<qint64>("expectedStart");
        QTest::newRow("UTC, 15 min")
            << QByteArray("UTC") << qint64(900'000) << kDay + 1'000'000 << kDay + 900'000;
        // 05:30 ahead: a local hour starts at :30 UTC.
        QTest::newRow("India, 1 h") << QByteArray("Asia/Kolkata") << qint64(3'600'000)
                                    << kDay + 1'000'000 << kDay - 1'800'000;
    }

    void alignsToLocalClock()
    {
        QFETCH(QByteArray, zone);
        QFETCH(qint64, intervalMs);
        QFETCH(qint64, at);
        QFETCH(qint64, expectedStart);
        qputenv("TZ", zone);
        const NoiseMonitor monitor({intervalMs, std::nullopt});
        const auto [start, end] = monitor.intervalAround(at);
        qputenv("TZ", "UTC");
        QCOMPARE(start, expectedStart);
        QCOMPARE(end, expectedStart + intervalMs);
    }

    void intervalTexts_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<qint64>("ms");
        QTest::newRow("10s") << QStringLiteral("10s") << qint64(10'000);
        QTest::newRow("1m") << QStringLiteral("1m") << qint64(60'000);
        QTest::newRow("60m") << QStringLiteral("60m") << qint64(3'600'000);
        QTest::newRow("15m") << QStringLiteral("15m") << qint64(900'000);
        QTest::newRow("7s is not offered") << QStringLiteral("7s") << qint64(0);
        QTest::newRow("garbage") << QStringLiteral("1 minute") << qint64(0);
    }

    void intervalTexts()
    {
        QFETCH(QString, text);
        QFETCH(qint64, ms);
        QCOMPARE(NoiseMonitor::intervalOf(text).value_or(0), ms);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestNoiseMonitor)
#include "tst_noisemonitor.moc"
