// The program's archive on a PostgreSQL server that goes away: a recording
// goes on into the local spool and arrives complete, once, when the server is
// back; the user is told once that measurements are kept locally. A logger
// memory stored as the server goes is kept in the spool, not lost.

#include "app/ArchiveSession.h"
#include "app/LoggerArchiving.h"
#include "archive/Archive.h"
#include "common/FakeMeterClock.h"
#include "common/PostgresServer.h"
#include "common/TestMain.h"
#include "data/LoggerMemory.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeRecorder.h"
#include "realtime/RecordingSink.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QSignalSpy>
#include <QTemporaryDir>

class TestArchiveSessionSpool : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QVERIFY2(m_server.start(), qPrintable(m_server.error()));
        const QString passFile = m_dir.filePath(QStringLiteral("pgpass"));
        QVERIFY(m_server.writePassFile(passFile));
        qputenv("PGPASSFILE", QFile::encodeName(passFile));
    }

    void recordingArrivesComplete_data()
    {
        QTest::addColumn<bool>("downAtOpen");
        QTest::addColumn<int>("goneAt"); // sample index
        QTest::addColumn<int>("backAt"); // -1: after the recording stopped
        QTest::newRow("server gone mid-way") << false << 10 << 20;
        QTest::newRow("server down at the start") << true << 0 << 20;
        QTest::newRow("server back after the stop") << false << 10 << -1;
    }

    void recordingArrivesComplete()
    {
        QFETCH(bool, downAtOpen);
        QFETCH(int, goneAt);
        QFETCH(int, backAt);
        const QString database = QStringLiteral("session%1").arg(++m_count);
        QVERIFY(m_server.createDatabase(database));
        auto restart = qScopeGuard([this] { m_server.startAgain(); });
        ArchiveSession session;
        session.setSpoolDirectory(m_dir.filePath(QStringLiteral("data%1").arg(m_count)));
        session.setRetryInterval(24 * 3600 * 1000); // tried by hand below
        if (downAtOpen)
            m_server.stop();
        QVERIFY2(session.open(m_server.url(database)), qPrintable(session.openError()));
        QCOMPARE(session.keptLocally(), downAtOpen);
        QCOMPARE(session.openError().contains(QStringLiteral("kept locally until")), downAtOpen);
        QSignalSpy changed(&session, &ArchiveSession::archiveChanged);
        QSignalSpy problems(&session, &ArchiveSession::problem);
        QVERIFY(changed.isValid() && problems.isValid());

        FakeMeterClock clock;
        RecordingSink sink;
        RealTimeRecorder recorder(clock);
        recorder.setSink(&sink);
        RealTimeArchiver archiver(recorder, clock);
        archiver.setArchive([&session] { return session.archive(); });
        connect(&archiver, &RealTimeArchiver::writeFailed, &session,
                &ArchiveSession::reportWriteFailure);
        recorder.start(1.0f);
        const int total = 30;
        for (int i = 0; i < total; ++i) {
            if (i == goneAt && !downAtOpen)
                m_server.stop();
            if (i == backAt) {
                QVERIFY(!session.retryServer());
                QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
                QVERIFY(session.retryServer());
            }
            clock.advance(1000);
            MeterReading reading;
            reading.level = float(50.0 + i * 0.7);
            reading.weightingA = true;
            recorder.sampleReading(reading);
            QCOMPARE(archiver.inArchive(), true);
        }
        recorder.stop();
        if (backAt < 0) {
            QVERIFY(session.keptLocally());
            QVERIFY(session.statusText().contains(QStringLiteral("kept locally until")));
            QVERIFY(!session.retryServer());
            QVERIFY2(m_server.startAgain(), qPrintable(m_server.error()));
            // The timer's way: the server asked on a thread, then the spool sent.
            session.setRetryInterval(50);
            QTRY_VERIFY_WITH_TIMEOUT(!session.keptLocally(), 60000);
        }
        QVERIFY(!session.keptLocally());
        QCOMPARE(changed.count(), downAtOpen ? 1 : 2);
        QCOMPARE(problems.count(), downAtOpen ? 0 : 1);

        ArchiveOpenResult server = Archive::open(m_server.url(database));
        QVERIFY2(server.archive, qPrintable(server.error));
        const auto list = server.archive->listMeasurements();
        QCOMPARE(int(list->size()), 1);
        QVERIFY(!list->front().unfinished);
        const auto samples = server.archive->readSamples(list->front().id);
        QCOMPARE(int(samples->x.size()), total);
        for (int i = 0; i < total; ++i) {
            QCOMPARE(samples->x[size_t(i)], sink.samples[i].time);
            QCOMPARE(samples->y[size_t(i)], sink.samples[i].level);
        }
    }

    void loggerMemoryGoesToSpool()
    {
        const QString database = QStringLiteral("session%1").arg(++m_count);
        QVERIFY(m_server.createDatabase(database));
        auto restart = qScopeGuard([this] { m_server.startAgain(); });
        ArchiveSession session;
        session.setSpoolDirectory(m_dir.filePath(QStringLiteral("data%1").arg(m_count)));
        session.setRetryInterval(24 * 3600 * 1000);
        QVERIFY2(session.open(m_server.url(database)), qPrintable(session.openError()));
        QVERIFY(!session.keptLocally());
        QSignalSpy problems(&session, &ArchiveSession::problem);

        vmeter::LoggerImageBuilder builder;
        for (int set = 0; set < 2; ++set) {
            vmeter::LoggerRecordContent record;
            record.start = QDateTime(QDate(2026, 3, 2), QTime(8 + set, 15, 0));
            record.aWeighting = true;
            for (int i = 0; i < 300; ++i)
                record.samplesTenths << 450 + (i * 13 + set * 70) % 500;
            QVERIFY(builder.append(record));
        }
        LoggerMemory memory;
        memory.memoryImage() = builder.image();
        m_server.stop();
        const std::optional<LoggerArchiveResult> result = LoggerArchiving::keepMemory(
            session, memory.memoryImage(), memory.memoryEndFromImage(),
            QDateTime::currentDateTime(), LoggerImageSource{MeasurementKind::Logger, {}, {}, {}});
        QVERIFY(result);
        QVERIFY2(result->stored, qPrintable(result->error));
        QVERIFY(session.keptLocally());
        // The hand-over is told, no failure.
        QCOMPARE(problems.count(), 1);
        QVERIFY(problems.at(0).at(0).toString().contains(QStringLiteral("kept locally until")));
        Archive& spool = *session.archive();
        const auto list = spool.listMeasurements();
        QVERIFY2(list, qPrintable(spool.lastError()));
        QCOMPARE(int(list->size()), 2);
        QCOMPARE(spool.memoryImage(list->front().memoryImageId), memory.memoryImage());
    }

private:
    PostgresServer m_server;
    QTemporaryDir m_dir;
    int m_count = 0;
};

AUDIMARK_TEST_MAIN_CORE(TestArchiveSessionSpool)
#include "tst_archivesessionspool.moc"
