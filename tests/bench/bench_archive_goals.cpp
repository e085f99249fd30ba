// Figures of the measurement archive, each beside what it is weighed against.
// Run by hand (QT_QPA_PLATFORM=offscreen), one part or all:
//   bench_archive_goals live [SECONDS]  a live recording at 10 samples/s
//        through RealTimeRecorder and RealTimeArchiver on the fake clock,
//        SECONDS of stream per round (840: two chunks' worth), paired with
//        the same recording without an archive; CPU time (user + system)
//        per second of stream, the archive's share of a core.
//   bench_archive_goals store   a full 64 KB logger memory (one set of
//        32,000 samples; 16 sets of 2,000) stored with
//        LoggerImageArchiver::store on a fresh SQLite archive, paired with
//        the same samples written as CSV files by the graph export.
//   bench_archive_goals size    bytes on disk per sample of 1,000,000
//        samples: a live recording committed once a second, and logger
//        memories (their images kept too, compressed). 100,000 synced commits: with
//        AUDIMARK_BENCH_DIR=/dev/shm/... it takes seconds, the bytes the same.
//   bench_archive_goals open    listing 10,000 measurements (the archive,
//        and the History window's model with the rows a window shows) and
//        opening a 99,999-sample one (the read, and the graph window filled
//        and painted), on SQLite paired with PostgreSQL on this machine.
// AUDIMARK_BENCH_ROUNDS rounds each (default 9); AUDIMARK_BENCH_DIR where
// the archive files go (default a temporary folder). Every figure is the
// median of the rounds with their minimum and maximum; ratios are taken
// round by round, A and B timed in turn (A B, B A, ...) after a warm-up.
// Prints figures; asserts nothing.

#include "PairedRounds.h"
#include "app/TfrmHistory.h"
#include "archive/Archive.h"
#include "archive/ArchiveRecording.h"
#include "archive/LoggerImageArchiver.h"
#include "archive/MeasurementTableModel.h"
#include "common/FakeMeterClock.h"
#include "common/PostgresServer.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/GraphExport.h"
#include "graph/GraphWindowState.h"
#include "graph/TfrmGraph.h"
#include "logger/RecordDecoder.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeRecorder.h"
#include "realtime/RealTimeSampleSink.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <sys/resource.h>

#include <cmath>
#include <cstdio>
#include <functional>
#include <random>

using PairedRounds::median;
using PairedRounds::spread;

namespace {

int rounds()
{
    const int n = qEnvironmentVariableIntValue("AUDIMARK_BENCH_ROUNDS");
    return n > 0 ? n : 9;
}

// User and system time of the process, in ms.
double usageMs()
{
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    const auto ms = [](const timeval& t) {
        return double(t.tv_sec) * 1e3 + double(t.tv_usec) / 1e3;
    };
    return ms(u.ru_utime) + ms(u.ru_stime);
}

struct Timed
{
    double cpuMs = 0.0;
    double wallMs = 0.0;
};

Timed timed(const std::function<void()>& work)
{
    QElapsedTimer wall;
    const double cpu = usageMs();
    wall.start();
    work();
    return {usageMs() - cpu, double(wall.nsecsElapsed()) / 1e6};
}

// A and B in turn, round by round; `prepare` (untimed) before each run.
struct Pairs
{
    std::vector<double> aCpu, bCpu, aWall, bWall, cpuRatio, wallRatio;
};

Pairs inTurn(
    int count, const std::function<void()>& a, const std::function<void()>& b,
    const std::function<void()>& prepare = [] {})
{
    prepare();
    a();
    prepare();
    b();
    Pairs p;
    for (int r = 0; r < count; ++r) {
        Timed ta;
        Timed tb;
        for (int turn = 0; turn < 2; ++turn) {
            prepare();
            if ((turn == 0) == (r % 2 == 0))
                ta = timed(a);
            else
                tb = timed(b);
        }
        p.aCpu.push_back(ta.cpuMs);
        p.bCpu.push_back(tb.cpuMs);
        p.aWall.push_back(ta.wallMs);
        p.bWall.push_back(tb.wallMs);
        p.cpuRatio.push_back(ta.cpuMs / std::max(tb.cpuMs, 1e-3));
        p.wallRatio.push_back(ta.wallMs / std::max(tb.wallMs, 1e-3));
    }
    return p;
}

void print(const QString& text)
{
    std::printf("%s\n", qPrintable(text));
    std::fflush(stdout);
}

QString dataDirectory(const QTemporaryDir& temp)
{
    const QString dir = qEnvironmentVariable("AUDIMARK_BENCH_DIR");
    if (dir.isEmpty())
        return temp.path();
    QDir().mkpath(dir);
    return dir;
}

// Levels of a room: a random walk in 0.1 dB steps between 35 and 110 dB.
class Levels
{
public:
    explicit Levels(unsigned seed) : m_random(seed) {}
    int nextTenths()
    {
        m_tenths = std::clamp(m_tenths + int(std::lround(m_step(m_random))), 350, 1100);
        return m_tenths;
    }

private:
    std::mt19937 m_random;
    std::normal_distribution<double> m_step{0.0, 6.0};
    int m_tenths = 600;
};

// --- live ----------------------------------------------------------------

class NullSink : public RealTimeSampleSink
{
public:
    bool appendSample(double, float level, AcousticWeighting) override
    {
        sum += level;
        return false;
    }
    void finishRealTimeGraph() override {}
    double sum = 0.0;
};

int live(const QString& dir, int seconds)
{
    ArchiveOpenResult opened = Archive::open(dir + QStringLiteral("/live.sqlite"));
    if (!opened.archive) {
        print(opened.error);
        return 1;
    }
    Archive* archive = opened.archive.get();
    FakeMeterClock clock;
    NullSink sink;
    RealTimeRecorder recorder(clock);
    recorder.setSink(&sink);
    RealTimeArchiver archiver(recorder, clock);
    bool archiving = true;
    archiver.setArchive([&] { return archiving ? archive : nullptr; });
    archiver.setMeter([] {
        return RealTimeArchiver::Meter{QStringLiteral("841"), QStringLiteral("/dev/ttyUSB0")};
    });
    int failures = 0;
    QObject::connect(&archiver, &RealTimeArchiver::writeFailed, [&](const QString& error) {
        if (failures++ == 0)
            print(error);
    });
    Levels levels(10);
    std::mt19937 jitter(7);
    std::uniform_int_distribution<int> lateMs(0, 4);
    qint64 samples = 0;
    // A recording of `seconds` of the meter's frames every 100 to 104 ms.
    const auto record = [&](bool withArchive) {
        archiving = withArchive;
        recorder.start(0.1f);
        for (qint64 ms = 0; ms < qint64(seconds) * 1000;) {
            const int step = 100 + lateMs(jitter);
            clock.advance(step);
            ms += step;
            MeterReading r;
            r.level = float(levels.nextTenths()) / 10.0f;
            r.weightingA = true;
            recorder.sampleReading(r);
            ++samples;
        }
        recorder.stop();
    };
    const Pairs p = inTurn(
        rounds(), [&] { record(true); }, [&] { record(false); });
    std::vector<double> share;
    std::vector<double> perSecondA;
    std::vector<double> perSecondB;
    for (size_t r = 0; r < p.aCpu.size(); ++r) {
        perSecondA.push_back(p.aCpu[r] / seconds);
        perSecondB.push_back(p.bCpu[r] / seconds);
        // ms of CPU per s of stream, in percent of a core: ms / 1000 ms * 100.
        share.push_back((p.aCpu[r] - p.bCpu[r]) / seconds / 10.0);
    }
    std::vector<double> commitWallMs;
    for (double w : p.aWall)
        commitWallMs.push_back(w / seconds);
    print(QStringLiteral("live stream at 10 samples/s, one commit a second, %1 s of stream "
                         "per round (SQLite, synchronous FULL):")
              .arg(seconds));
    print(QStringLiteral("  CPU per second of stream: recording with the archive %1 ms, "
                         "without %2 ms")
              .arg(spread(perSecondA), spread(perSecondB)));
    print(QStringLiteral("  the archive's share of a core: %1 % (goal < 1 %)").arg(spread(share)));
    print(QStringLiteral("  wall time per second of stream with the archive (its fsync "
                         "included): %1 ms; %2 rounds, %3 samples, %4 failed writes")
              .arg(spread(commitWallMs))
              .arg(p.aCpu.size())
              .arg(samples)
              .arg(failures));
    return failures == 0 ? 0 : 1;
}

// --- store ---------------------------------------------------------------

struct LoggerMemoryFixture
{
    QByteArray image;
    DataSetCollection collection;
    qsizetype samples = 0;
};

// A logger memory of `sets` sets of `perSet` samples each, 1 s apart.
bool makeMemory(LoggerMemoryFixture& f, int sets, int perSet, const QDateTime& start, unsigned seed)
{
    vmeter::LoggerImageBuilder builder;
    Levels levels(seed);
    for (int s = 0; s < sets; ++s) {
        vmeter::LoggerRecordContent content;
        content.start = start.addSecs(qint64(s) * (perSet + 600));
        content.intervalSeconds = vmeter::LoggerImageBuilder::bcd(1);
        content.aWeighting = s % 3 != 2;
        for (int i = 0; i < perSet; ++i)
            content.samplesTenths.append(levels.nextTenths());
        if (!builder.append(content))
            return false;
    }
    f.image = builder.image();
    LoggerMemory memory;
    memory.memoryImage() = f.image;
    memory.setMemoryEnd(memory.memoryEndFromImage());
    if (decodeImage(memory, f.collection, QDateTime::currentDateTime()) != LoadResult::Ok)
        return false;
    f.samples = 0;
    for (qsizetype k = 0; k < f.collection.count(); ++k)
        f.samples += qsizetype(f.collection.valuesOf(k).size());
    return f.collection.count() == sets;
}

int store(const QString& dir)
{
    int status = 0;
    for (const auto& [sets, perSet] : {std::pair{1, 32000}, std::pair{16, 2000}}) {
        LoggerMemoryFixture f;
        if (!makeMemory(f, sets, perSet, QDateTime(QDate(2026, 3, 2), QTime(8, 0)), 42)) {
            print(QStringLiteral("the logger memory of %1 sets could not be made").arg(sets));
            return 1;
        }
        int run = 0;
        std::unique_ptr<Archive> archive;
        QString csvStem;
        QString failure;
        const LoggerImageSource source{MeasurementKind::Logger,
                                       LoggerImageArchiver::meterModelName(842),
                                       QStringLiteral("/dev/ttyUSB0"), QString()};
        const auto prepare = [&] {
            archive.reset();
            ++run;
            const QString path = dir + QStringLiteral("/store-%1.sqlite").arg(run);
            for (const char* suffix : {"", "-wal", "-shm"})
                QFile::remove(path + QLatin1String(suffix));
            ArchiveOpenResult opened = Archive::open(path);
            archive = std::move(opened.archive);
            if (!archive)
                failure = opened.error;
            csvStem = dir + QStringLiteral("/csv-%1-").arg(run);
        };
        const Pairs p = inTurn(
            rounds(),
            [&] {
                if (!archive)
                    return;
                const LoggerArchiveResult r =
                    LoggerImageArchiver::store(*archive, f.image, f.collection, source);
                if (!r.stored || r.added != sets)
                    failure = r.error;
            },
            [&] {
                for (qsizetype k = 0; k < f.collection.count(); ++k) {
                    const FileWriteOutcome written =
                        GraphExport::write(csvStem + QString::number(k) + QStringLiteral(".csv"),
                                           f.collection.timesOf(k), f.collection.valuesOf(k),
                                           ExportRange{1, int(f.collection.valuesOf(k).size())},
                                           QLatin1Char(','), QLocale::c());
                    if (written.kind != FileWriteOutcome::Written)
                        failure = written.error;
                }
            },
            prepare);
        archive.reset();
        if (!failure.isEmpty()) {
            print(failure);
            status = 1;
        }
        print(QStringLiteral("a full logger memory, %1 set(s), %2 samples, stored on a fresh "
                             "SQLite archive (A) beside the same samples as CSV files (B):")
                  .arg(sets)
                  .arg(f.samples));
        print(QStringLiteral("  store %1 ms wall (goal < 500), %2 ms CPU; CSV %3 ms wall, %4 "
                             "ms CPU")
                  .arg(spread(p.aWall), spread(p.aCpu), spread(p.bWall), spread(p.bCpu)));
        print(QStringLiteral("  A/B wall %1 (goal <= 1.5), A/B CPU %2; %3 rounds")
                  .arg(spread(p.wallRatio), spread(p.cpuRatio))
                  .arg(p.aWall.size()));
        for (const QString& name : QDir(dir).entryList({"store-*", "csv-*"}, QDir::Files))
            QFile::remove(dir + QLatin1Char('/') + name);
    }
    return status;
}

// --- size ----------------------------------------------------------------

qint64 bytesOnDisk(const QString& path)
{
    return QFileInfo(path).size() + QFileInfo(path + QStringLiteral("-wal")).size();
}

// The bytes the memory images take in the file's table, as stored (compressed).
qint64 storedImageBytes(const QString& path)
{
    qint64 bytes = 0;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("image-bytes"));
        db.setDatabaseName(path);
        QSqlQuery q(db);
        if (db.open() && q.exec(QStringLiteral("SELECT SUM(LENGTH(data)) FROM memory_images")) &&
            q.next())
            bytes = q.value(0).toLongLong();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("image-bytes"));
    return bytes;
}

void printSize(const QString& what, const QString& path, qint64 samples, qint64 imageBytes)
{
    const qint64 bytes = bytesOnDisk(path);
    QString line = QStringLiteral("  %1: %2 bytes for %3 samples = %4 bytes/sample (goal <= 3)")
                       .arg(what)
                       .arg(bytes)
                       .arg(samples)
                       .arg(double(bytes) / double(samples), 0, 'f', 3);
    if (imageBytes > 0) {
        const qint64 stored = storedImageBytes(path);
        line += QStringLiteral("; the memory images %1 of them (%2 bytes/sample), compressed "
                               "from %3 (%4 bytes/sample)")
                    .arg(stored)
                    .arg(double(stored) / double(samples), 0, 'f', 3)
                    .arg(imageBytes)
                    .arg(double(imageBytes) / double(samples), 0, 'f', 3);
    }
    print(line);
}

int size(const QString& dir)
{
    constexpr qint64 kSamples = 1000000;
    print(QStringLiteral("bytes on disk per sample, %1 samples, SQLite file after closing:")
              .arg(kSamples));
    {
        // A day and a bit of live recording at 10 samples/s, one commit a
        // second, times from a clock 100 to 104 ms apart.
        const QString path = dir + QStringLiteral("/size-live.sqlite");
        ArchiveOpenResult opened = Archive::open(path);
        if (!opened.archive) {
            print(opened.error);
            return 1;
        }
        Measurement m;
        m.start = QDateTime(QDate(2026, 3, 2), QTime(8, 0));
        m.intervalMs = 100;
        m.weighting = QStringLiteral("A");
        const qint64 id = opened.archive->addMeasurement(m).value_or(0);
        ArchiveRecording recording(*opened.archive, id);
        Levels levels(11);
        std::mt19937 jitter(8);
        std::uniform_int_distribution<int> lateMs(0, 4);
        qint64 ms = m.start.toMSecsSinceEpoch() + qint64(m.start.offsetFromUtc()) * 1000 +
                    25569LL * 86400000;
        bool ok = true;
        const Timed t = timed([&] {
            for (qint64 i = 0; i < kSamples && ok; ++i) {
                ms += 100 + lateMs(jitter);
                ok = recording.add(SampleChunk::daysFromMs(ms), float(levels.nextTenths()) / 10.0f);
            }
            ok = ok && recording.finish();
        });
        if (!ok)
            print(opened.archive->lastError());
        opened.archive.reset();
        printSize(QStringLiteral("live recording"), path, kSamples, 0);
        print(QStringLiteral("    (written in %1 s, %2 s CPU)")
                  .arg(t.wallMs / 1000, 0, 'f', 1)
                  .arg(t.cpuMs / 1000, 0, 'f', 1));
    }
    {
        // Full memories of one set each, a day apart.
        const QString path = dir + QStringLiteral("/size-logger.sqlite");
        ArchiveOpenResult opened = Archive::open(path);
        if (!opened.archive) {
            print(opened.error);
            return 1;
        }
        qint64 stored = 0;
        qint64 imageBytes = 0;
        for (int i = 0; stored < kSamples; ++i) {
            const int perSet = int(std::min<qint64>(32000, kSamples - stored));
            LoggerMemoryFixture f;
            if (!makeMemory(f, 1, perSet, QDateTime(QDate(2026, 1, 1), QTime(8, 0)).addDays(i),
                            unsigned(100 + i))) {
                print(QStringLiteral("a logger memory could not be made"));
                return 1;
            }
            const LoggerArchiveResult r = LoggerImageArchiver::store(
                *opened.archive, f.image, f.collection,
                {MeasurementKind::Logger, LoggerImageArchiver::meterModelName(842), {}, {}});
            if (!r.stored) {
                print(r.error);
                return 1;
            }
            stored += f.samples;
            imageBytes += f.image.size();
        }
        opened.archive.reset();
        printSize(QStringLiteral("logger memories of 32,000 samples"), path, stored, imageBytes);
    }
    return 0;
}

// --- open ----------------------------------------------------------------

// 9,999 measurements of every kind an hour apart, then one of 99,999
// samples a second apart; returns the big one's id.
qint64 fill(Archive& archive)
{
    Measurement m;
    m.meterModel = LoggerImageArchiver::meterModelName(842);
    m.meterPort = QStringLiteral("/dev/ttyUSB0");
    m.intervalMs = 1000;
    m.weighting = QStringLiteral("A");
    const QDateTime first(QDate(2024, 1, 1), QTime(0, 0), Qt::OffsetFromUTC, 3600);
    const MeasurementKind kinds[] = {MeasurementKind::RealTime, MeasurementKind::Logger,
                                     MeasurementKind::AutoLoad, MeasurementKind::Import};
    Levels levels(12);
    for (int i = 0; i < 9999; ++i) {
        m.kind = kinds[i % 4];
        m.start = first.addSecs(qint64(i) * 3600);
        m.end = m.start.addSecs(600 + i % 1200);
        m.site = QStringLiteral("Site %1").arg(i % 37);
        m.notes = i % 5 ? QString() : QStringLiteral("file-%1.rec").arg(i);
        const std::optional<qint64> id = archive.addMeasurement(m);
        if (!id)
            return 0;
        // A few samples each, so that every row has its points and Leq.
        std::vector<double> x;
        std::vector<float> y;
        const qint64 ms0 = m.start.toMSecsSinceEpoch() + 3600000LL + 25569LL * 86400000;
        for (int k = 0; k < 10; ++k) {
            x.push_back(SampleChunk::daysFromMs(ms0 + k * 1000));
            y.push_back(float(levels.nextTenths()) / 10.0f);
        }
        if (!archive.appendSamples(*id, x, y) || !archive.finish(*id))
            return 0;
    }
    m.kind = MeasurementKind::Logger;
    m.start = first.addSecs(qint64(9999) * 3600);
    m.end = m.start.addSecs(99999);
    m.notes.clear();
    const std::optional<qint64> big = archive.addMeasurement(m);
    if (!big)
        return 0;
    std::vector<double> x;
    std::vector<float> y;
    const qint64 ms0 = m.start.toMSecsSinceEpoch() + 3600000LL + 25569LL * 86400000;
    for (int i = 0; i < 99999; ++i) {
        x.push_back(SampleChunk::daysFromMs(ms0 + qint64(i) * 1000));
        y.push_back(float(levels.nextTenths()) / 10.0f);
    }
    if (!archive.appendSamples(*big, x, y) || !archive.finish(*big))
        return 0;
    return *big;
}

// What one engine's archive takes: the measurement to open, a model.
struct Engine
{
    std::unique_ptr<Archive> archive;
    qint64 big = 0;
    std::unique_ptr<MeasurementTableModel> model;
};

int open(const QString& dir)
{
    // SQLite filled on a memory file system (10,000 commits, each synced),
    // then moved to the folder where it is read.
    const QString shm =
        QStringLiteral("/dev/shm/audimark-bench-%1.sqlite").arg(QCoreApplication::applicationPid());
    const QString path = dir + QStringLiteral("/open.sqlite");
    Engine sqlite;
    Engine postgres;
    QElapsedTimer filling;
    filling.start();
    {
        ArchiveOpenResult opened =
            Archive::open(QFileInfo(QStringLiteral("/dev/shm")).isDir() ? shm : path);
        if (!opened.archive || !(sqlite.big = fill(*opened.archive))) {
            print(opened.archive ? opened.archive->lastError() : opened.error);
            return 1;
        }
    }
    if (QFileInfo::exists(shm)) {
        QFile::remove(path);
        if (!QFile::copy(shm, path)) {
            print(QStringLiteral("cannot copy %1 to %2").arg(shm, path));
            return 1;
        }
        QFile::remove(shm);
    }
    const double sqliteFillS = double(filling.restart()) / 1000;
    ArchiveOpenResult reopened = Archive::open(path);
    sqlite.archive = std::move(reopened.archive);
    if (!sqlite.archive) {
        print(reopened.error);
        return 1;
    }

    PostgresServer server;
    const QString passFile = dir + QStringLiteral("/pgpass");
    if (!server.start() || !server.createDatabase(QStringLiteral("bench")) ||
        !server.writePassFile(passFile)) {
        print(server.error());
        return 1;
    }
    qputenv("PGPASSFILE", QFile::encodeName(passFile));
    {
        ArchiveOpenResult opened = Archive::open(server.url(QStringLiteral("bench")));
        postgres.archive = std::move(opened.archive);
        if (!postgres.archive || !(postgres.big = fill(*postgres.archive))) {
            print(postgres.archive ? postgres.archive->lastError() : opened.error);
            return 1;
        }
    }
    const double postgresFillS = double(filling.elapsed()) / 1000;
    print(QStringLiteral("10,000 measurements and one of 99,999 samples; SQLite (a file on "
                         "disk) beside PostgreSQL (a server on this machine, fsync "
                         "off); filled in %1 s and %2 s:")
              .arg(sqliteFillS, 0, 'f', 1)
              .arg(postgresFillS, 0, 'f', 1));
    for (Engine* e : {&sqlite, &postgres})
        e->model = std::make_unique<MeasurementTableModel>(*e->archive);

    int status = 0;
    // A is PostgreSQL, B SQLite: the ratio is PostgreSQL's time over SQLite's.
    const auto report = [&](const QString& what, const Pairs& p, const QString& goal) {
        print(QStringLiteral("  %1: SQLite %2 ms, PostgreSQL %3 ms wall (%4); "
                             "PostgreSQL/SQLite %5 (goal <= 3); %6 rounds")
                  .arg(what, spread(p.bWall), spread(p.aWall), goal, spread(p.wallRatio))
                  .arg(p.aWall.size()));
    };

    size_t listed[2] = {0, 0};
    const auto list = [&](Engine& e, size_t& n) {
        const auto rows = e.archive->listMeasurements();
        n = rows ? rows->size() : 0;
    };
    report(QStringLiteral("Archive::listMeasurements"),
           inTurn(
               rounds(), [&] { list(postgres, listed[1]); }, [&] { list(sqlite, listed[0]); }),
           QStringLiteral("goal < 100 ms"));

    // The History window's listing: the model's refresh, then the cells of
    // the rows a window shows.
    QString cells;
    const auto refresh = [&](Engine& e) {
        if (!e.model->refresh()) {
            print(e.model->lastError());
            status = 1;
            return;
        }
        for (int row = 0; row < std::min(40, e.model->rowCount()); ++row)
            for (int column = 0; column < MeasurementTableModel::ColumnCount; ++column)
                cells = e.model->data(e.model->index(row, column)).toString();
    };
    report(QStringLiteral("MeasurementTableModel::refresh and 40 rows' cells"),
           inTurn(
               rounds(), [&] { refresh(postgres); }, [&] { refresh(sqlite); }),
           QStringLiteral("goal < 100 ms"));

    size_t read[2] = {0, 0};
    const auto readAll = [&](Engine& e, size_t& n) {
        const auto series = e.archive->readSamples(e.big);
        n = series ? series->x.size() : 0;
    };
    report(QStringLiteral("Archive::readSamples of 99,999 samples"),
           inTurn(
               rounds(), [&] { readAll(postgres, read[1]); }, [&] { readAll(sqlite, read[0]); }),
           QStringLiteral("goal < 300 ms"));

    // Opening as the History window does: the read, a graph window filled
    // with the series, its statistics, slider and cursors; then painted.
    GraphWindowState graphs;
    std::unique_ptr<TfrmGraph> graph;
    qint64 shown[2] = {0, 0};
    const auto openGraph = [&](Engine& e, qint64& n, bool paint) {
        const std::optional<Measurement> m = e.archive->measurement(e.big);
        const auto series = e.archive->readSamples(e.big);
        if (!m || !series)
            return;
        graph = std::make_unique<TfrmGraph>(graphs);
        graph->resize(1000, 600);
        TfrmHistory::showMeasurement(*graph, *m, *series);
        n = graph->acousticFigures(false).sampleCount;
        if (paint)
            (void)graph->grab();
    };
    const auto dropGraph = [&] { graph.reset(); };
    report(QStringLiteral("opening 99,999 samples into a graph window"),
           inTurn(
               rounds(), [&] { openGraph(postgres, shown[1], false); },
               [&] { openGraph(sqlite, shown[0], false); }, dropGraph),
           QStringLiteral("goal < 300 ms"));
    report(QStringLiteral("the same, painted once"),
           inTurn(
               rounds(), [&] { openGraph(postgres, shown[1], true); },
               [&] { openGraph(sqlite, shown[0], true); }, dropGraph),
           QStringLiteral("no goal"));
    dropGraph();
    print(QStringLiteral("  (listed %1 / %2 measurements, read %3 / %4 samples, shown %5 / %6 "
                         "points)")
              .arg(listed[0])
              .arg(listed[1])
              .arg(read[0])
              .arg(read[1])
              .arg(shown[0])
              .arg(shown[1]));
    if (listed[0] != 10000 || listed[1] != 10000 || read[0] != 99999 || read[1] != 99999)
        status = 1;
    return status;
}

} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    const QString part = args.value(0, QStringLiteral("all"));
    QTemporaryDir temp;
    const QString dir = dataDirectory(temp);
    int status = 0;
    if (part == QLatin1String("live") || part == QLatin1String("all"))
        status |= live(dir, args.value(1, QStringLiteral("840")).toInt());
    if (part == QLatin1String("store") || part == QLatin1String("all"))
        status |= store(dir);
    if (part == QLatin1String("size") || part == QLatin1String("all"))
        status |= size(dir);
    if (part == QLatin1String("open") || part == QLatin1String("all"))
        status |= open(dir);
    return status;
}
