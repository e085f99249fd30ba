#include "monitor/SqlMonitorOutbox.h"

#include "archive/Archive.h"
#include "archive/ArchiveSchema.h"

#include <QAtomicInteger>
#include <QDateTime>
#include <QDir>
#include <QJsonDocument>
#include <QSqlError>
#include <QSqlQuery>
#include <QUrl>

namespace {

QString nextConnectionName()
{
    static QAtomicInteger<int> counter;
    return QStringLiteral("audimark-monitor-outbox-%1").arg(counter.fetchAndAddRelaxed(1));
}

} // namespace

SqlMonitorOutbox::OpenResult SqlMonitorOutbox::open(const ArchiveLocation& location,
                                                    const QString& station)
{
    // The archive's own opening creates or brings the tables forward.
    ArchiveOpenResult archive = Archive::open(location);
    if (!archive.archive)
        return {nullptr, archive.error};
    archive.archive.reset();
    std::unique_ptr<SqlMonitorOutbox> outbox(new SqlMonitorOutbox(location, station));
    if (!outbox->connect())
        return {nullptr, outbox->m_error};
    return {std::move(outbox), QString()};
}

ArchiveLocation SqlMonitorOutbox::queueFile(const QString& dataDirectory, const QString& station)
{
    ArchiveLocation location;
    location.engine = ArchiveLocation::Engine::SQLite;
    const QString name = QString::fromLatin1(QUrl::toPercentEncoding(station, "-._"));
    location.filePath =
        QDir(dataDirectory).absoluteFilePath(QStringLiteral("monitor-%1.sqlite").arg(name));
    return location;
}

SqlMonitorOutbox::SqlMonitorOutbox(const ArchiveLocation& location, const QString& station)
    : m_location(location), m_station(station), m_connectionName(nextConnectionName())
{
}

SqlMonitorOutbox::~SqlMonitorOutbox()
{
    if (m_db.isValid())
        m_db.close();
    m_db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_connectionName);
}

bool SqlMonitorOutbox::isSqlite() const
{
    return m_location.engine == ArchiveLocation::Engine::SQLite;
}

bool SqlMonitorOutbox::connect()
{
    if (m_db.isValid()) {
        m_db.close();
    } else {
        m_db = QSqlDatabase::addDatabase(
            isSqlite() ? QStringLiteral("QSQLITE") : QStringLiteral("QPSQL"), m_connectionName);
        if (isSqlite()) {
            m_db.setDatabaseName(m_location.filePath);
            m_db.setConnectOptions(
                QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Archive::kBusyTimeoutMs));
        } else {
            // The password comes from ~/.pgpass or PGPASSFILE.
            m_db.setHostName(m_location.host);
            m_db.setPort(m_location.port);
            m_db.setUserName(m_location.user);
            m_db.setDatabaseName(m_location.database);
            m_db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        }
    }
    if (!m_db.open()) {
        m_error = QStringLiteral("The archive %1 cannot be opened: %2")
                      .arg(m_location.displayName(), m_db.lastError().text());
        return false;
    }
    if (isSqlite()) {
        // The archive's own setting: a message survives a power cut.
        QSqlQuery pragma(m_db);
        pragma.exec(QStringLiteral("PRAGMA synchronous=FULL"));
    }
    return true;
}

template <typename Work> bool SqlMonitorOutbox::retried(Work&& work)
{
    if (m_db.isOpen() && work())
        return true;
    if (isSqlite() && m_db.isOpen())
        return false;
    // A server connection that broke: once more on a new one.
    QSqlQuery probe(m_db);
    if (m_db.isOpen() && probe.exec(QStringLiteral("SELECT 1")))
        return false;
    // A server out of reach may take its connection time-out to answer:
    // asked again only every few seconds, so that the caller is not held up.
    if (m_lastReconnect.isValid() && !m_lastReconnect.hasExpired(kReconnectEveryMs))
        return false;
    m_lastReconnect.start();
    const QString failure = m_error;
    if (!connect())
        return false;
    m_error = failure;
    return work();
}

bool SqlMonitorOutbox::tryAppend(const QString& subtopic, const QJsonObject& message, qint64& id)
{
    const auto fail = [this](const QSqlQuery& query) {
        m_error = QStringLiteral("The archive %1: the message cannot be stored: %2")
                      .arg(m_location.displayName(), query.lastError().text());
        if (m_db.isOpen()) {
            QSqlQuery rollback(m_db);
            rollback.exec(QStringLiteral("ROLLBACK"));
        }
        return false;
    };
    QSqlQuery query(m_db);
    if (!query.exec(ArchiveSchema::beginWrite(isSqlite())))
        return fail(query);
    query.prepare(QStringLiteral("SELECT COALESCE(MAX(id), 0) FROM monitor_messages "
                                 "WHERE station = ?"));
    query.addBindValue(m_station);
    if (!query.exec() || !query.next())
        return fail(query);
    id = query.value(0).toLongLong() + 1;
    QJsonObject stored = message;
    stored.insert(QStringLiteral("id"), double(id));
    query.prepare(QStringLiteral("INSERT INTO monitor_messages "
                                 "(station, id, subtopic, payload, stored_utc_ms, sent) "
                                 "VALUES (?, ?, ?, ?, ?, 0)"));
    query.addBindValue(m_station);
    query.addBindValue(id);
    query.addBindValue(subtopic);
    query.addBindValue(QString::fromUtf8(QJsonDocument(stored).toJson(QJsonDocument::Compact)));
    query.addBindValue(QDateTime::currentMSecsSinceEpoch());
    if (!query.exec())
        return fail(query);
    if (!query.exec(QStringLiteral("COMMIT")))
        return fail(query);
    return true;
}

qint64 SqlMonitorOutbox::append(const QString& subtopic, const QJsonObject& message)
{
    qint64 id = 0;
    // Two programs of the same station may race for an id: the loser tries
    // again with the next one.
    for (int attempt = 0; attempt < 3; ++attempt) {
        if (retried([&] { return tryAppend(subtopic, message, id); }))
            return id;
        if (!m_db.isOpen())
            break;
    }
    return 0;
}

QList<OutboxMessage> SqlMonitorOutbox::unsent(int limit)
{
    QList<OutboxMessage> messages;
    retried([&] {
        messages.clear();
        QSqlQuery query(m_db);
        query.prepare(QStringLiteral("SELECT id, subtopic, payload FROM monitor_messages "
                                     "WHERE station = ? AND sent = 0 ORDER BY id LIMIT ?"));
        query.addBindValue(m_station);
        query.addBindValue(limit);
        if (!query.exec()) {
            m_error = QStringLiteral("The archive %1: the messages cannot be read: %2")
                          .arg(m_location.displayName(), query.lastError().text());
            return false;
        }
        while (query.next())
            messages.append({query.value(0).toLongLong(), query.value(1).toString(),
                             query.value(2).toString().toUtf8()});
        return true;
    });
    return messages;
}

void SqlMonitorOutbox::markSent(qint64 id)
{
    retried([&] {
        QSqlQuery query(m_db);
        query.prepare(
            QStringLiteral("UPDATE monitor_messages SET sent = 1 WHERE station = ? AND id = ?"));
        query.addBindValue(m_station);
        query.addBindValue(id);
        if (query.exec())
            return true;
        m_error = QStringLiteral("The archive %1: a message cannot be marked sent: %2")
                      .arg(m_location.displayName(), query.lastError().text());
        return false;
    });
}

qint64 SqlMonitorOutbox::unsentCount()
{
    qint64 count = -1;
    retried([&] {
        QSqlQuery query(m_db);
        query.prepare(
            QStringLiteral("SELECT COUNT(*) FROM monitor_messages WHERE station = ? AND sent = 0"));
        query.addBindValue(m_station);
        if (!query.exec() || !query.next())
            return false;
        count = query.value(0).toLongLong();
        return true;
    });
    return count;
}
