// download with a PostgreSQL server that is down: the sets go to the local
// spool with one warning line, twice loaded stay once, and the first
// download that finds the server back sends them there, each once; an
// autoload cycle goes back to the server as soon as it answers.

#include "common/CliProcess.h"
#include "common/OneSetImage.h"
#include "common/PostgresServer.h"
#include "common/TestMain.h"
#include "common/VirtualMeterProcess.h"
#include "tools/cli/CliArchive.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTemporaryDir>

class TestCliSpool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY(QFile::exists(qEnvironmentVariable("AUDIMARK_CLI")));
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        QVERIFY(m_server.writePassFile(m_dir.filePath("pgpass")));
        qputenv("PGPASSFILE", QFile::encodeName(m_dir.filePath("pgpass")));
        QVERIFY(m_server.createDatabase("noise"));
        QFile memory(m_dir.filePath("memory.bin"));
        QVERIFY(memory.open(QIODevice::WriteOnly));
        memory.write(oneSetImage(120));
    }

    void downloadsWhileDownAreSentOnce_data()
    {
        QTest::addColumn<bool>("serverUp");
        QTest::addColumn<QString>("said");
        QTest::addColumn<int>("onServer");
        // Rows run in order: one server, one spool.
        QTest::newRow("down") << false << "Kept locally in" << 0;
        QTest::newRow("down again, same sets") << false << "Kept locally in" << 0;
        QTest::newRow("back") << true << "1 measurement kept locally" << 1;
        QTest::newRow("back, same sets") << true << "1 data sets in the archive" << 1;
    }

    void downloadsWhileDownAreSentOnce()
    {
        QFETCH(bool, serverUp);
        QFETCH(QString, said);
        QFETCH(int, onServer);
        const QString url = m_server.url("noise");
        if (serverUp)
            QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
        else
            m_server.stop();
        VirtualMeterProcess meter({"--memory", m_dir.filePath("memory.bin"), "--fast"});
        const QString port = meter.waitForPath();
        QVERIFY(!port.isEmpty());
        const CliRun run = runCli(
            {"download", "--port", port, "--out", m_dir.filePath("sets.rec"), "--archive", url});
        QCOMPARE(run.status, 0);
        QVERIFY2(run.err.contains(said), qPrintable(run.err));
        QCOMPARE(run.err.split('\n').filter("warning").size(), serverUp ? 0 : 1);
        if (!serverUp)
            return;
        const CliRun list = runCli({"archive", "list", "--format", "json", "--archive", url});
        QCOMPARE(list.status, 0);
        QCOMPARE(QJsonDocument::fromJson(list.out.toUtf8()).array().size(), onServer);
    }

    void laterCycleGoesBackToTheServer()
    {
        QVERIFY(m_server.createDatabase("cycles"));
        const ArchiveChoice choice{false, m_server.url("cycles")};
        m_server.stop();
        QString said;
        QTextStream err(&said);
        std::unique_ptr<Archive> archive = CliArchive::openOrWarn(choice, err);
        QVERIFY2(archive, qPrintable(said));
        QCOMPARE(archive->location().engine, ArchiveLocation::Engine::SQLite);
        QCOMPARE(said.count("warning"), 1);
        Measurement m;
        m.key = "autoload-cycle";
        m.start = QDateTime::currentDateTime();
        QVERIFY(archive->addMeasurement(m));
        QVERIFY(!CliArchive::preferServer(archive, choice, err, true));
        QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
        QVERIFY2(CliArchive::preferServer(archive, choice, err, true), qPrintable(said));
        QCOMPARE(archive->location().engine, ArchiveLocation::Engine::PostgreSQL);
        QCOMPARE(int(archive->listMeasurements()->size()), 1);
        QCOMPARE(said.count("warning"), 1);
    }

private:
    QTemporaryDir m_dir;
    PostgresServer m_server;
};

AUDIMARK_TEST_MAIN_CORE(TestCliSpool)
#include "tst_clispool.moc"
