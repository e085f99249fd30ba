#include "archive/ArchiveSchema.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QStringList>

namespace ArchiveSchema {
namespace {

// One migration: the statements that take the archive from version - 1 to
// version. Placeholders: {id} {blob} {real}.
struct Migration
{
    int version;
    const char* const* statements;
    int count;
};

const char* const kVersion1[] = {
    "CREATE TABLE memory_images ("
    " id {id},"
    " sha256 TEXT NOT NULL UNIQUE,"
    " byte_count BIGINT NOT NULL,"
    " stored_utc_ms BIGINT NOT NULL,"
    " data {blob} NOT NULL)",
    "CREATE TABLE measurements ("
    " id {id},"
    " measurement_key TEXT NOT NULL UNIQUE,"
    " kind TEXT NOT NULL,"
    " meter_model TEXT NOT NULL DEFAULT '',"
    " meter_port TEXT NOT NULL DEFAULT '',"
    " start_utc_ms BIGINT NOT NULL,"
    " end_utc_ms BIGINT NOT NULL,"
    " utc_offset_s INTEGER NOT NULL,"
    " interval_ms BIGINT NOT NULL,"
    " weighting TEXT NOT NULL DEFAULT '',"
    " sample_count BIGINT NOT NULL DEFAULT 0,"
    " level_count BIGINT NOT NULL DEFAULT 0,"
    " energy_sum {real} NOT NULL DEFAULT 0,"
    " site TEXT NOT NULL DEFAULT '',"
    " notes TEXT NOT NULL DEFAULT '',"
    " unfinished INTEGER NOT NULL DEFAULT 1,"
    " memory_image_id BIGINT)",
    "CREATE INDEX measurements_by_start ON measurements (start_utc_ms)",
    "CREATE TABLE sample_chunks ("
    " measurement_id BIGINT NOT NULL,"
    " first_index BIGINT NOT NULL,"
    " sample_count INTEGER NOT NULL,"
    " data {blob} NOT NULL,"
    " PRIMARY KEY (measurement_id, first_index))",
};

// Memory images stored compressed: how the bytes of data are coded (0 raw,
// as version 1 stored them; 1 zlib through qCompress). sha256 and
// byte_count stay those of the raw image.
const char* const kVersion2[] = {
    "ALTER TABLE memory_images ADD COLUMN coding INTEGER NOT NULL DEFAULT 0",
};

// The messages a monitoring station stores before it publishes them.
const char* const kVersion3[] = {
    "CREATE TABLE monitor_messages ("
    " station TEXT NOT NULL,"
    " id BIGINT NOT NULL,"
    " subtopic TEXT NOT NULL,"
    " payload TEXT NOT NULL,"
    " stored_utc_ms BIGINT NOT NULL,"
    " sent INTEGER NOT NULL DEFAULT 0,"
    " PRIMARY KEY (station, id))",
    "CREATE INDEX monitor_messages_unsent ON monitor_messages (station, sent, id)",
};

const Migration kMigrations[] = {
    {1, kVersion1, int(std::size(kVersion1))},
    {2, kVersion2, int(std::size(kVersion2))},
    {3, kVersion3, int(std::size(kVersion3))},
};

QString dialect(const char* statement, bool sqlite)
{
    QString sql = QString::fromLatin1(statement);
    sql.replace(QLatin1String("{id}"), sqlite ? QLatin1String("INTEGER PRIMARY KEY AUTOINCREMENT")
                                              : QLatin1String("BIGSERIAL PRIMARY KEY"));
    sql.replace(QLatin1String("{blob}"), sqlite ? QLatin1String("BLOB") : QLatin1String("BYTEA"));
    sql.replace(QLatin1String("{real}"),
                sqlite ? QLatin1String("REAL") : QLatin1String("DOUBLE PRECISION"));
    return sql;
}

// Whether a migration was applied: versions are recorded one by one, so that
// one added between two others (of a branch merged later) is still applied
// to an archive that has the later one.
std::optional<bool> hasVersion(QSqlDatabase& db, int version, const QString& name,
                               QString& error)
{
    QSqlQuery query(db);
    query.prepare(QStringLiteral("SELECT COUNT(*) FROM schema_version WHERE version = ?"));
    query.addBindValue(version);
    if (!query.exec() || !query.next()) {
        error =
            QStringLiteral("The archive %1 is damaged: %2").arg(name, query.lastError().text());
        return std::nullopt;
    }
    return query.value(0).toInt() > 0;
}

bool exec(QSqlDatabase& db, const QString& sql, const QString& name, QString& error)
{
    QSqlQuery query(db);
    if (query.exec(sql))
        return true;
    error =
        QStringLiteral("The archive %1 cannot be prepared: %2").arg(name, query.lastError().text());
    return false;
}

} // namespace

QString beginWrite(bool sqlite)
{
    return sqlite ? QStringLiteral("BEGIN IMMEDIATE") : QStringLiteral("BEGIN");
}

std::optional<int> readVersion(QSqlDatabase& db, const QString& name, QString& error)
{
    // Asked of the engine rather than through QSqlDatabase::tables(), which
    // cannot tell an empty database from one it failed to read.
    QSqlQuery tables(db);
    const bool sqlite = db.driverName() == QLatin1String("QSQLITE");
    const QString tableQuery =
        sqlite ? QStringLiteral("SELECT name FROM sqlite_master WHERE type = 'table'")
               : QStringLiteral("SELECT table_name FROM information_schema.tables "
                                "WHERE table_schema = current_schema()");
    if (!tables.exec(tableQuery)) {
        error = QStringLiteral("The archive %1 is damaged or not an archive: %2")
                    .arg(name, tables.lastError().text());
        return std::nullopt;
    }
    QStringList names;
    while (tables.next())
        names << tables.value(0).toString();
    names.removeAll(QStringLiteral("sqlite_sequence"));
    if (names.isEmpty())
        return 0;
    if (!names.contains(QStringLiteral("schema_version"))) {
        error = QStringLiteral("%1 holds a database that is not an Audimark archive; it is left "
                               "as it is.")
                    .arg(name);
        return std::nullopt;
    }
    QSqlQuery version(db);
    if (!version.exec(QStringLiteral("SELECT MAX(version) FROM schema_version")) ||
        !version.next()) {
        error =
            QStringLiteral("The archive %1 is damaged: %2").arg(name, version.lastError().text());
        return std::nullopt;
    }
    const int found = version.value(0).toInt();
    if (found > kCurrentVersion) {
        error = QStringLiteral("The archive %1 was written by a newer version of Audimark "
                               "(archive version %2, this program knows up to %3); it is not "
                               "opened and left as it is.")
                    .arg(name)
                    .arg(found)
                    .arg(kCurrentVersion);
        return std::nullopt;
    }
    return found;
}

bool migrate(QSqlDatabase& db, bool sqlite, const QString& name, QString& error)
{
    for (const Migration& migration : kMigrations) {
        if (!exec(db, beginWrite(sqlite), name, error))
            return false;
        // Under the write lock: another program may have migrated meanwhile.
        if (!sqlite &&
            !exec(db, QStringLiteral("SELECT pg_advisory_xact_lock(5877305)"), name, error)) {
            db.rollback();
            return false;
        }
        if (!exec(db,
                  QStringLiteral("CREATE TABLE IF NOT EXISTS schema_version "
                                 "(version INTEGER NOT NULL)"),
                  name, error)) {
            QString ignored;
            exec(db, QStringLiteral("ROLLBACK"), name, ignored);
            return false;
        }
        const std::optional<int> version = readVersion(db, name, error);
        std::optional<bool> applied;
        if (version)
            applied = hasVersion(db, migration.version, name, error);
        bool ok = applied.has_value();
        if (ok && !*applied) {
            for (int i = 0; ok && i < migration.count; ++i)
                ok = exec(db, dialect(migration.statements[i], sqlite), name, error);
            QSqlQuery mark(db);
            if (ok) {
                mark.prepare(QStringLiteral("INSERT INTO schema_version (version) VALUES (?)"));
                mark.addBindValue(migration.version);
                ok = mark.exec();
                if (!ok)
                    error = QStringLiteral("The archive %1 cannot be prepared: %2")
                                .arg(name, mark.lastError().text());
            }
        }
        if (!ok) {
            QString ignored;
            exec(db, QStringLiteral("ROLLBACK"), name, ignored);
            return false;
        }
        if (!exec(db, QStringLiteral("COMMIT"), name, error))
            return false;
    }
    return true;
}

} // namespace ArchiveSchema
