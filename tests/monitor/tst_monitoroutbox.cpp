// The station's outbox on each store it can live in: the queue file, an
// SQLite archive and a PostgreSQL archive (a throw-away server).

#include "archive/Archive.h"
#include "common/PostgresServer.h"
#include "common/TestMain.h"
#include "monitor/SqlMonitorOutbox.h"

#include <QJsonDocument>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QtTest>

class TestMonitorOutbox : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        QVERIFY(m_server.writePassFile(m_dir.filePath(QStringLiteral("pgpass"))));
        qputenv("PGPASSFILE", QFile::encodeName(m_dir.filePath(QStringLiteral("pgpass"))));
    }

    void storesInOrder_data()
    {
        QTest::addColumn<QString>("store");
        QTest::newRow("queue file") << QStringLiteral("queue");
        QTest::newRow("SQLite archive") << QStringLiteral("sqlite");
        QTest::newRow("PostgreSQL archive") << QStringLiteral("postgresql");
    }

    void storesInOrder()
    {
        QFETCH(QString, store);
        const ArchiveLocation location = locationOf(store);
        {
            SqlMonitorOutbox::OpenResult opened = SqlMonitorOutbox::open(location, "site-1");
            QVERIFY2(opened.outbox, qPrintable(opened.error));
            SqlMonitorOutbox& outbox = *opened.outbox;
            for (int i = 1; i <= 3; ++i)
                QCOMPARE(outbox.append(i == 2 ? "event" : "interval",
                                       {{"station", "site-1"}, {"laeq_db", 60.0 + i}}),
                         qint64(i));
            const QList<OutboxMessage> waiting = outbox.unsent(10);
            QCOMPARE(waiting.size(), 3);
            for (int i = 0; i < 3; ++i) {
                QCOMPARE(waiting[i].id, qint64(i + 1));
                QCOMPARE(waiting[i].subtopic, QString(i == 1 ? "event" : "interval"));
                const QJsonObject payload = QJsonDocument::fromJson(waiting[i].payload).object();
                QCOMPARE(payload.value("id").toInteger(), i + 1);
                QCOMPARE(payload.value("laeq_db").toDouble(), 61.0 + i);
            }
            outbox.markSent(1);
            QCOMPARE(outbox.unsent(1).constFirst().id, qint64(2));
            // Another station in the same store counts on its own.
            SqlMonitorOutbox::OpenResult other = SqlMonitorOutbox::open(location, "site-2");
            QVERIFY2(other.outbox, qPrintable(other.error));
            QCOMPARE(other.outbox->append("interval", {}), qint64(1));
        }
        SqlMonitorOutbox::OpenResult reopened = SqlMonitorOutbox::open(location, "site-1");
        QVERIFY2(reopened.outbox, qPrintable(reopened.error));
        QCOMPARE(reopened.outbox->unsentCount(), qint64(2));
        QCOMPARE(reopened.outbox->append("interval", {}), qint64(4));
        QList<qint64> ids;
        for (const OutboxMessage& m : reopened.outbox->unsent(10))
            ids.append(m.id);
        QCOMPARE(ids, (QList<qint64>{2, 3, 4}));
    }

    // Versions are applied one by one: an archive of a program that had
    // version 3 but not yet 2 gets 2 although its newest is 3.
    void missingVersionIsApplied()
    {
        const ArchiveLocation location = locationOf(QStringLiteral("sqlite"));
        QVERIFY(Archive::open(location).archive);
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "raw");
            db.setDatabaseName(location.filePath);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("ALTER TABLE memory_images DROP COLUMN coding"));
            QVERIFY(query.exec("DELETE FROM schema_version WHERE version = 2"));
        }
        QSqlDatabase::removeDatabase("raw");
        SqlMonitorOutbox::OpenResult opened = SqlMonitorOutbox::open(location, "site-1");
        QVERIFY2(opened.outbox, qPrintable(opened.error));
        int applied = 0;
        {
            QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "check");
            db.setDatabaseName(location.filePath);
            QVERIFY(db.open());
            QSqlQuery query(db);
            QVERIFY(query.exec("SELECT coding FROM memory_images"));
            QVERIFY(query.exec("SELECT COUNT(*) FROM schema_version WHERE version = 2") &&
                    query.next());
            applied = query.value(0).toInt();
        }
        QSqlDatabase::removeDatabase("check");
        QCOMPARE(applied, 1);
    }

    // A server that went away: nothing stored meanwhile (0, with the reason),
    // and once it is back the next message goes in on a new connection.
    void serverBackAfterRestart()
    {
        const ArchiveLocation location = locationOf(QStringLiteral("postgresql"));
        SqlMonitorOutbox::OpenResult opened = SqlMonitorOutbox::open(location, "site-1");
        QVERIFY2(opened.outbox, qPrintable(opened.error));
        QCOMPARE(opened.outbox->append("interval", {}), qint64(1));
        m_server.stop();
        QCOMPARE(opened.outbox->append("interval", {}), qint64(0));
        QVERIFY(!opened.outbox->lastError().isEmpty());
        QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
        qint64 id = 0;
        for (QDeadlineTimer until(3 * SqlMonitorOutbox::kReconnectEveryMs);
             id == 0 && !until.hasExpired(); QTest::qWait(100))
            id = opened.outbox->append("interval", {});
        QCOMPARE(id, qint64(2));
        QCOMPARE(opened.outbox->unsentCount(), qint64(2));
    }

    void queueFileNames_data()
    {
        QTest::addColumn<QString>("station");
        QTest::addColumn<QString>("file");
        QTest::newRow("plain") << "site-1"
                               << "monitor-site-1.sqlite";
        QTest::newRow("not a plain word") << "a/b c"
                                          << "monitor-a%2Fb%20c.sqlite";
    }

    void queueFileNames()
    {
        QFETCH(QString, station);
        QFETCH(QString, file);
        QCOMPARE(QFileInfo(SqlMonitorOutbox::queueFile("/data", station).filePath).fileName(),
                 file);
    }

private:
    ArchiveLocation locationOf(const QString& store)
    {
        const QString name = QStringLiteral("%1-%2").arg(store).arg(++m_count);
        if (store == QLatin1String("queue")) {
            QDir().mkpath(m_dir.filePath(name));
            return SqlMonitorOutbox::queueFile(m_dir.filePath(name), "site-1");
        }
        ArchiveLocation location;
        QString error;
        if (store == QLatin1String("postgresql")) {
            [&] { QVERIFY(m_server.createDatabase(QStringLiteral("m%1").arg(m_count))); }();
            [&] {
                QVERIFY2(ArchiveLocation::parse(m_server.url(QStringLiteral("m%1").arg(m_count)),
                                                location, error),
                         qPrintable(error));
            }();
            return location;
        }
        [&] {
            QVERIFY(ArchiveLocation::parse(m_dir.filePath(name + ".sqlite"), location, error));
        }();
        return location;
    }

    QTemporaryDir m_dir;
    PostgresServer m_server;
    int m_count = 0;
};

AUDIMARK_TEST_MAIN_CORE(TestMonitorOutbox)
#include "tst_monitoroutbox.moc"
