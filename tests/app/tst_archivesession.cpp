// The program's side of the measurement archive without a window: which
// archive the command line and the environment choose, and a logger memory
// kept with one measurement per data set, each stored once, also by the
// auto-load cycle before it erases.

#include "common/ArchiveRows.h"
#include "common/TestMain.h"

#include "app/ArchiveSession.h"
#include "app/CommandLineOptions.h"
#include "app/LoggerArchiving.h"
#include "archive/Archive.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "common/SettableMeterClock.h"
#include "logger/AutoLoadCycle.h"
#include "logger/KeepingAutoLoadDevice.h"
#include "logger/RecordDecoder.h"
#include "logger/ScriptedAutoLoadDevice.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

namespace {
QByteArray memoryOf(int sets, int firstSamples)
{
    vmeter::LoggerImageBuilder builder;
    for (int set = 0; set < sets; ++set) {
        vmeter::LoggerRecordContent record;
        record.start = QDateTime(QDate(2026, 3, 2), QTime(8 + set, 15, 0));
        record.aWeighting = set % 2 == 0;
        for (int i = 0; i < firstSamples + set * 10; ++i)
            record.samplesTenths << 450 + (i * 13 + set * 70) % 500;
        builder.append(record);
    }
    return builder.image();
}

// The scripted meter, telling when it is asked to erase its memory.
class ErasingDevice : public ScriptedAutoLoadDevice
{
public:
    using ScriptedAutoLoadDevice::ScriptedAutoLoadDevice;
    std::function<void()> onErase;
    void writeLogger(const QByteArray& frame) override
    {
        if (frame.mid(1, 5) == "erase" && onErase)
            onErase();
        ScriptedAutoLoadDevice::writeLogger(frame);
    }
};

qint32 memoryEndOf(const QByteArray& image)
{
    LoggerMemory memory;
    memory.memoryImage() = image;
    return memory.memoryEndFromImage();
}
} // namespace

class TestArchiveSession : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir dir_;

private slots:
    void chooseLocation_data()
    {
        QTest::addColumn<bool>("noArchive");
        QTest::addColumn<QString>("option");
        QTest::addColumn<QString>("environment");
        QTest::addColumn<QString>("expected");
        QTest::newRow("default in the data directory") << false << "" << "" << "/d/archive.sqlite";
        QTest::newRow("environment") << false << "" << "/e.sqlite" << "/e.sqlite";
        QTest::newRow("option before environment")
            << false << "postgresql://u@h/db" << "/e.sqlite" << "postgresql://u@h/db";
        QTest::newRow("switched off") << true << "" << "/e.sqlite" << "";
    }
    void chooseLocation()
    {
        QFETCH(bool, noArchive);
        QFETCH(QString, option);
        QFETCH(QString, environment);
        QFETCH(QString, expected);
        QCOMPARE(ArchiveSession::chooseLocation(noArchive, option, environment,
                                                QStringLiteral("/d")),
                 expected);
    }

    void commandLine_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<QString>("location");
        QTest::addColumn<bool>("noArchive");
        QTest::addColumn<bool>("bad");
        QTest::newRow("file") << QStringList{"--archive", "/tmp/a.sqlite"} << "/tmp/a.sqlite"
                              << false << false;
        QTest::newRow("url with =") << QStringList{"--archive=postgresql://me@db:5433/noise"}
                                    << "postgresql://me@db:5433/noise" << false << false;
        QTest::newRow("switched off") << QStringList{"--no-archive"} << "" << true << false;
        QTest::newRow("no value") << QStringList{"--archive"} << "" << false << true;
        QTest::newRow("password in the url")
            << QStringList{"--archive", "postgresql://me:secret@db/noise"}
            << "postgresql://me:secret@db/noise" << false << true;
        QTest::newRow("both") << QStringList{"--no-archive", "--archive", "/tmp/a.sqlite"}
                              << "/tmp/a.sqlite" << true << true;
    }
    void commandLine()
    {
        QFETCH(QStringList, arguments);
        QFETCH(QString, location);
        QFETCH(bool, noArchive);
        QFETCH(bool, bad);
        const CommandLineOptions o =
            CommandLineOptions::parse(QStringList{QStringLiteral("audimark")} + arguments);
        QCOMPARE(!o.error.isEmpty(), bad);
        QVERIFY(!o.error.contains(QLatin1String("secret")));
        QCOMPARE(o.archiveLocation, location);
        QCOMPARE(o.noArchive, noArchive);
        // The value is not taken for a request of help.
        QCOMPARE(CommandLineOptions::earlyRequest(
                     {QStringLiteral("audimark"), QStringLiteral("--archive"), QStringLiteral("-h")}),
                 CommandLineOptions::EarlyRequest::None);
    }

    void loggerMemoryIsKeptOnce_data()
    {
        QTest::addColumn<int>("sets");
        QTest::addColumn<int>("samples");
        QTest::newRow("one set") << 1 << 40;
        QTest::newRow("three sets") << 3 << 300;
        QTest::newRow("a set over one chunk") << 2 << 5000;
    }
    void loggerMemoryIsKeptOnce()
    {
        QFETCH(int, sets);
        QFETCH(int, samples);
        const QString path =
            dir_.filePath(QStringLiteral("logger-%1.sqlite").arg(QTest::currentDataTag()));
        ArchiveSession session;
        QVERIFY(session.open(path));
        const QByteArray image = memoryOf(sets, samples);
        const auto meter = [](MeasurementKind kind) {
            return LoggerImageSource{kind, LoggerImageArchiver::meterModelName(842),
                                     QStringLiteral("/dev/pts/9"), QString()};
        };
        const QDateTime now(QDate(2026, 12, 1), QTime(12, 0));

        const LoggerArchiveResult first = LoggerImageArchiver::storeMemory(
            *session.archive(), image, memoryEndOf(image), now, meter(MeasurementKind::Logger));
        QVERIFY2(first.stored, qPrintable(first.error));
        QCOMPARE(first.added, sets);
        QVERIFY(first.imageId > 0);

        // The same memory again, then with one more set behind the others.
        const LoggerArchiveResult again = LoggerImageArchiver::storeMemory(
            *session.archive(), image, memoryEndOf(image), now, meter(MeasurementKind::AutoLoad));
        QVERIFY(again.stored);
        QCOMPARE(again.imageId, first.imageId);
        QCOMPARE(again.added, 0);
        QCOMPARE(again.measurementIds, first.measurementIds);
        const QByteArray grown = memoryOf(sets + 1, samples);
        const LoggerArchiveResult more = LoggerImageArchiver::storeMemory(
            *session.archive(), grown, memoryEndOf(grown), now, meter(MeasurementKind::AutoLoad));
        QCOMPARE(more.added, 1);
        QCOMPARE(qsizetype(more.measurementIds.size()), qsizetype(sets + 1));

        DataSetCollection decoded;
        decoded.replace(walkRecords(grown, memoryEndOf(grown), now).headers, grown);
        // Newest first: the set added last leads, under the kind it came with.
        const auto list = session.archive()->listMeasurements();
        QCOMPARE(qsizetype(list->size()), qsizetype(sets + 1));
        const Measurement& m = list->front();
        QCOMPARE(m.kind, MeasurementKind::AutoLoad);
        QCOMPARE(m.start, QDateTime(QDate(2026, 3, 2), QTime(8 + sets, 15, 0)));
        QCOMPARE(m.intervalMs, qint64(2000));
        QCOMPARE(m.weighting, sets % 2 == 0 ? QStringLiteral("A") : QStringLiteral("C"));
        const auto y = decoded.valuesOf(sets);
        QCOMPARE(session.archive()->readSamples(m.id)->y, std::vector<float>(y.begin(), y.end()));
        session.close();
        QCOMPARE(countRows(path, QStringLiteral("memory_images")), 2);
        QCOMPARE(countRows(path, QStringLiteral("measurements")), sets + 1);
    }

    // A memory is stored whole or not at all: a write failing at its last
    // set leaves nothing behind, and the next load stores every set.
    void memoryIsStoredWholeOrNotAtAll()
    {
        const QString path = dir_.filePath(QStringLiteral("whole.sqlite"));
        ArchiveSession session;
        QVERIFY(session.open(path));
        const int sets = 3;
        const QByteArray image = memoryOf(sets, 40);
        const QDateTime now(QDate(2026, 12, 1), QTime(12, 0));
        const LoggerImageSource source{MeasurementKind::Logger,
                                       LoggerImageArchiver::meterModelName(842), QString(),
                                       QString()};
        QVERIFY(execOnArchive(
            path, QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON sample_chunks "
                                 "WHEN (SELECT COUNT(*) FROM sample_chunks) >= %1 BEGIN "
                                 "SELECT RAISE(FAIL, 'database or disk is full'); END")
                      .arg(sets - 1)));
        const LoggerArchiveResult failed = LoggerImageArchiver::storeMemory(
            *session.archive(), image, memoryEndOf(image), now, source);
        QVERIFY(!failed.stored);
        QVERIFY2(failed.error.contains(QLatin1String("disk is full")), qPrintable(failed.error));
        QCOMPARE(countRows(path, QStringLiteral("measurements")), 0);
        QCOMPARE(countRows(path, QStringLiteral("memory_images")), 0);

        QVERIFY(execOnArchive(path, QStringLiteral("DROP TRIGGER full")));
        const LoggerArchiveResult stored = LoggerImageArchiver::storeMemory(
            *session.archive(), image, memoryEndOf(image), now, source);
        QVERIFY2(stored.stored, qPrintable(stored.error));
        QCOMPARE(stored.added, sets);
        const auto list = session.archive()->listMeasurements();
        QCOMPARE(qsizetype(list->size()), qsizetype(sets));
        for (const Measurement& m : *list)
            QVERIFY(!m.unfinished);
    }

    // Each auto-load cycle keeps what it downloaded, before it erases.
    void autoLoadCycleKeepsItsDownload_data()
    {
        QTest::addColumn<int>("download"); // LoadResult
        QTest::addColumn<int>("kept");
        QTest::newRow("two sets downloaded") << int(LoadResult::Ok) << 2;
        QTest::newRow("download broke off") << int(LoadResult::Incomplete) << 0;
    }
    void autoLoadCycleKeepsItsDownload()
    {
        QFETCH(int, download);
        QFETCH(int, kept);
        QTemporaryDir files;
        const QString path =
            dir_.filePath(QStringLiteral("autoload-%1.sqlite").arg(QTest::currentDataTag()));
        ArchiveSession session;
        QVERIFY(session.open(path));
        SettableMeterClock clock;
        ErasingDevice device(clock);
        device.image = memoryOf(2, 60);
        device.downloadResult = LoadResult(download);
        // What the archive holds when the meter is told to erase.
        qsizetype keptAtErase = -1;
        device.onErase = [&] {
            keptAtErase = qsizetype(session.archive()->listMeasurements()->size());
        };
        std::optional<LoggerArchiveResult> lastStore;
        KeepingAutoLoadDevice archiving(device, [&](const LoggerMemory& downloaded) {
            lastStore = LoggerArchiving::keepMemory(
                session, downloaded.memoryImage(), downloaded.memoryEnd(),
                clock.currentDateTime(), LoggerArchiving::sourceOf(MeasurementKind::AutoLoad, [] {
                    return ArchiveMeter{842, QStringLiteral("/dev/ttyUSB0")};
                }));
        });
        LoggerMemory memory;
        AutoLoadCycle cycle(archiving, memory, clock);
        cycle.setDataDirectory(files.path());
        const AutoLoadOutcome outcome = cycle.dumpAndClearMemory();
        QCOMPARE(outcome.erased(), kept > 0);
        if (kept > 0)
            QCOMPARE(keptAtErase, qsizetype(kept));

        const auto list = session.archive()->listMeasurements();
        QCOMPARE(qsizetype(list->size()), qsizetype(kept));
        for (const Measurement& m : *list) {
            QCOMPARE(m.kind, MeasurementKind::AutoLoad);
            QCOMPARE(m.meterPort, QStringLiteral("/dev/ttyUSB0"));
            QCOMPARE(m.meterModel, QStringLiteral("QV58M model 842"));
        }
        QCOMPARE(lastStore.has_value(), kept > 0);
        session.close();
        QCOMPARE(countRows(path, QStringLiteral("memory_images")), kept > 0 ? 1 : 0);
    }
};

AUDIMARK_TEST_MAIN_CORE(TestArchiveSession)
#include "tst_archivesession.moc"
