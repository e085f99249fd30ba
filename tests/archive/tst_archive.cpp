#include "archive/Archive.h"
#include "archive/ArchiveRecording.h"
#include "archive/ArchiveSchema.h"
#include "common/PostgresServer.h"
#include "common/TestMain.h"
#include "data/AcousticStatistics.h"
#include "data/SampleEncoding.h"

#include <QCryptographicHash>
#include <QSqlError>
#include <QSqlQuery>

#include <csignal>

#include <bit>
#include <cmath>
#include <latch>
#include <thread>

namespace {

bool sameBits(const ArchiveSeries& a, const ArchiveSeries& b)
{
    return a.x.size() == b.x.size() && a.y.size() == b.y.size() &&
           std::memcmp(a.x.data(), b.x.data(), a.x.size() * sizeof(double)) == 0 &&
           std::memcmp(a.y.data(), b.y.data(), a.y.size() * sizeof(float)) == 0;
}

const QDateTime kStart(QDate(2026, 6, 1), QTime(10, 15, 42), Qt::OffsetFromUTC, 7200);

double localStartDays()
{
    return SampleChunk::daysFromMs(kStart.toMSecsSinceEpoch() + 7200 * 1000LL + 25569LL * 86400000);
}

// The points of a measurement of each kind, as the program makes them.
ArchiveSeries seriesOf(MeasurementKind kind)
{
    ArchiveSeries s;
    int tenths = 650;
    const auto level = [&tenths](int i) {
        tenths = std::clamp(tenths + (i * 7919) % 23 - 11, 300, 1200);
        return float(tenths) / 10.0f;
    };
    switch (kind) {
    case MeasurementKind::RealTime: {
        qint64 ms = kStart.toMSecsSinceEpoch() + 7200 * 1000LL + 25569LL * 86400000;
        for (int i = 0; i < 5000; ++i) {
            ms += 1000 + (i * 31) % 9 - 4;
            s.x.push_back(SampleChunk::daysFromMs(ms));
            s.y.push_back(level(i));
        }
        break;
    }
    case MeasurementKind::Logger:
    case MeasurementKind::AutoLoad: {
        const int count = kind == MeasurementKind::Logger ? 9000 : 300;
        for (int i = 0; i < count; ++i) {
            s.x.push_back(SampleEncoding::sampleTime(localStartDays(), 2, i));
            s.y.push_back(SampleEncoding::decodeSampleValue(quint8(tenths >> 8), quint8(i)));
            level(i);
        }
        break;
    }
    case MeasurementKind::Import:
        for (int i = 0; i < 50; ++i) {
            s.x.push_back(localStartDays() + i * 0.0000123456789);
            s.y.push_back(i % 5 == 0 ? 85.27f : level(i));
        }
        break;
    }
    return s;
}

Measurement measurementOf(MeasurementKind kind)
{
    Measurement m;
    m.kind = kind;
    m.key = QStringLiteral("key-") + measurementKindName(kind);
    m.meterModel = QStringLiteral("QV58M-842");
    m.meterPort = QStringLiteral("/dev/ttyUSB0");
    m.start = kStart;
    m.intervalMs = kind == MeasurementKind::RealTime ? 1000 : 2000;
    m.weighting = QStringLiteral("A");
    m.site = QStringLiteral("Bahnhofstraße 5, Gleis 2");
    m.notes = QStringLiteral("first line\nsecond line");
    return m;
}

} // namespace

class TestArchive : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase();
    void roundTrip_data();
    void roundTrip();
    void listIsNewestFirst_data() { engineRows(); }
    void listIsNewestFirst();
    void unfinishedMeasurementContinues_data() { engineRows(); }
    void unfinishedMeasurementContinues();
    void fileThatIsNoArchiveIsLeftAlone_data();
    void fileThatIsNoArchiveIsLeftAlone();
    void newerSchemaIsRefused_data() { engineRows(); }
    void newerSchemaIsRefused();
    void textsAreStoredVerbatim_data() { engineRows(); }
    void textsAreStoredVerbatim();
    void memoryImageIsStoredOnce_data() { engineRows(); }
    void memoryImageIsStoredOnce();
    void versionOneArchiveIsMigrated_data() { engineRows(); }
    void versionOneArchiveIsMigrated();
    void serverPasswordComesFromPassFile();
    void locationIsParsed_data();
    void locationIsParsed();
    void archiveInDataDirectoryNotYetMade();
    void twoWritersShareOneFile();
    void recordingCommitsOnceASecond_data() { engineRows(); }
    void recordingCommitsOnceASecond();
    void killedRecordingKeepsWhatItCommitted();

private:
    static void engineRows();
    QString newLocation(const QString& engine);
    static QString rawQuery(const QString& location, const QString& sql);
    static QString makeVersionOneArchive(const QString& location, const QByteArray& image);

    PostgresServer m_server;
    QTemporaryDir m_dir;
    int m_count = 0;
};

void TestArchive::initTestCase()
{
    QVERIFY2(m_server.start(), qPrintable(m_server.error()));
    const QString passFile = m_dir.filePath(QStringLiteral("pgpass"));
    QVERIFY(m_server.writePassFile(passFile));
    qputenv("PGPASSFILE", QFile::encodeName(passFile));
}

void TestArchive::engineRows()
{
    QTest::addColumn<QString>("engine");
    QTest::newRow("sqlite") << QStringLiteral("sqlite");
    QTest::newRow("postgresql") << QStringLiteral("postgresql");
}

QString TestArchive::newLocation(const QString& engine)
{
    const QString name = QStringLiteral("archive%1").arg(++m_count);
    if (engine == QLatin1String("sqlite"))
        return m_dir.filePath(name + QStringLiteral(".sqlite"));
    if (!m_server.createDatabase(name))
        qWarning("%s", qPrintable(m_server.error()));
    return m_server.url(name);
}

// Runs one statement on its own connection, past the archive; the first
// column of the first row, or the error text when it failed.
QString TestArchive::rawQuery(const QString& location, const QString& sql)
{
    ArchiveLocation where;
    QString error;
    if (!ArchiveLocation::parse(location, where, error))
        return error;
    QString result;
    {
        const bool sqlite = where.engine == ArchiveLocation::Engine::SQLite;
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "raw");
        db.setDatabaseName(sqlite ? where.filePath : where.database);
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setUserName(where.user);
        QSqlQuery q(db);
        if (!db.open() || !q.exec(sql))
            result = QStringLiteral("error: ") + q.lastError().text() + db.lastError().text();
        else if (q.next())
            result = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("raw");
    return result;
}

// An archive as the first version of the program left it: its tables, and
// one memory image stored raw. Empty when made, or the error.
QString TestArchive::makeVersionOneArchive(const QString& location, const QByteArray& image)
{
    ArchiveLocation where;
    QString error;
    if (!ArchiveLocation::parse(location, where, error))
        return error;
    const bool sqlite = where.engine == ArchiveLocation::Engine::SQLite;
    const QString id = sqlite ? "INTEGER PRIMARY KEY AUTOINCREMENT" : "BIGSERIAL PRIMARY KEY";
    const QString blob = sqlite ? "BLOB" : "BYTEA";
    const QString real = sqlite ? "REAL" : "DOUBLE PRECISION";
    const QStringList statements = {
        "CREATE TABLE schema_version (version INTEGER NOT NULL)",
        "INSERT INTO schema_version (version) VALUES (1)",
        "CREATE TABLE memory_images (id " + id +
            ", sha256 TEXT NOT NULL UNIQUE, byte_count "
            "BIGINT NOT NULL, stored_utc_ms BIGINT NOT NULL, data " +
            blob + " NOT NULL)",
        "CREATE TABLE measurements (id " + id +
            ", measurement_key TEXT NOT NULL UNIQUE, kind "
            "TEXT NOT NULL, meter_model TEXT NOT NULL DEFAULT '', meter_port TEXT NOT NULL "
            "DEFAULT '', start_utc_ms BIGINT NOT NULL, end_utc_ms BIGINT NOT NULL, utc_offset_s "
            "INTEGER NOT NULL, interval_ms BIGINT NOT NULL, weighting TEXT NOT NULL DEFAULT '', "
            "sample_count BIGINT NOT NULL DEFAULT 0, level_count BIGINT NOT NULL DEFAULT 0, "
            "energy_sum " +
            real +
            " NOT NULL DEFAULT 0, site TEXT NOT NULL DEFAULT '', notes "
            "TEXT NOT NULL DEFAULT '', unfinished INTEGER NOT NULL DEFAULT 1, memory_image_id "
            "BIGINT)",
        "CREATE INDEX measurements_by_start ON measurements (start_utc_ms)",
        "CREATE TABLE sample_chunks (measurement_id BIGINT NOT NULL, first_index BIGINT NOT "
        "NULL, sample_count INTEGER NOT NULL, data " +
            blob +
            " NOT NULL, PRIMARY KEY "
            "(measurement_id, first_index))"};
    QString result;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(sqlite ? "QSQLITE" : "QPSQL", "old");
        db.setDatabaseName(sqlite ? where.filePath : where.database);
        db.setHostName(where.host);
        db.setPort(where.port);
        db.setUserName(where.user);
        QSqlQuery q(db);
        if (!db.open())
            result = db.lastError().text();
        for (const QString& sql : statements) {
            if (result.isEmpty() && !q.exec(sql))
                result = q.lastError().text();
        }
        q.prepare("INSERT INTO memory_images (sha256, byte_count, stored_utc_ms, data) "
                  "VALUES (?, ?, 0, ?)");
        q.addBindValue(QString::fromLatin1(
            QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex()));
        q.addBindValue(qint64(image.size()));
        q.addBindValue(image);
        if (result.isEmpty() && !q.exec())
            result = q.lastError().text();
    }
    QSqlDatabase::removeDatabase("old");
    return result;
}

void TestArchive::roundTrip_data()
{
    QTest::addColumn<QString>("engine");
    QTest::addColumn<MeasurementKind>("kind");
    for (const QString& engine : {QStringLiteral("sqlite"), QStringLiteral("postgresql")}) {
        for (const MeasurementKind kind : {MeasurementKind::RealTime, MeasurementKind::Logger,
                                           MeasurementKind::AutoLoad, MeasurementKind::Import}) {
            const QString row = engine + QLatin1Char(' ') + measurementKindName(kind);
            QTest::newRow(qPrintable(row)) << engine << kind;
        }
    }
}

void TestArchive::roundTrip()
{
    QFETCH(QString, engine);
    QFETCH(MeasurementKind, kind);
    const QString location = newLocation(engine);
    Measurement given = measurementOf(kind);
    const ArchiveSeries series = seriesOf(kind);
    {
        ArchiveOpenResult opened = Archive::open(location);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        Archive& archive = *opened.archive;
        if (kind == MeasurementKind::Logger)
            given.memoryImageId = archive.storeMemoryImage(QByteArray(65536, '\x5a')).value_or(0);
        const std::optional<qint64> id = archive.addMeasurement(given);
        QVERIFY2(id, qPrintable(archive.lastError()));
        // Appended in pieces, as a recording or a download hands them over.
        const size_t piece = kind == MeasurementKind::RealTime ? 100 : 1000;
        for (size_t i = 0; i < series.x.size(); i += piece) {
            const size_t n = std::min(piece, series.x.size() - i);
            QVERIFY2(archive.appendSamples(*id, std::span(series.x).subspan(i, n),
                                           std::span(series.y).subspan(i, n)),
                     qPrintable(archive.lastError()));
        }
        QVERIFY2(archive.finish(*id), qPrintable(archive.lastError()));
        QCOMPARE(archive.addMeasurement(given), id); // the same key: not added again
    }
    ArchiveOpenResult reopened = Archive::open(location);
    QVERIFY2(reopened.archive, qPrintable(reopened.error));
    Archive& archive = *reopened.archive;
    const auto list = archive.listMeasurements();
    QVERIFY2(list, qPrintable(archive.lastError()));
    QCOMPARE(list->size(), size_t(1));
    const Measurement& m = list->front();
    QCOMPARE(m.kind, kind);
    QCOMPARE(m.key, given.key);
    QCOMPARE(m.meterModel, given.meterModel);
    QCOMPARE(m.meterPort, given.meterPort);
    QCOMPARE(m.start, kStart);
    QCOMPARE(m.start.offsetFromUtc(), 7200);
    QCOMPARE(m.intervalMs, given.intervalMs);
    QCOMPARE(m.weighting, given.weighting);
    QCOMPARE(m.site, given.site);
    QCOMPARE(m.notes, given.notes);
    QCOMPARE(m.memoryImageId, given.memoryImageId);
    QCOMPARE(m.sampleCount, qint64(series.x.size()));
    QVERIFY(!m.unfinished);
    QVERIFY(m.end > m.start);
    QVERIFY(m.leqDb);
    QVERIFY(std::abs(*m.leqDb - AcousticStatistics::equivalentLevel(series.y)) < 1e-6);
    const std::optional<ArchiveSeries> read = archive.readSamples(m.id);
    QVERIFY2(read, qPrintable(archive.lastError()));
    QVERIFY(sameBits(*read, series));

    MeasurementFilter other;
    other.kind =
        kind == MeasurementKind::Import ? MeasurementKind::Logger : MeasurementKind::Import;
    QCOMPARE(archive.listMeasurements(other)->size(), size_t(0));
    MeasurementFilter later;
    later.from = kStart.addSecs(1);
    QCOMPARE(archive.listMeasurements(later)->size(), size_t(0));
    later.from = kStart;
    later.to = kStart.addSecs(1);
    later.kind = kind;
    QCOMPARE(archive.listMeasurements(later)->size(), size_t(1));

    QVERIFY2(archive.deleteMeasurement(m.id), qPrintable(archive.lastError()));
    QCOMPARE(archive.listMeasurements()->size(), size_t(0));
    QVERIFY(!archive.readSamples(m.id));
    QVERIFY(!archive.deleteMeasurement(m.id));
    QCOMPARE(rawQuery(location, "SELECT COUNT(*) FROM sample_chunks"), QStringLiteral("0"));
}

void TestArchive::listIsNewestFirst()
{
    QFETCH(QString, engine);
    ArchiveOpenResult opened = Archive::open(newLocation(engine));
    QVERIFY2(opened.archive, qPrintable(opened.error));
    Archive& archive = *opened.archive;
    for (const int day : {2, 5, 1}) {
        Measurement m = measurementOf(MeasurementKind::AutoLoad);
        m.key = QString::number(day);
        m.start = kStart.addDays(day);
        const std::optional<qint64> id = archive.addMeasurement(m);
        QVERIFY2(id, qPrintable(archive.lastError()));
        const std::vector<float> levels{float(60 + day), float(60 + day)};
        const std::vector<double> times{46000.0, 46000.1};
        QVERIFY(archive.appendSamples(*id, times, levels));
    }
    const auto list = archive.listMeasurements();
    QVERIFY2(list && list->size() == 3, qPrintable(archive.lastError()));
    QCOMPARE(list->at(0).key, QStringLiteral("5"));
    QCOMPARE(list->at(1).key, QStringLiteral("2"));
    QCOMPARE(list->at(2).key, QStringLiteral("1"));
    QVERIFY(std::abs(list->at(0).leqDb.value_or(0) - 65.0) < 1e-9);
}

void TestArchive::unfinishedMeasurementContinues()
{
    QFETCH(QString, engine);
    const QString location = newLocation(engine);
    const ArchiveSeries all = seriesOf(MeasurementKind::RealTime);
    const auto firstPart = std::span(all.x).first(4100);
    qint64 id = 0;
    {
        ArchiveOpenResult opened = Archive::open(location);
        QVERIFY2(opened.archive, qPrintable(opened.error));
        id = opened.archive->addMeasurement(measurementOf(MeasurementKind::RealTime)).value_or(0);
        QVERIFY(opened.archive->appendSamples(id, firstPart, std::span(all.y).first(4100)));
    } // the program goes away without finishing
    ArchiveOpenResult opened = Archive::open(location);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    Archive& archive = *opened.archive;
    const std::optional<Measurement> m = archive.measurement(id);
    QVERIFY(m && m->unfinished);
    QCOMPARE(m->sampleCount, qint64(4100));
    QCOMPARE(archive.readSamples(id)->x.size(), size_t(4100));
    QVERIFY2(
        archive.appendSamples(id, std::span(all.x).subspan(4100), std::span(all.y).subspan(4100)),
        qPrintable(archive.lastError()));
    QVERIFY(sameBits(*archive.readSamples(id), all));
    QVERIFY(archive.finish(id));
    QVERIFY(!archive.appendSamples(id, firstPart, std::span(all.y).first(4100)));
    QVERIFY(archive.lastError().contains(QLatin1String("finished")));

    // A chunk damaged behind the archive's back is told, not decoded.
    QCOMPARE(rawQuery(location, "UPDATE sample_chunks SET sample_count = 7 WHERE first_index = 0"),
             QString());
    QVERIFY(!archive.readSamples(id));
    QVERIFY2(archive.lastError().contains(QLatin1String("damaged at sample 0")),
             qPrintable(archive.lastError()));
}

void TestArchive::fileThatIsNoArchiveIsLeftAlone_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::newRow("a text file") << QByteArray("Level;Time\n85,3;10:00:00\n");
    QTest::newRow("a damaged database")
        << QByteArray("SQLite format 3\0", 16) + QByteArray(8176, '\xa5');
    QTest::newRow("a database of something else") << QByteArray();
}

void TestArchive::fileThatIsNoArchiveIsLeftAlone()
{
    QFETCH(QByteArray, bytes);
    const QString path = newLocation(QStringLiteral("sqlite"));
    if (bytes.isEmpty()) {
        QCOMPARE(rawQuery(path, "CREATE TABLE addresses (name TEXT)"), QString());
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        bytes = file.readAll();
    } else {
        QFile file(path);
        QVERIFY(file.open(QIODevice::WriteOnly));
        QCOMPARE(file.write(bytes), bytes.size());
    }
    const ArchiveOpenResult opened = Archive::open(path);
    QVERIFY(!opened.archive);
    QVERIFY2(opened.error.contains(QDir::toNativeSeparators(path)), qPrintable(opened.error));
    QFile file(path);
    QVERIFY(file.open(QIODevice::ReadOnly));
    QCOMPARE(file.readAll(), bytes);
    QVERIFY(!QFile::exists(path + QStringLiteral("-wal")));
}

void TestArchive::newerSchemaIsRefused()
{
    QFETCH(QString, engine);
    const QString location = newLocation(engine);
    QVERIFY(Archive::open(location).archive);
    QCOMPARE(rawQuery(location, "INSERT INTO schema_version (version) VALUES (99)"), QString());
    const ArchiveOpenResult opened = Archive::open(location);
    QVERIFY(!opened.archive);
    QVERIFY2(opened.error.contains(QLatin1String("newer")), qPrintable(opened.error));
    QVERIFY2(opened.error.contains(QLatin1String("99")), qPrintable(opened.error));
}

void TestArchive::textsAreStoredVerbatim()
{
    QFETCH(QString, engine);
    ArchiveOpenResult opened = Archive::open(newLocation(engine));
    QVERIFY2(opened.archive, qPrintable(opened.error));
    Archive& archive = *opened.archive;
    Measurement m = measurementOf(MeasurementKind::Import);
    m.site = QStringLiteral("'); DROP TABLE measurements;--");
    const std::optional<qint64> id = archive.addMeasurement(m);
    QVERIFY2(id, qPrintable(archive.lastError()));
    const QString notes = QStringLiteral("100% \"sure\" \\ x'; DELETE FROM sample_chunks; --");
    QVERIFY(archive.updateSiteNotes(*id, m.site, notes));
    const auto list = archive.listMeasurements();
    QVERIFY2(list && list->size() == 1, qPrintable(archive.lastError()));
    QCOMPARE(list->front().site, m.site);
    QCOMPARE(list->front().notes, notes);

    const auto found = [&archive](const QString& text) {
        MeasurementFilter filter;
        filter.text = text;
        return archive.listMeasurements(filter).value_or(std::vector<Measurement>()).size();
    };
    QCOMPARE(found(QStringLiteral("drop TABLE")), size_t(1));
    QCOMPARE(found(QStringLiteral("0% \"")), size_t(1));
    QCOMPARE(found(QStringLiteral("%%")), size_t(0)); // taken literally, not as a wildcard
    QCOMPARE(found(QStringLiteral("DR_P")), size_t(0));
    QVERIFY(!archive.updateSiteNotes(*id + 1, m.site, notes));

    Measurement bare; // no texts at all
    bare.start = kStart;
    const std::optional<qint64> bareId = archive.addMeasurement(bare);
    QVERIFY2(bareId, qPrintable(archive.lastError()));
    QVERIFY(archive.updateSiteNotes(*bareId, QString(), QString()));
    QCOMPARE(archive.measurement(*bareId)->site, QString());
}

void TestArchive::memoryImageIsStoredOnce()
{
    QFETCH(QString, engine);
    const QString location = newLocation(engine);
    ArchiveOpenResult opened = Archive::open(location);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    Archive& archive = *opened.archive;
    QByteArray image(65536, '\0');
    for (int i = 0; i < image.size(); ++i)
        image[i] = char((i * 2654435761u) >> 13);
    const std::optional<qint64> first = archive.storeMemoryImage(image);
    QVERIFY2(first, qPrintable(archive.lastError()));
    QCOMPARE(archive.storeMemoryImage(image), first);
    QByteArray changed = image;
    changed[100] = char(changed[100] ^ 1);
    const std::optional<qint64> second = archive.storeMemoryImage(changed);
    QVERIFY(second && *second != *first);
    QCOMPARE(archive.memoryImage(*first), image);
    QCOMPARE(rawQuery(location, "SELECT COUNT(*) FROM memory_images"), QStringLiteral("2"));

    // A memory of levels in 0.1 dB steps is kept compressed, and given back whole.
    QByteArray levels;
    for (int i = 0, tenths = 600; i < 32000; ++i) {
        tenths = std::clamp(tenths + (i * 7919) % 23 - 11, 350, 1100);
        levels.append(char(tenths >> 8)).append(char(tenths));
    }
    const std::optional<qint64> third = archive.storeMemoryImage(levels);
    QVERIFY2(third, qPrintable(archive.lastError()));
    QCOMPARE(archive.memoryImage(*third), levels);
    const QString kept = rawQuery(location, QStringLiteral("SELECT LENGTH(data) FROM "
                                                           "memory_images WHERE id = %1")
                                                .arg(*third));
    QVERIFY2(kept.toInt() > 0 && kept.toInt() < levels.size() * 3 / 4, qPrintable(kept));
    // Stored bytes that do not give the image back are not handed on.
    QCOMPARE(rawQuery(location, QStringLiteral("UPDATE memory_images SET byte_count = 5 "
                                               "WHERE id = %1")
                                    .arg(*third)),
             QString());
    QVERIFY(!archive.memoryImage(*third));
    QVERIFY2(archive.lastError().contains(QLatin1String("damaged")),
             qPrintable(archive.lastError()));
}

void TestArchive::versionOneArchiveIsMigrated()
{
    QFETCH(QString, engine);
    const QString location = newLocation(engine);
    const QByteArray image = QByteArray(30000, '\x12') + QByteArray("end of memory");
    const QString made = makeVersionOneArchive(location, image);
    QVERIFY2(made.isEmpty(), qPrintable(made));
    ArchiveOpenResult opened = Archive::open(location);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    QCOMPARE(rawQuery(location, "SELECT MAX(version) FROM schema_version"),
             QString::number(ArchiveSchema::kCurrentVersion));
    Archive& archive = *opened.archive;
    // The raw image of before reads as it was, and the same bytes find it.
    QCOMPARE(archive.memoryImage(1), image);
    QCOMPARE(archive.storeMemoryImage(image), std::optional<qint64>(1));
    QByteArray other = image;
    other[0] = '\x13';
    const std::optional<qint64> second = archive.storeMemoryImage(other);
    QVERIFY2(second && *second != 1, qPrintable(archive.lastError()));
    QCOMPARE(archive.memoryImage(*second), other);
    QCOMPARE(rawQuery(location, "SELECT coding FROM memory_images ORDER BY id"),
             QStringLiteral("0"));
    opened.archive.reset();
    QVERIFY(Archive::open(location).archive); // opened again: nothing left to migrate
}

void TestArchive::serverPasswordComesFromPassFile()
{
    const QString location = newLocation(QStringLiteral("postgresql"));
    const QByteArray kept = qgetenv("PGPASSFILE");
    const QString wrong = m_dir.filePath(QStringLiteral("wrong-pgpass"));
    {
        QFile file(wrong);
        QVERIFY(file.open(QIODevice::WriteOnly));
        file.write(QStringLiteral("*:*:*:*:not-the-password\n").toUtf8());
    }
    QFile::setPermissions(wrong, QFile::ReadOwner | QFile::WriteOwner);
    qputenv("PGPASSFILE", QFile::encodeName(wrong));
    const ArchiveOpenResult refused = Archive::open(location);
    qputenv("PGPASSFILE", kept);
    QVERIFY(!refused.archive);
    QVERIFY(refused.error.contains(location));
    QVERIFY(!refused.error.contains(QLatin1String("not-the-password")));
    QVERIFY2(Archive::open(location).archive, "the right pass file lets it in");

    QString url = location;
    url.replace(QStringLiteral("@"), QStringLiteral(":") + PostgresServer::kPassword + "@");
    const ArchiveOpenResult withPassword = Archive::open(url);
    QVERIFY(!withPassword.archive);
    QVERIFY(withPassword.error.contains(QLatin1String(".pgpass")));
    QVERIFY(!withPassword.error.contains(PostgresServer::kPassword));
}

void TestArchive::twoWritersShareOneFile()
{
    const QString path = newLocation(QStringLiteral("sqlite"));
    const ArchiveSeries series = seriesOf(MeasurementKind::RealTime);
    constexpr int kWriters = 2;
    constexpr size_t kPiece = 10;
    constexpr size_t kPieces = 100;
    QString errors[kWriters];
    std::latch ready(kWriters);
    std::vector<std::thread> writers;
    for (int w = 0; w < kWriters; ++w) {
        writers.emplace_back([&, w] {
            ready.arrive_and_wait(); // both open a new file at once
            ArchiveOpenResult opened = Archive::open(path);
            if (!opened.archive) {
                errors[w] = opened.error;
                return;
            }
            Archive& archive = *opened.archive;
            Measurement m = measurementOf(MeasurementKind::RealTime);
            m.key = QStringLiteral("writer %1").arg(w);
            const std::optional<qint64> id = archive.addMeasurement(m);
            bool ok = id.has_value();
            for (size_t i = 0; ok && i < kPieces; ++i) {
                ok = archive.appendSamples(*id, std::span(series.x).subspan(i * kPiece, kPiece),
                                           std::span(series.y).subspan(i * kPiece, kPiece)) &&
                     archive.listMeasurements().has_value();
            }
            if (!ok || !archive.finish(*id))
                errors[w] = archive.lastError();
        });
    }
    for (std::thread& t : writers)
        t.join();
    for (const QString& error : errors)
        QVERIFY2(error.isEmpty(), qPrintable(error));
    ArchiveOpenResult opened = Archive::open(path);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    const auto list = opened.archive->listMeasurements();
    QCOMPARE(list->size(), size_t(kWriters));
    for (const Measurement& m : *list) {
        QCOMPARE(m.sampleCount, qint64(kPiece * kPieces));
        QCOMPARE(opened.archive->readSamples(m.id)->x.size(), kPiece * kPieces);
    }
}

void TestArchive::recordingCommitsOnceASecond()
{
    QFETCH(QString, engine);
    ArchiveOpenResult opened = Archive::open(newLocation(engine));
    QVERIFY2(opened.archive, qPrintable(opened.error));
    Archive& archive = *opened.archive;
    Measurement m = measurementOf(MeasurementKind::RealTime);
    m.intervalMs = 100;
    const qint64 id = archive.addMeasurement(m).value_or(0);
    ArchiveRecording recording(archive, id);
    const qint64 startMs = 46174LL * 86400000 + 36000000;
    const auto committed = [&archive, id] { return archive.measurement(id)->sampleCount; };
    QVERIFY(recording.add(SampleChunk::daysFromMs(startMs), 60.0f));
    QCOMPARE(committed(), qint64(1)); // the first sample at once
    for (int i = 1; i < 10; ++i)
        QVERIFY(recording.add(SampleChunk::daysFromMs(startMs + i * 100), 60.0f));
    QCOMPARE(committed(), qint64(1));
    QCOMPARE(recording.pending(), qsizetype(9));
    QVERIFY(recording.add(SampleChunk::daysFromMs(startMs + 1000), 61.0f)); // a second on
    QCOMPARE(committed(), qint64(11));
    QVERIFY(recording.add(SampleChunk::daysFromMs(startMs + 1100), 62.0f));
    QVERIFY(recording.finish());
    QCOMPARE(committed(), qint64(12));
    QVERIFY(!archive.measurement(id)->unfinished);
}

void TestArchive::killedRecordingKeepsWhatItCommitted()
{
    const QString path = newLocation(QStringLiteral("sqlite"));
    QProcess writer;
    writer.start(QCoreApplication::applicationDirPath() + QStringLiteral("/archive_writer"),
                 {path});
    QVERIFY2(writer.waitForStarted(), qPrintable(writer.errorString()));
    qint64 reported = 0;
    QByteArray output;
    while (reported < 300 && writer.state() == QProcess::Running) {
        if (!writer.waitForReadyRead(30000))
            break;
        output += writer.readAllStandardOutput();
        const QList<QByteArray> lines = output.trimmed().split('\n');
        reported = lines.last().toLongLong();
    }
    ::kill(pid_t(writer.processId()), SIGKILL);
    QVERIFY(writer.waitForFinished(30000));
    QVERIFY2(reported >= 300, writer.readAllStandardError().constData());
    QCOMPARE(rawQuery(path, "PRAGMA integrity_check"), QStringLiteral("ok"));
    ArchiveOpenResult opened = Archive::open(path);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    const auto list = opened.archive->listMeasurements();
    QCOMPARE(list->size(), size_t(1));
    const Measurement& m = list->front();
    QVERIFY(m.unfinished);
    // Everything reported as committed is there; what was held uncommitted
    // spans less than a second (10 samples of 0.1 s).
    QVERIFY2(m.sampleCount >= reported, qPrintable(QString::number(m.sampleCount)));
    const std::optional<ArchiveSeries> read = opened.archive->readSamples(m.id);
    QVERIFY2(read, qPrintable(opened.archive->lastError()));
    QCOMPARE(qint64(read->x.size()), m.sampleCount);
    const qint64 startMs = 46174LL * 86400000 + 36000000;
    for (qint64 i = 0; i < m.sampleCount; ++i) {
        QCOMPARE(read->x[i], SampleChunk::daysFromMs(startMs + i * 100));
        QCOMPARE(read->y[i], float(600 + i % 50) / 10.0f);
    }
}

void TestArchive::locationIsParsed_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("shown"); // empty: refused
    QTest::newRow("file path") << "/var/lib/a.sqlite"
                               << "/var/lib/a.sqlite";
    QTest::newRow("file URL") << "file:///var/lib/a.sqlite"
                              << "/var/lib/a.sqlite";
    QTest::newRow("server") << "postgresql://meter@db.example:6543/noise"
                            << "postgresql://meter@db.example:6543/noise";
    QTest::newRow("server, default port") << "postgres://meter@db.example/noise"
                                          << "postgresql://meter@db.example:5432/noise";
    QTest::newRow("server without database") << "postgresql://meter@db.example:6543/"
                                             << "";
    QTest::newRow("server with password") << "postgresql://meter:pw@db.example/noise"
                                          << "";
    QTest::newRow("nothing") << "  "
                             << "";
}

void TestArchive::locationIsParsed()
{
    QFETCH(QString, text);
    QFETCH(QString, shown);
    ArchiveLocation location;
    QString error;
    QCOMPARE(ArchiveLocation::parse(text, location, error), !shown.isEmpty());
    if (shown.isEmpty())
        QVERIFY(!error.isEmpty() && !error.contains(QLatin1String(":pw@")));
    else
        QCOMPARE(location.displayName(), shown);
}

void TestArchive::archiveInDataDirectoryNotYetMade()
{
    const ArchiveLocation location =
        ArchiveLocation::inDataDirectory(m_dir.filePath(QStringLiteral("new/data")));
    QCOMPARE(QFileInfo(location.filePath).fileName(), QStringLiteral("archive.sqlite"));
    const ArchiveOpenResult opened = Archive::open(location);
    QVERIFY2(opened.archive, qPrintable(opened.error));
    QVERIFY(QFile::exists(location.filePath));
}

AUDIMARK_TEST_MAIN_CORE(TestArchive)
#include "tst_archive.moc"
