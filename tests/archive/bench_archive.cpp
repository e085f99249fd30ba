// Archive benchmark: bytes on disk per sample for 1,000,000 samples in an
// SQLite archive, and the cost of appending a live stream at 10 samples/s
// (ten samples committed once a second). Run by hand:
//   bench_archive [directory]
// The ratio beside it: the same samples written as CSV text. Then listing
// 10,000 measurements and reading a 99,999-sample one back, on SQLite and on
// a throw-away PostgreSQL server on this machine (its fsync off).

#include "archive/Archive.h"
#include "common/PostgresServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>
#include <random>

namespace {

double cpuSeconds()
{
    return double(std::clock()) / CLOCKS_PER_SEC;
}

qint64 archiveBytes(const QString& path)
{
    return QFileInfo(path).size() + QFileInfo(path + "-wal").size();
}

ArchiveSeries makeSeries(qsizetype count, bool regular, bool wildLevels)
{
    std::mt19937 random(58);
    std::normal_distribution<double> step(0.0, 8.0);
    std::uniform_int_distribution<int> wild(300, 1000);
    std::uniform_int_distribution<int> jitter(-3, 3);
    ArchiveSeries s;
    qint64 ms = 46000LL * 86400000;
    int tenths = 600;
    for (qsizetype i = 0; i < count; ++i) {
        ms += 1000 + (regular ? 0 : jitter(random));
        s.x.push_back(SampleChunk::daysFromMs(ms));
        tenths = wildLevels ? wild(random) : std::clamp(tenths + int(step(random)), 300, 1100);
        s.y.push_back(float(tenths) / 10.0f);
    }
    return s;
}

void sizeRun(const QString& dir, const char* label, bool regular, bool wildLevels)
{
    const qsizetype count = 1000000;
    const QString path = dir + QStringLiteral("/size-%1.sqlite").arg(QString::fromLatin1(label));
    const ArchiveSeries s = makeSeries(count, regular, wildLevels);
    double seconds = 0.0;
    {
        ArchiveOpenResult opened = Archive::open(path);
        if (!opened.archive) {
            std::fprintf(stderr, "%s\n", qPrintable(opened.error));
            return;
        }
        Measurement m;
        m.start = QDateTime::currentDateTime();
        m.intervalMs = 1000;
        const qint64 id = opened.archive->addMeasurement(m).value_or(0);
        if (id == 0)
            std::fprintf(stderr, "%s\n", qPrintable(opened.archive->lastError()));
        QElapsedTimer timer;
        timer.start();
        for (qsizetype i = 0; i < count; i += 32000) {
            const qsizetype n = std::min<qsizetype>(32000, count - i);
            if (!opened.archive->appendSamples(id, std::span(s.x).subspan(i, n),
                                               std::span(s.y).subspan(i, n)))
                std::fprintf(stderr, "%s\n", qPrintable(opened.archive->lastError()));
        }
        (void)opened.archive->finish(id);
        seconds = timer.nsecsElapsed() / 1e9;
    }
    QFile csv(dir + "/same.csv");
    csv.open(QIODevice::WriteOnly);
    QElapsedTimer csvTimer;
    csvTimer.start();
    for (qsizetype i = 0; i < count; ++i)
        csv.write(QByteArray::number(s.x[i], 'f', 8) + ';' + QByteArray::number(s.y[i], 'f', 1) +
                  '\n');
    csv.close();
    const double csvSeconds = csvTimer.nsecsElapsed() / 1e9;
    std::printf("%-28s %8.3f bytes/sample on disk (%lld bytes), stored in %.2f s; "
                "CSV of the same: %.2f bytes/sample in %.2f s\n",
                label, double(archiveBytes(path)) / double(count),
                static_cast<long long>(archiveBytes(path)), seconds,
                double(QFileInfo(csv.fileName()).size()) / double(count), csvSeconds);
}

void liveRun(const QString& dir)
{
    const QString path = dir + "/live.sqlite";
    ArchiveOpenResult opened = Archive::open(path);
    if (!opened.archive)
        return;
    Measurement m;
    m.start = QDateTime::currentDateTime();
    m.intervalMs = 100;
    const qint64 id = opened.archive->addMeasurement(m).value_or(0);
    const ArchiveSeries s = makeSeries(6000, false, false);
    QElapsedTimer wall;
    wall.start();
    const double cpu0 = cpuSeconds();
    for (qsizetype i = 0; i < 6000; i += 10)
        (void)opened.archive->appendSamples(id, std::span(s.x).subspan(i, 10),
                                            std::span(s.y).subspan(i, 10));
    const double cpu = cpuSeconds() - cpu0;
    std::printf("live stream, 10 samples/s:   %.3f ms CPU and %.3f ms wall per one-second "
                "append = %.3f %% of a core\n",
                cpu * 1000.0 / 600.0, wall.nsecsElapsed() / 1e6 / 600.0, cpu * 100.0 / 600.0);
}

// Median of five runs, in ms.
template <typename F> double medianMs(F f)
{
    std::vector<double> times;
    for (int i = 0; i < 5; ++i) {
        QElapsedTimer timer;
        timer.start();
        f();
        times.push_back(timer.nsecsElapsed() / 1e6);
    }
    std::sort(times.begin(), times.end());
    return times[2];
}

void queryRun(const char* label, const QString& location)
{
    ArchiveOpenResult opened = Archive::open(location);
    if (!opened.archive) {
        std::fprintf(stderr, "%s\n", qPrintable(opened.error));
        return;
    }
    Archive& archive = *opened.archive;
    QElapsedTimer fill;
    fill.start();
    Measurement m;
    m.kind = MeasurementKind::Logger;
    m.meterModel = QStringLiteral("QV58M-842");
    m.intervalMs = 2000;
    m.site = QStringLiteral("site");
    const QDateTime first(QDate(2020, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 3600);
    for (int i = 0; i < 9999; ++i) {
        m.start = first.addSecs(qint64(i) * 3600);
        (void)archive.addMeasurement(m);
    }
    m.start = first.addSecs(qint64(9999) * 3600);
    const qint64 big = archive.addMeasurement(m).value_or(0);
    const ArchiveSeries s = makeSeries(99999, true, false);
    (void)archive.appendSamples(big, s.x, s.y);
    (void)archive.finish(big);
    const double fillSeconds = fill.nsecsElapsed() / 1e9;
    size_t listed = 0;
    const double listMs = medianMs([&] { listed = archive.listMeasurements()->size(); });
    size_t read = 0;
    const double readMs = medianMs([&] { read = archive.readSamples(big)->x.size(); });
    std::printf("%-11s listing %zu measurements: %.1f ms; reading %zu samples: %.1f ms "
                "(filled in %.1f s)\n",
                label, listed, listMs, read, readMs, fillSeconds);
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QTemporaryDir temp;
    const QString dir = argc > 1 ? QString::fromLocal8Bit(argv[1]) : temp.path();
    sizeRun(dir, "regular, random walk", true, false);
    sizeRun(dir, "clock times, random walk", false, false);
    sizeRun(dir, "clock times, random levels", false, true);
    liveRun(dir);
    queryRun("SQLite", dir + "/query.sqlite");
    PostgresServer server;
    const QString passFile = dir + "/pgpass";
    if (!server.start() || !server.createDatabase("bench") || !server.writePassFile(passFile)) {
        std::fprintf(stderr, "%s\n", qPrintable(server.error()));
        return 1;
    }
    qputenv("PGPASSFILE", QFile::encodeName(passFile));
    queryRun("PostgreSQL", server.url("bench"));
    return 0;
}
