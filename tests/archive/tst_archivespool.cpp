// The local spool of a PostgreSQL server: what it holds reaches the server
// once, however often and wherever a forward was cut off; a server that goes
// away while written to is replaced by its spool and gets everything back.

#include "archive/Archive.h"
#include "archive/ArchiveSpool.h"
#include "archive/LoggerImageArchiver.h"
#include "archive/SpooledArchive.h"
#include "common/OneSetImage.h"
#include "common/PostgresServer.h"
#include "common/TestMain.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/RecordDecoder.h"

#include <QTemporaryDir>

namespace {

// 9000 samples (three chunks), one a second, levels that do not repeat.
ArchiveSeries recordingSeries()
{
    ArchiveSeries s;
    for (int i = 0; i < 9000; ++i) {
        s.x.push_back(40000.5 + i / 86400.0);
        s.y.push_back(float(40.0 + (i * 7) % 600 / 10.0));
    }
    return s;
}

Measurement recordingMeasurement()
{
    Measurement m;
    m.key = QStringLiteral("realtime:spool-test");
    m.kind = MeasurementKind::RealTime;
    m.start = QDateTime(QDate(2009, 7, 6), QTime(12, 0), QTimeZone(7200));
    m.intervalMs = 1000;
    m.weighting = QStringLiteral("A");
    return m;
}

bool appendRange(Archive& archive, qint64 id, const ArchiveSeries& s, size_t from, size_t to)
{
    return archive.appendSamples(id, std::span(s.x).subspan(from, to - from),
                                 std::span(s.y).subspan(from, to - from));
}

// The one measurement of an archive, which must hold exactly the series.
void verifyWhole(Archive& archive, const ArchiveSeries& whole, bool unfinished)
{
    const auto list = archive.listMeasurements();
    QVERIFY2(list, qPrintable(archive.lastError()));
    QCOMPARE(int(list->size()), 1);
    QCOMPARE(list->front().key, recordingMeasurement().key);
    QCOMPARE(list->front().unfinished, unfinished);
    const auto samples = archive.readSamples(list->front().id);
    QVERIFY2(samples, qPrintable(archive.lastError()));
    QCOMPARE(samples->x, whole.x);
    QCOMPARE(samples->y, whole.y);
}

} // namespace

class TestArchiveSpool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        QVERIFY(m_server.writePassFile(m_dir.filePath(QStringLiteral("pgpass"))));
        qputenv("PGPASSFILE", QFile::encodeName(m_dir.filePath(QStringLiteral("pgpass"))));
    }

    void spoolIsNamedByServer_data()
    {
        QTest::addColumn<QString>("other");
        QTest::addColumn<bool>("same");
        QTest::newRow("another user")
            << QStringLiteral("postgresql://bob@Db.example:5432/noise") << true;
        QTest::newRow("another database")
            << QStringLiteral("postgresql://ann@db.example/traffic") << false;
        QTest::newRow("another port")
            << QStringLiteral("postgresql://ann@db.example:5433/noise") << false;
    }

    void spoolIsNamedByServer()
    {
        QFETCH(QString, other);
        QFETCH(bool, same);
        ArchiveLocation a;
        ArchiveLocation b;
        QString error;
        QVERIFY(
            ArchiveLocation::parse(QStringLiteral("postgresql://ann@db.example/noise"), a, error));
        QVERIFY(ArchiveLocation::parse(other, b, error));
        QVERIFY(ArchiveSpool::fileName(a).startsWith(QStringLiteral("archive-spool-")));
        QCOMPARE(ArchiveSpool::fileName(a) == ArchiveSpool::fileName(b), same);
    }

    // Each row leaves the server as a forward cut off at one step would.
    void forwardStoresNothingTwice_data()
    {
        QTest::addColumn<int>("serverSamples"); // -1: the server lacks the measurement
        QTest::addColumn<bool>("serverFinished");
        QTest::addColumn<bool>("spoolFinished");
        QTest::addColumn<int>("forwards");
        QTest::newRow("server has nothing") << -1 << false << true << 1;
        QTest::newRow("forwarded twice") << -1 << false << true << 2;
        QTest::newRow("cut off after the measurement was added") << 0 << false << true << 1;
        QTest::newRow("server has the first chunk and a bit") << 4100 << false << true << 1;
        QTest::newRow("cut off before finishing") << 9000 << false << true << 1;
        QTest::newRow("cut off before the spool was emptied") << 9000 << true << true << 2;
        QTest::newRow("recording still running") << 1000 << false << false << 2;
        QTest::newRow("recording went on at the server") << 9000 << true << false << 1;
    }

    void forwardStoresNothingTwice()
    {
        QFETCH(int, serverSamples);
        QFETCH(bool, serverFinished);
        QFETCH(bool, spoolFinished);
        QFETCH(int, forwards);
        const ArchiveSeries whole = recordingSeries();
        const bool finished = spoolFinished || serverFinished;
        auto spool = openSqlite();
        auto server = openServer();
        QVERIFY(spool && server);
        const auto spoolId = spool->addMeasurement(recordingMeasurement());
        QVERIFY(spoolId && appendRange(*spool, *spoolId, whole, 0, whole.x.size()));
        // The meter switched between dBA and dBC after the server got its part.
        QVERIFY(spool->updateWeighting(*spoolId, QStringLiteral("mixed")));
        if (spoolFinished)
            QVERIFY(spool->finish(*spoolId));
        if (serverSamples >= 0) {
            const auto id = server->addMeasurement(recordingMeasurement());
            QVERIFY(id && appendRange(*server, *id, whole, 0, size_t(serverSamples)));
            if (serverFinished)
                QVERIFY(server->finish(*id));
        }
        for (int i = 0; i < forwards; ++i) {
            const ArchiveForwardResult sent = ArchiveSpool::forward(*spool, *server);
            QVERIFY2(sent.ok, qPrintable(sent.error));
            QCOMPARE(sent.measurements, i == 0 && finished ? 1 : 0);
            QCOMPARE(sent.kept, finished ? 0 : 1);
        }
        verifyWhole(*server, whole, !finished);
        QCOMPARE(server->listMeasurements()->front().weighting, QStringLiteral("mixed"));
        // Unfinished: perhaps still recorded into by another program.
        QCOMPARE(int(spool->listMeasurements()->size()), finished ? 0 : 1);
    }

    void loggerSetsLoadedTwiceWhileOfflineAreStoredOnce_data()
    {
        QTest::addColumn<int>("loadsBefore"); // on the server, before it went away
        QTest::newRow("first seen offline") << 0;
        QTest::newRow("loaded before, then twice offline") << 1;
    }

    void loggerSetsLoadedTwiceWhileOfflineAreStoredOnce()
    {
        QFETCH(int, loadsBefore);
        LoggerMemory memory;
        memory.memoryImage() = oneSetImage(700);
        memory.setMemoryEnd(memory.memoryEndFromImage());
        DataSetCollection sets;
        QCOMPARE(decodeImage(memory, sets, QDateTime::currentDateTime()), LoadResult::Ok);
        const LoggerImageSource source{MeasurementKind::Logger,
                                       LoggerImageArchiver::meterModelName(842), "/dev/ttyS0", ""};
        auto spool = openSqlite();
        auto server = openServer();
        QVERIFY(spool && server);
        for (int i = 0; i < loadsBefore; ++i)
            QVERIFY(LoggerImageArchiver::store(*server, memory.memoryImage(), sets, source).stored);
        for (int i = 0; i < 2; ++i)
            QVERIFY(LoggerImageArchiver::store(*spool, memory.memoryImage(), sets, source).stored);
        const ArchiveForwardResult sent = ArchiveSpool::forward(*spool, *server);
        QVERIFY2(sent.ok, qPrintable(sent.error));
        const auto list = server->listMeasurements();
        QCOMPARE(int(list->size()), 1);
        QCOMPARE(list->front().sampleCount, qint64(700));
        QVERIFY(!list->front().unfinished);
        QCOMPARE(server->memoryImage(list->front().memoryImageId), memory.memoryImage());
        QCOMPARE(server->storeMemoryImage(memory.memoryImage()), list->front().memoryImageId);
        QVERIFY(!spool->memoryImage(1));
    }

    // The server stopped while written to, written on, started again.
    void serverGoneMidWayGetsEverything()
    {
        const QString database = QStringLiteral("gone%1").arg(++m_count);
        QVERIFY(m_server.createDatabase(database));
        ArchiveLocation location;
        QString error;
        QVERIFY(ArchiveLocation::parse(m_server.url(database), location, error));
        SpooledArchive archive(location, m_dir.filePath(QStringLiteral("data")));
        QVERIFY2(archive.open(), qPrintable(archive.error()));
        QVERIFY(!archive.onSpool());
        const ArchiveSeries whole = recordingSeries();
        Archive* server = archive.archive();
        const auto id = server->addMeasurement(recordingMeasurement());
        QVERIFY(id && appendRange(*server, *id, whole, 0, 3000));

        m_server.stop();
        auto restart = qScopeGuard([this] { m_server.startAgain(); });
        QVERIFY(!appendRange(*server, *id, whole, 3000, 3100));
        QVERIFY(archive.writeFailed());
        QVERIFY(archive.onSpool());
        Archive* spool = archive.archive();
        // As a recording does: every sample the new archive lacks.
        const auto spoolId = spool->addMeasurement(recordingMeasurement());
        QVERIFY(spoolId && appendRange(*spool, *spoolId, whole, 0, 6000));
        QVERIFY(!archive.tryServer());
        QVERIFY(appendRange(*spool, *spoolId, whole, 6000, 9000) && spool->finish(*spoolId));

        QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
        QVERIFY2(archive.tryServer(), qPrintable(archive.serverError()));
        QVERIFY(!archive.onSpool());
        QCOMPARE(archive.lastForward().measurements, 1);
        verifyWhole(*archive.archive(), whole, false);
        QVERIFY(!ArchiveSpool::holdsData(location, m_dir.filePath(QStringLiteral("data"))));
    }

    // Opened while the server is down: the spool, sent at the next open.
    void spoolLeftFromBeforeIsSentAtOpen()
    {
        const QString database = QStringLiteral("later%1").arg(++m_count);
        QVERIFY(m_server.createDatabase(database));
        ArchiveLocation location;
        QString error;
        QVERIFY(ArchiveLocation::parse(m_server.url(database), location, error));
        const QString data = m_dir.filePath(QStringLiteral("data"));
        const ArchiveSeries whole = recordingSeries();
        m_server.stop();
        {
            auto restart = qScopeGuard([this] { m_server.startAgain(); });
            SpooledArchive offline(location, data);
            QVERIFY2(offline.open(), qPrintable(offline.error()));
            QVERIFY(offline.onSpool());
            QVERIFY(offline.serverError().contains(location.displayName()));
            const auto id = offline.archive()->addMeasurement(recordingMeasurement());
            QVERIFY(id && appendRange(*offline.archive(), *id, whole, 0, whole.x.size()));
            QVERIFY(offline.archive()->finish(*id));
        }
        QVERIFY(ArchiveSpool::holdsData(location, data));
        SpooledArchive online(location, data);
        QVERIFY2(online.open(), qPrintable(online.error()));
        QVERIFY(!online.onSpool());
        QCOMPARE(online.lastForward().measurements, 1);
        verifyWhole(*online.archive(), whole, false);
    }

    // A spool that cannot be made is told, naming both.
    void spoolThatCannotBeMadeIsTold()
    {
        ArchiveLocation location;
        QString error;
        QVERIFY(ArchiveLocation::parse(QStringLiteral("postgresql://ann@127.0.0.1:1/none"),
                                       location, error));
        const QString blocked = m_dir.filePath(QStringLiteral("a-file"));
        QFile file(blocked);
        QVERIFY(file.open(QIODevice::WriteOnly));
        SpooledArchive archive(location, blocked + QStringLiteral("/data"));
        QVERIFY(!archive.open());
        QVERIFY(!archive.archive());
        QVERIFY(archive.error().contains(location.displayName()));
        QVERIFY(archive.error().contains(QStringLiteral("cannot be created")));
    }

private:
    std::unique_ptr<Archive> openSqlite()
    {
        ArchiveOpenResult opened =
            Archive::open(m_dir.filePath(QStringLiteral("spool%1.sqlite").arg(++m_count)));
        if (!opened.archive)
            qWarning("%s", qPrintable(opened.error));
        return std::move(opened.archive);
    }

    std::unique_ptr<Archive> openServer()
    {
        const QString name = QStringLiteral("server%1").arg(++m_count);
        if (!m_server.createDatabase(name))
            qWarning("%s", qPrintable(m_server.error()));
        ArchiveOpenResult opened = Archive::open(m_server.url(name));
        if (!opened.archive)
            qWarning("%s", qPrintable(opened.error));
        return std::move(opened.archive);
    }

    PostgresServer m_server;
    QTemporaryDir m_dir;
    int m_count = 0;
};

AUDIMARK_TEST_MAIN_CORE(TestArchiveSpool)
#include "tst_archivespool.moc"
