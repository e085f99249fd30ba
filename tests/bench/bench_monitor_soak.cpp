// Soak of the monitoring core: 24 h of live readings (10 a second, as the
// meter answers) through NoiseMonitor with 1 min intervals and events, each
// interval and event stored in a station's queue file, on a made-up clock.
// Prints the resident memory after the first hour and at the end, the CPU
// time per reading and the share of a core that the live rate costs, and
// whether every interval came.
//
//   bench_monitor_soak [hours]

#include "monitor/MonitorMessages.h"
#include "monitor/NoiseMonitor.h"
#include "monitor/SqlMonitorOutbox.h"

#include <QCoreApplication>
#include <QFile>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cstdio>
#include <random>

namespace {

long residentKb()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const int hours = argc > 1 ? std::max(1, atoi(argv[1])) : 24;
    QTemporaryDir dir;
    SqlMonitorOutbox::OpenResult opened =
        SqlMonitorOutbox::open(SqlMonitorOutbox::queueFile(dir.path(), "soak"), "soak");
    if (!opened.outbox) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return 1;
    }
    SqlMonitorOutbox& outbox = *opened.outbox;

    const EventCriteria criteria{85.0, 10.0, 2.0};
    NoiseMonitor monitor({60'000, criteria});
    qint64 intervals = 0;
    qint64 events = 0;
    qint64 stored = 0;
    monitor.setIntervalHandler([&](const MonitorInterval& i) {
        ++intervals;
        stored +=
            outbox.append(MonitorMessages::IntervalTopic, MonitorMessages::interval(i, "soak")) > 0;
    });
    monitor.setEventHandler([&](const MonitorEvent& e) {
        ++events;
        stored += outbox.append(MonitorMessages::EventTopic,
                                MonitorMessages::event(e, criteria, "soak")) > 0;
    });

    // 2026-12-08 00:00:00 UTC; readings 100 ms apart with a little jitter,
    // a level that wanders, a loud minute every 20 minutes.
    const qint64 start = 1'796'688'000'000;
    std::mt19937 random(7);
    std::normal_distribution<double> step(0.0, 0.4);
    std::uniform_int_distribution<int> jitter(-3, 3);
    double walk = 55.0;
    qint64 t = start;
    const qint64 end = start + qint64(hours) * 3'600'000;
    qint64 readings = 0;
    long rssAfterHour = -1;
    double cpuAfterHour = 0.0;
    qint64 readingsAfterHour = 0;
    qint64 nextTick = start;
    monitor.start(t);
    const double cpuStart = cpuSeconds();
    while (t < end) {
        const bool loud = (t - start) % 1'200'000 < 60'000;
        walk += step(random) + ((loud ? 95.0 : 55.0) - walk) * 0.15;
        MeterReading reading;
        reading.level = float(std::round(walk * 10.0) / 10.0);
        reading.weightingA = true;
        reading.fast = true;
        monitor.addReading(reading, t);
        ++readings;
        if (t >= nextTick) {
            monitor.advanceTo(t);
            nextTick += 250;
        }
        if (rssAfterHour < 0 && t - start >= 3'600'000) {
            rssAfterHour = residentKb();
            cpuAfterHour = cpuSeconds();
            readingsAfterHour = readings;
        }
        t += 100 + jitter(random);
    }
    monitor.finish(end);
    const double cpu = cpuSeconds() - cpuStart;
    const long rssEnd = residentKb();
    const double perReadingUs = cpu / double(readings) * 1e6;
    const double laterPerReadingUs =
        (cpuSeconds() - cpuAfterHour) / double(readings - readingsAfterHour) * 1e6;
    std::printf("hours of readings:         %d (%lld readings)\n", hours, (long long)readings);
    std::printf("intervals:                 %lld (expected %lld), events %lld, stored %lld\n",
                (long long)intervals, (long long)(hours * 60), (long long)events,
                (long long)stored);
    std::printf("RSS after the first hour:  %ld kB\n", rssAfterHour);
    std::printf("RSS at the end:            %ld kB (growth %ld kB)\n", rssEnd,
                rssEnd - rssAfterHour);
    std::printf("CPU per reading:           %.2f us (after the first hour %.2f us)\n", perReadingUs,
                laterPerReadingUs);
    std::printf("share of a core at 10/s:   %.4f %%\n", perReadingUs * 10.0 / 1e6 * 100.0);
    return intervals == hours * 60 && stored == intervals + events ? 0 : 1;
}
