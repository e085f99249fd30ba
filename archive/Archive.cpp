#include "archive/Archive.h"

#include "archive/ArchiveSchema.h"

#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>
#include <QThread>
#include <QUuid>

#include <cmath>

namespace {

constexpr qint64 kMsPerDay = 86400000;
// memory_images.coding
constexpr int kImageRaw = 0;
constexpr int kImageZlib = 1;
// Milliseconds from 30 December 1899 to 1 January 1970.
constexpr qint64 kEpochOffsetMs = 25569 * kMsPerDay;

const char kMeasurementColumns[] =
    "SELECT id, measurement_key, kind, meter_model, meter_port, start_utc_ms, end_utc_ms,"
    " utc_offset_s, interval_ms, weighting, sample_count, level_count, energy_sum, site, notes,"
    " unfinished, memory_image_id FROM measurements";

Measurement measurementFromRow(const QSqlQuery& q)
{
    Measurement m;
    m.id = q.value(0).toLongLong();
    m.key = q.value(1).toString();
    m.kind = measurementKindFromName(q.value(2).toString()).value_or(MeasurementKind::Import);
    m.meterModel = q.value(3).toString();
    m.meterPort = q.value(4).toString();
    const int offset = q.value(7).toInt();
    m.start = QDateTime::fromMSecsSinceEpoch(q.value(5).toLongLong(), Qt::OffsetFromUTC, offset);
    m.end = QDateTime::fromMSecsSinceEpoch(q.value(6).toLongLong(), Qt::OffsetFromUTC, offset);
    m.intervalMs = q.value(8).toLongLong();
    m.weighting = q.value(9).toString();
    m.sampleCount = q.value(10).toLongLong();
    const qint64 levels = q.value(11).toLongLong();
    const double energy = q.value(12).toDouble();
    if (levels > 0 && energy > 0.0)
        m.leqDb = 10.0 * std::log10(energy / double(levels));
    m.site = q.value(13).toString();
    m.notes = q.value(14).toString();
    m.unfinished = q.value(15).toInt() != 0;
    m.memoryImageId = q.value(16).toLongLong();
    return m;
}

// LIKE's wildcards and the escape character itself, taken literally (escape '!').
QString likePattern(const QString& text)
{
    QString escaped;
    for (const QChar c : text.toLower()) {
        if (c == QLatin1Char('!') || c == QLatin1Char('%') || c == QLatin1Char('_'))
            escaped += QLatin1Char('!');
        escaped += c;
    }
    return QLatin1Char('%') + escaped + QLatin1Char('%');
}

// A text never goes in as NULL: a text not given is stored empty.
QString notNull(const QString& text)
{
    return text.isNull() ? QStringLiteral("") : text;
}

bool isSqliteFileHeader(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return false;
    return file.read(16) == QByteArray("SQLite format 3\0", 16);
}

// Switching a new file to WAL needs it to itself, and SQLite does not wait
// for that through the busy timeout (it answers "locked", or the old mode):
// two programs making a new archive at once try again until the timeout.
bool switchToWal(QSqlDatabase& db, QString& error)
{
    const QDeadlineTimer deadline(Archive::kBusyTimeoutMs);
    for (;;) {
        QSqlQuery pragma(db);
        bool busy = false;
        if (pragma.exec(QStringLiteral("PRAGMA journal_mode=WAL")) && pragma.next()) {
            const QString mode = pragma.value(0).toString();
            if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) == 0)
                return true;
            error = QStringLiteral("the journal stays in mode %1").arg(mode);
            busy = true;
        } else {
            error = pragma.lastError().text();
            const QString code = pragma.lastError().nativeErrorCode();
            busy = code == QLatin1String("5") || code == QLatin1String("6"); // BUSY, LOCKED
        }
        if (!busy || deadline.hasExpired())
            return false;
        QThread::msleep(5);
    }
}

} // namespace

Archive::Archive(const ArchiveLocation& location, const QString& connectionName)
    : m_location(location), m_connectionName(connectionName)
{
}

Archive::~Archive()
{
    m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

ArchiveOpenResult Archive::open(const QString& locationText)
{
    ArchiveLocation location;
    QString error;
    if (!ArchiveLocation::parse(locationText, location, error))
        return {nullptr, error};
    return open(location);
}

ArchiveOpenResult Archive::open(const ArchiveLocation& location)
{
    const QString name = location.displayName();
    if (location.engine == ArchiveLocation::Engine::SQLite) {
        const QFileInfo info(location.filePath);
        if (info.exists() &&
            (!info.isFile() || (info.size() > 0 && !isSqliteFileHeader(location.filePath)))) {
            return {nullptr, QStringLiteral("%1 is not an Audimark archive or is damaged; it is "
                                            "left as it is.")
                                 .arg(name)};
        }
        // The data directory may not exist yet on a first start.
        if (!info.exists() && !QDir().mkpath(info.absolutePath()))
            return {nullptr, QStringLiteral("The archive %1 cannot be created: its folder "
                                            "cannot be made.")
                                 .arg(name)};
    }
    std::unique_ptr<Archive> archive(new Archive(location, QStringLiteral("audimark-archive-") +
                                                               QUuid::createUuid().toString()));
    if (!archive->connect())
        return {nullptr, archive->m_error,
                !archive->isSqlite() && QSqlDatabase::isDriverAvailable(QStringLiteral("QPSQL"))};
    QString error;
    // Read before anything is written, so that a damaged or newer archive
    // is refused untouched.
    if (!ArchiveSchema::readVersion(archive->m_db, name, error))
        return {nullptr, error};
    if (archive->isSqlite()) {
        if (!switchToWal(archive->m_db, error))
            return {nullptr,
                    QStringLiteral("The archive %1 cannot be shared: %2").arg(name, error)};
        QSqlQuery pragma(archive->m_db);
        // FULL: a commit survives a power cut, not only a crash of the program.
        if (!pragma.exec(QStringLiteral("PRAGMA synchronous=FULL")))
            return {nullptr, QStringLiteral("The archive %1 cannot be prepared: %2")
                                 .arg(name, pragma.lastError().text())};
    }
    if (!ArchiveSchema::migrate(archive->m_db, archive->isSqlite(), name, error))
        return {nullptr, error};
    return {std::move(archive), QString()};
}

bool Archive::isSqlite() const
{
    return m_location.engine == ArchiveLocation::Engine::SQLite;
}

bool Archive::answers()
{
    if (!m_db.isOpen())
        return false;
    QSqlQuery probe(m_db);
    return probe.exec(QStringLiteral("SELECT 1"));
}

bool Archive::connect()
{
    const QString driver = isSqlite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL");
    if (!QSqlDatabase::isDriverAvailable(driver)) {
        m_error = QStringLiteral("The archive %1 cannot be opened: the %2 driver of Qt is not "
                                 "installed.")
                      .arg(m_location.displayName(), driver);
        return false;
    }
    m_db = QSqlDatabase::addDatabase(driver, m_connectionName);
    if (isSqlite()) {
        m_db.setDatabaseName(m_location.filePath);
        m_db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(kBusyTimeoutMs));
    } else {
        // No password is given: the client library reads ~/.pgpass or
        // PGPASSFILE itself.
        m_db.setHostName(m_location.host);
        m_db.setPort(m_location.port);
        m_db.setUserName(m_location.user);
        m_db.setDatabaseName(m_location.database);
        m_db.setConnectOptions(QStringLiteral("connect_timeout=10"));
    }
    if (!m_db.open()) {
        m_error = QStringLiteral("The archive %1 cannot be opened: %2")
                      .arg(m_location.displayName(), m_db.lastError().text());
        return false;
    }
    if (!isSqlite()) {
        QSqlQuery quiet(m_db);
        quiet.exec(QStringLiteral("SET client_min_messages TO WARNING"));
    }
    return true;
}

bool Archive::fail(const QString& what, const QSqlQuery& query)
{
    m_error = QStringLiteral("The archive %1: %2: %3")
                  .arg(m_location.displayName(), what, query.lastError().text());
    return false;
}

bool Archive::run(QSqlQuery& query, const QString& sql, std::initializer_list<QVariant> values)
{
    if (!query.prepare(sql))
        return false;
    for (const QVariant& value : values)
        query.addBindValue(value);
    return query.exec();
}

bool Archive::beginWrite()
{
    if (m_inBatch)
        return !m_batchFailed;
    QSqlQuery begin(m_db);
    if (begin.exec(ArchiveSchema::beginWrite(isSqlite())))
        return true;
    return fail(QStringLiteral("cannot start writing"), begin);
}

bool Archive::commit()
{
    if (m_inBatch)
        return !m_batchFailed;
    QSqlQuery commit(m_db);
    if (commit.exec(QStringLiteral("COMMIT")))
        return true;
    fail(QStringLiteral("cannot commit"), commit);
    rollback();
    return false;
}

void Archive::rollback()
{
    if (m_inBatch) {
        m_batchFailed = true;
        return;
    }
    QSqlQuery rollback(m_db);
    rollback.exec(QStringLiteral("ROLLBACK"));
}

Archive::WriteBatch::WriteBatch(Archive& archive) : m_archive(archive)
{
    if (archive.m_inBatch || !archive.beginWrite())
        return;
    archive.m_inBatch = true;
    archive.m_batchFailed = false;
    m_started = true;
}

Archive::WriteBatch::~WriteBatch()
{
    if (m_started && !m_done) {
        m_archive.m_inBatch = false;
        m_archive.rollback();
        // The open series kept may hold samples the rollback undid.
        m_archive.m_open.clear();
    }
}

bool Archive::WriteBatch::commit()
{
    if (!m_started || m_done)
        return false;
    m_done = true;
    m_archive.m_inBatch = false;
    if (!m_archive.m_batchFailed && m_archive.commit())
        return true;
    if (m_archive.m_batchFailed)
        m_archive.rollback();
    // The open series kept may hold samples the rollback undid.
    m_archive.m_open.clear();
    return false;
}

std::optional<qint64> Archive::addMeasurement(const Measurement& m)
{
    const QString key =
        m.key.isEmpty() ? QUuid::createUuid().toString(QUuid::WithoutBraces) : m.key;
    const QDateTime end = m.end.isValid() ? m.end : m.start;
    if (!m.start.isValid()) {
        m_error = QStringLiteral("The archive %1: a measurement needs its start.")
                      .arg(m_location.displayName());
        return std::nullopt;
    }
    return insertUnlessPresent(
        QStringLiteral("INSERT INTO measurements (measurement_key, kind, meter_model, "
                       "meter_port, start_utc_ms, end_utc_ms, utc_offset_s, interval_ms, "
                       "weighting, site, notes, memory_image_id) "
                       "VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?, ?) "
                       "ON CONFLICT (measurement_key) DO NOTHING"),
        {key, measurementKindName(m.kind), notNull(m.meterModel), notNull(m.meterPort),
         m.start.toMSecsSinceEpoch(), end.toMSecsSinceEpoch(), m.start.offsetFromUtc(),
         m.intervalMs, notNull(m.weighting), notNull(m.site), notNull(m.notes),
         m.memoryImageId > 0 ? QVariant(m.memoryImageId) : QVariant()},
        QStringLiteral("SELECT id FROM measurements WHERE measurement_key = ?"), key,
        QStringLiteral("cannot add a measurement"));
}

Archive::OpenSeries* Archive::openSeries(qint64 id)
{
    if (const auto found = m_open.find(id); found != m_open.end())
        return &found->second;
    QSqlQuery q(m_db);
    if (!run(q,
             QStringLiteral("SELECT interval_ms, unfinished, sample_count, end_utc_ms, "
                            "utc_offset_s FROM measurements WHERE id = ?"),
             {id})) {
        fail(QStringLiteral("cannot read measurement %1").arg(id), q);
        return nullptr;
    }
    if (!q.next()) {
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return nullptr;
    }
    if (q.value(1).toInt() == 0) {
        m_error = QStringLiteral("Measurement %1 of the archive %2 is finished; nothing can be "
                                 "added to it.")
                      .arg(id)
                      .arg(m_location.displayName());
        return nullptr;
    }
    OpenSeries series;
    series.grid.intervalMs = q.value(0).toLongLong();
    const qint64 sampleCount = q.value(2).toLongLong();
    series.endUtcMs = q.value(3).toLongLong();
    series.utcOffsetSeconds = q.value(4).toInt();
    series.tailFirst = sampleCount;
    q.finish();
    if (sampleCount > 0) {
        // Continuing after a restart: the origin from the first chunk, the
        // tail from the last one when it is not full.
        QSqlQuery chunks(m_db);
        if (!run(chunks,
                 QStringLiteral("SELECT first_index, sample_count, data FROM sample_chunks "
                                "WHERE measurement_id = ? AND (first_index = 0 OR first_index = "
                                "(SELECT MAX(first_index) FROM sample_chunks "
                                "WHERE measurement_id = ?)) ORDER BY first_index"),
                 {id, id})) {
            fail(QStringLiteral("cannot read measurement %1").arg(id), chunks);
            return nullptr;
        }
        while (chunks.next()) {
            const qint64 first = chunks.value(0).toLongLong();
            const qsizetype count = chunks.value(1).toLongLong();
            ArchiveSeries points;
            if (!SampleChunk::decode(chunks.value(2).toByteArray(), first, count, points.x,
                                     points.y)) {
                m_error = QStringLiteral("Measurement %1 of the archive %2 is damaged.")
                              .arg(id)
                              .arg(m_location.displayName());
                return nullptr;
            }
            if (first == 0 && !points.x.empty()) {
                series.grid.origin = points.x.front();
                series.hasOrigin = true;
            }
            if (first + count == sampleCount && count < SampleChunk::kSamples) {
                series.tailFirst = first;
                series.tailX = std::move(points.x);
                series.tailY = std::move(points.y);
            }
        }
    }
    return &m_open.emplace(id, std::move(series)).first->second;
}

bool Archive::writeChunk(qint64 id, const OpenSeries& series)
{
    const QByteArray blob =
        SampleChunk::encode(series.tailX, series.tailY, series.tailFirst, series.grid);
    QSqlQuery q(m_db);
    if (run(q,
            QStringLiteral("INSERT INTO sample_chunks (measurement_id, first_index, sample_count, "
                           "data) VALUES (?, ?, ?, ?) ON CONFLICT (measurement_id, first_index) "
                           "DO UPDATE SET sample_count = excluded.sample_count, "
                           "data = excluded.data"),
            {id, series.tailFirst, qint64(series.tailX.size()), blob}))
        return true;
    return fail(QStringLiteral("cannot store samples of measurement %1").arg(id), q);
}

bool Archive::appendSamples(qint64 id, std::span<const double> x, std::span<const float> y)
{
    const size_t count = std::min(x.size(), y.size());
    OpenSeries* open = openSeries(id);
    if (!open)
        return false;
    if (count == 0)
        return true;
    // Worked on a copy: a failed write leaves the kept tail as it was.
    OpenSeries series = *open;
    if (!series.hasOrigin) {
        series.grid.origin = x[0];
        series.hasOrigin = true;
    }
    double energy = 0.0;
    qint64 levels = 0;
    for (size_t i = 0; i < count; ++i) {
        if (std::isfinite(y[i])) {
            energy += std::pow(10.0, double(y[i]) / 10.0);
            ++levels;
        }
    }
    const double last = x[count - 1];
    if (std::isfinite(last) && std::abs(last) < 1e7) {
        const qint64 localMs = std::llround(last * double(kMsPerDay)) - kEpochOffsetMs;
        series.endUtcMs = std::max(series.endUtcMs, localMs - series.utcOffsetSeconds * 1000LL +
                                                        series.grid.intervalMs);
    }
    if (!beginWrite())
        return false;
    for (size_t i = 0; i < count; ++i) {
        series.tailX.push_back(x[i]);
        series.tailY.push_back(y[i]);
        if (qsizetype(series.tailX.size()) == SampleChunk::kSamples) {
            if (!writeChunk(id, series)) {
                rollback();
                return false;
            }
            series.tailFirst += SampleChunk::kSamples;
            series.tailX.clear();
            series.tailY.clear();
        }
    }
    if (!series.tailX.empty() && !writeChunk(id, series)) {
        rollback();
        return false;
    }
    QSqlQuery update(m_db);
    if (!run(update,
             QStringLiteral("UPDATE measurements SET sample_count = ?, level_count = level_count "
                            "+ ?, energy_sum = energy_sum + ?, end_utc_ms = ? WHERE id = ?"),
             {series.tailFirst + qint64(series.tailX.size()), levels, energy, series.endUtcMs,
              id})) {
        fail(QStringLiteral("cannot store samples of measurement %1").arg(id), update);
        rollback();
        return false;
    }
    if (!commit())
        return false;
    *open = std::move(series);
    return true;
}

bool Archive::finish(qint64 id, const QDateTime& end)
{
    QSqlQuery q(m_db);
    const bool ok =
        end.isValid()
            ? run(q,
                  QStringLiteral("UPDATE measurements SET unfinished = 0, end_utc_ms = ? "
                                 "WHERE id = ?"),
                  {end.toMSecsSinceEpoch(), id})
            : run(q, QStringLiteral("UPDATE measurements SET unfinished = 0 WHERE id = ?"), {id});
    if (!ok)
        return fail(QStringLiteral("cannot finish measurement %1").arg(id), q);
    m_open.erase(id);
    if (q.numRowsAffected() != 1) {
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return false;
    }
    return true;
}

std::optional<std::vector<Measurement>> Archive::listMeasurements(const MeasurementFilter& filter)
{
    QString sql = QString::fromLatin1(kMeasurementColumns) + QStringLiteral(" WHERE 1 = 1");
    QVariantList values;
    if (filter.from.isValid()) {
        sql += QStringLiteral(" AND start_utc_ms >= ?");
        values << filter.from.toMSecsSinceEpoch();
    }
    if (filter.to.isValid()) {
        sql += QStringLiteral(" AND start_utc_ms < ?");
        values << filter.to.toMSecsSinceEpoch();
    }
    if (filter.kind) {
        sql += QStringLiteral(" AND kind = ?");
        values << measurementKindName(*filter.kind);
    }
    if (!filter.text.isEmpty()) {
        sql += QStringLiteral(" AND (LOWER(site) LIKE ? ESCAPE '!' OR LOWER(notes) LIKE ? "
                              "ESCAPE '!' OR LOWER(meter_model) LIKE ? ESCAPE '!' OR "
                              "LOWER(meter_port) LIKE ? ESCAPE '!')");
        const QString pattern = likePattern(filter.text);
        values << pattern << pattern << pattern << pattern;
    }
    sql += QStringLiteral(" ORDER BY start_utc_ms DESC, id DESC");
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!q.prepare(sql)) {
        fail(QStringLiteral("cannot list measurements"), q);
        return std::nullopt;
    }
    for (const QVariant& value : values)
        q.addBindValue(value);
    if (!q.exec()) {
        fail(QStringLiteral("cannot list measurements"), q);
        return std::nullopt;
    }
    std::vector<Measurement> list;
    while (q.next())
        list.push_back(measurementFromRow(q));
    return list;
}

std::optional<Measurement> Archive::measurement(qint64 id)
{
    QSqlQuery q(m_db);
    if (!run(q, QString::fromLatin1(kMeasurementColumns) + QStringLiteral(" WHERE id = ?"), {id})) {
        fail(QStringLiteral("cannot read measurement %1").arg(id), q);
        return std::nullopt;
    }
    if (!q.next()) {
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return std::nullopt;
    }
    return measurementFromRow(q);
}

std::optional<std::vector<Measurement>> Archive::measurementsWithKeys(const QStringList& keys)
{
    // A collection has up to 4000 sets: asked in batches, not key by key.
    constexpr qsizetype kBatch = 200;
    std::map<QString, Measurement> byKey;
    for (qsizetype first = 0; first < keys.size(); first += kBatch) {
        const QStringList batch = keys.mid(first, kBatch);
        QStringList marks;
        for (qsizetype i = 0; i < batch.size(); ++i)
            marks << QStringLiteral("?");
        QSqlQuery q(m_db);
        q.setForwardOnly(true);
        if (!q.prepare(QString::fromLatin1(kMeasurementColumns) +
                       QStringLiteral(" WHERE measurement_key IN (%1)").arg(marks.join(u',')))) {
            fail(QStringLiteral("cannot look for measurements"), q);
            return std::nullopt;
        }
        for (const QString& key : batch)
            q.addBindValue(key);
        if (!q.exec()) {
            fail(QStringLiteral("cannot look for measurements"), q);
            return std::nullopt;
        }
        while (q.next()) {
            Measurement m = measurementFromRow(q);
            byKey.emplace(m.key, std::move(m));
        }
    }
    std::vector<Measurement> found;
    for (const QString& key : keys) {
        const auto it = byKey.find(key);
        if (it != byKey.end())
            found.push_back(it->second);
    }
    return found;
}

std::optional<ArchiveSeries> Archive::readSamples(qint64 id)
{
    const std::optional<Measurement> m = measurement(id);
    if (!m)
        return std::nullopt;
    QSqlQuery q(m_db);
    q.setForwardOnly(true);
    if (!run(q,
             QStringLiteral("SELECT first_index, sample_count, data FROM sample_chunks "
                            "WHERE measurement_id = ? ORDER BY first_index"),
             {id})) {
        fail(QStringLiteral("cannot read measurement %1").arg(id), q);
        return std::nullopt;
    }
    ArchiveSeries series;
    series.x.reserve(m->sampleCount);
    series.y.reserve(m->sampleCount);
    while (q.next()) {
        const qint64 first = q.value(0).toLongLong();
        if (first != qint64(series.x.size()) ||
            !SampleChunk::decode(q.value(2).toByteArray(), first, q.value(1).toLongLong(), series.x,
                                 series.y)) {
            m_error = QStringLiteral("Measurement %1 of the archive %2 is damaged at sample %3.")
                          .arg(id)
                          .arg(m_location.displayName())
                          .arg(series.x.size());
            return std::nullopt;
        }
    }
    return series;
}

bool Archive::updateSiteNotes(qint64 id, const QString& site, const QString& notes)
{
    QSqlQuery q(m_db);
    if (!run(q, QStringLiteral("UPDATE measurements SET site = ?, notes = ? WHERE id = ?"),
             {notNull(site), notNull(notes), id}))
        return fail(QStringLiteral("cannot change measurement %1").arg(id), q);
    if (q.numRowsAffected() != 1) {
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return false;
    }
    return true;
}

bool Archive::updateWeighting(qint64 id, const QString& weighting)
{
    QSqlQuery q(m_db);
    if (!run(q, QStringLiteral("UPDATE measurements SET weighting = ? WHERE id = ?"),
             {notNull(weighting), id}))
        return fail(QStringLiteral("cannot change measurement %1").arg(id), q);
    if (q.numRowsAffected() != 1) {
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return false;
    }
    return true;
}

bool Archive::deleteMeasurement(qint64 id)
{
    if (!beginWrite())
        return false;
    QSqlQuery chunks(m_db);
    QSqlQuery row(m_db);
    if (!run(chunks, QStringLiteral("DELETE FROM sample_chunks WHERE measurement_id = ?"), {id})) {
        fail(QStringLiteral("cannot delete measurement %1").arg(id), chunks);
        rollback();
        return false;
    }
    if (!run(row, QStringLiteral("DELETE FROM measurements WHERE id = ?"), {id})) {
        fail(QStringLiteral("cannot delete measurement %1").arg(id), row);
        rollback();
        return false;
    }
    if (row.numRowsAffected() != 1) {
        rollback();
        m_error = QStringLiteral("The archive %1 holds no measurement %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return false;
    }
    if (!commit())
        return false;
    m_open.erase(id);
    return true;
}

std::optional<qint64> Archive::storeMemoryImage(const QByteArray& image)
{
    const QString hash =
        QString::fromLatin1(QCryptographicHash::hash(image, QCryptographicHash::Sha256).toHex());
    // A logger memory of levels in 0.1 dB steps keeps about half its size
    // compressed; an image that does not get smaller is kept raw.
    QByteArray data = qCompress(image, 9);
    int coding = kImageZlib;
    if (data.size() >= image.size()) {
        data = image;
        coding = kImageRaw;
    }
    return insertUnlessPresent(
        QStringLiteral("INSERT INTO memory_images (sha256, byte_count, stored_utc_ms, data, "
                       "coding) VALUES (?, ?, ?, ?, ?) ON CONFLICT (sha256) DO NOTHING"),
        {hash, qint64(image.size()), QDateTime::currentMSecsSinceEpoch(), data, coding},
        QStringLiteral("SELECT id FROM memory_images WHERE sha256 = ?"), hash,
        QStringLiteral("cannot store a logger memory"));
}

// The row is inserted unless its unique key is there already; either way its
// id is read back, so that the same key always gives the same id.
std::optional<qint64> Archive::insertUnlessPresent(const QString& insertSql,
                                                   std::initializer_list<QVariant> values,
                                                   const QString& selectIdSql, const QVariant& key,
                                                   const QString& what)
{
    if (!beginWrite())
        return std::nullopt;
    QSqlQuery insert(m_db);
    if (!run(insert, insertSql, values)) {
        fail(what, insert);
        rollback();
        return std::nullopt;
    }
    QSqlQuery select(m_db);
    if (!run(select, selectIdSql, {key}) || !select.next()) {
        fail(what, select);
        rollback();
        return std::nullopt;
    }
    const qint64 id = select.value(0).toLongLong();
    select.finish();
    if (!commit())
        return std::nullopt;
    return id;
}

std::optional<QByteArray> Archive::memoryImage(qint64 id)
{
    QSqlQuery q(m_db);
    if (!run(q, QStringLiteral("SELECT data, coding, byte_count FROM memory_images WHERE id = ?"),
             {id})) {
        fail(QStringLiteral("cannot read logger memory %1").arg(id), q);
        return std::nullopt;
    }
    if (!q.next()) {
        m_error = QStringLiteral("The archive %1 holds no logger memory %2.")
                      .arg(m_location.displayName())
                      .arg(id);
        return std::nullopt;
    }
    const QByteArray data = q.value(0).toByteArray();
    const int coding = q.value(1).toInt();
    QByteArray image;
    if (coding == kImageRaw)
        image = data;
    else if (coding == kImageZlib && !data.isEmpty())
        image = qUncompress(data);
    // An unknown coding or bytes that do not give the image back: damaged,
    // never handed on as a memory.
    if ((coding != kImageRaw && image.isEmpty()) || image.size() != q.value(2).toLongLong()) {
        m_error = QStringLiteral("Logger memory %1 of the archive %2 is damaged.")
                      .arg(id)
                      .arg(m_location.displayName());
        return std::nullopt;
    }
    return image;
}
