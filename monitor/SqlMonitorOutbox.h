#pragma once

// The outbox of a monitoring station in the table monitor_messages of an
// archive (SQLite or PostgreSQL, see ArchiveSchema), or, without an
// archive, of a local queue file: an SQLite file in the program's data
// directory, one per station, of the same schema. Every append is its own
// committed write, made before the message is published.
//
// Several stations may share one archive: ids count per station. A server
// connection that broke is opened again on a later write or read (at most
// every kReconnectEveryMs); until then append() returns 0 and lastError()
// says why.

#include "archive/ArchiveLocation.h"
#include "monitor/MonitorOutbox.h"

#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QString>

#include <memory>

class SqlMonitorOutbox : public MonitorOutbox
{
public:
    // A broken server connection is opened again at most this often.
    static constexpr qint64 kReconnectEveryMs = 5000;

    struct OpenResult
    {
        std::unique_ptr<SqlMonitorOutbox> outbox; // null when refused
        QString error;
    };

    // Opens (creating or bringing forward as Archive::open does) the archive
    // at location and the station's outbox in it.
    [[nodiscard]] static OpenResult open(const ArchiveLocation& location, const QString& station);
    // The queue file of a station in the data directory:
    // "monitor-<station>.sqlite", the name percent-encoded where it is not a
    // plain word.
    [[nodiscard]] static ArchiveLocation queueFile(const QString& dataDirectory,
                                                   const QString& station);

    ~SqlMonitorOutbox() override;
    SqlMonitorOutbox(const SqlMonitorOutbox&) = delete;
    SqlMonitorOutbox& operator=(const SqlMonitorOutbox&) = delete;

    qint64 append(const QString& subtopic, const QJsonObject& message) override;
    [[nodiscard]] QList<OutboxMessage> unsent(int limit) override;
    void markSent(qint64 id) override;

    [[nodiscard]] const ArchiveLocation& location() const { return m_location; }
    [[nodiscard]] const QString& station() const { return m_station; }
    [[nodiscard]] QString lastError() const { return m_error; }
    // Messages of the station not yet sent.
    [[nodiscard]] qint64 unsentCount();

private:
    SqlMonitorOutbox(const ArchiveLocation& location, const QString& station);
    [[nodiscard]] bool connect();
    [[nodiscard]] bool isSqlite() const;
    // Runs once more on a fresh connection when the first try failed
    // because the server's connection is gone.
    template <typename Work> bool retried(Work&& work);
    [[nodiscard]] bool tryAppend(const QString& subtopic, const QJsonObject& message, qint64& id);

    ArchiveLocation m_location;
    QString m_station;
    QString m_connectionName;
    QSqlDatabase m_db;
    QString m_error;
    QElapsedTimer m_lastReconnect;
};
