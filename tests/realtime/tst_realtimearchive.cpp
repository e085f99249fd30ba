// A real-time recording in the main window on the virtual meter is written
// into the archive while it records, with the samples the graph shows; a
// write that fails is told once and the recording goes on; without an
// archive nothing is stored and the questions keep their plain text.

#include <QApplication>

#include "common/TestMain.h"

#include "app/ArchiveSession.h"
#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "archive/Archive.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeCommands.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 8000;
// At 0.1 s a sample per frame of the fast virtual meter: seconds of samples.
constexpr int SampleTimeout = 20000;

// Runs SQL on the archive file through a connection of its own, as another
// program would.
bool execOn(const QString& path, const QString& sql)
{
    bool ok = false;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other"));
        db.setDatabaseName(path);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=30000"));
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
        }
    }
    QSqlDatabase::removeDatabase(QStringLiteral("other"));
    return ok;
}

struct RecordingRig
{
    QTemporaryDir dir;
    vmeter::VirtualMeter meter{[] {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        return options;
    }()};
    ArchiveSession session;
    FileScript files;
    std::unique_ptr<TfrmMain> w;
    QStringList asked;

    [[nodiscard]] QString archivePath() const { return dir.filePath(QStringLiteral("archive.sqlite")); }

    [[nodiscard]] bool start(bool archived)
    {
        if (!meter.start())
            return false;
        // As the program's start chooses it, with or without --no-archive.
        (void)session.open(ArchiveSession::chooseLocation(!archived, QString(), QString(),
                                                          dir.path()));
        TfrmMain::Environment environment;
        const QString port = meter.slavePath();
        environment.listPorts = [port] { return QStringList{port}; };
        environment.dataDirectory = dir.path();
        environment.fileDialogs = files.runner();
        environment.archive = &session;
        w = std::make_unique<TfrmMain>(environment);
        QSignalSpy finished(w.get(), &TfrmMain::startUpFinished);
        w->show();
        if (!finished.wait(StartUpTimeout))
            return false;
        GraphWindowState& state = w->graphState();
        state.dialogs.exec = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
                ->setText(QStringLiteral("2000"));
            static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.1"));
            return int(QDialog::Accepted);
        };
        state.dialogs.ask = [this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
            asked << text;
            return QMessageBox::Cancel;
        };
        return true;
    }
    ~RecordingRig()
    {
        if (w)
            w->graphState().dialogs.ask = [](QWidget*, const QString&,
                                             QMessageBox::StandardButtons) {
                return QMessageBox::No;
            };
    }

    QAction* action(const char* name) const { return w->findChild<QAction*>(QLatin1String(name)); }

    [[nodiscard]] qint64 archivedSamples() const
    {
        Archive* archive = session.archive();
        const qint64 id = w->realTimeArchiver().measurementId();
        if (!archive || id == 0)
            return 0;
        const auto m = archive->measurement(id);
        return m ? m->sampleCount : 0;
    }
};
} // namespace

class TestRealTimeArchive : public QObject
{
    Q_OBJECT

private slots:
    void recordingLandsInTheArchive_data()
    {
        QTest::addColumn<bool>("archived");
        QTest::newRow("archive in the data directory") << true;
        QTest::newRow("no archive") << false;
    }

    void recordingLandsInTheArchive()
    {
        QFETCH(bool, archived);
        RecordingRig rig;
        QVERIFY(rig.start(archived));
        QTRY_VERIFY_WITH_TIMEOUT(rig.action("Run1")->isEnabled(), LinkTimeout);
        GraphWindowState& state = rig.w->graphState();

        rig.action("Run1")->trigger();
        QVERIFY(state.RealTimeRunning);
        // Written while it records: samples are in before the stop.
        if (archived)
            QTRY_VERIFY_WITH_TIMEOUT(rig.archivedSamples() >= 10, SampleTimeout);
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount >= 25, SampleTimeout);
        rig.action("Stop1")->trigger();
        QVERIFY(!state.RealTimeRunning);
        const int count = state.RealTimeSampleCount;

        QVERIFY(rig.files.informed.isEmpty());
        QCOMPARE(QFileInfo::exists(rig.archivePath()), archived);
        QCOMPARE(state.RealTimeDataInArchive, archived);
        if (archived) {
            Archive* archive = rig.session.archive();
            const auto list = archive->listMeasurements();
            QVERIFY(list);
            QCOMPARE(qsizetype(list->size()), qsizetype(1));
            const Measurement& m = list->front();
            QCOMPARE(m.kind, MeasurementKind::RealTime);
            QVERIFY(!m.unfinished);
            QCOMPARE(m.meterModel, LoggerImageArchiver::meterModelName(rig.w->link().MeterModel()));
            QCOMPARE(m.meterPort, rig.meter.slavePath());
            QCOMPARE(m.intervalMs, qint64(100));
            QCOMPARE(m.weighting,
                     weightingText(rig.w->realTime().recorder().weighting().weighting()));
            QCOMPARE(m.start.offsetFromUtc(), QDateTime::currentDateTime().offsetFromUtc());
            QCOMPARE(m.sampleCount, qint64(count));

            const auto series = archive->readSamples(m.id);
            QVERIFY(series);
            const PESGraph* graph = state.RealTimeGraph->graph();
            const auto x = graph->xSeries(0).first(count);
            const auto y = graph->ySeries(0).first(count);
            QCOMPARE(series->x, std::vector<double>(x.begin(), x.end()));
            QCOMPARE(series->y, std::vector<float>(y.begin(), y.end()));
        }

        // The question before the next run says where the data is.
        rig.action("Run1")->trigger();
        const QString note = archived ? GraphWindowState::InArchiveNote : QString();
        QCOMPARE(rig.asked, QStringList{RealTimeCommands::ResetQuestion + note});
        QCOMPARE(state.RealTimeSampleCount, count);
        // So does the graph's close question.
        state.RealTimeDataUnsaved = true;
        QVERIFY(!state.RealTimeGraph->close());
        QCOMPARE(rig.asked.last(), QStringLiteral("Save Real-Time Graph ?") + note);
    }

    // A write that fails (a full disk) is told once; the recording goes on
    // in the graph, and what could not be written follows once it can.
    void failedWriteIsToldOnce()
    {
        RecordingRig rig;
        QVERIFY(rig.start(true));
        QTRY_VERIFY_WITH_TIMEOUT(rig.action("Run1")->isEnabled(), LinkTimeout);
        GraphWindowState& state = rig.w->graphState();
        rig.action("Run1")->trigger();
        QTRY_VERIFY_WITH_TIMEOUT(rig.archivedSamples() >= 5, SampleTimeout);

        QVERIFY(execOn(rig.archivePath(),
                       QStringLiteral("CREATE TRIGGER full BEFORE INSERT ON sample_chunks BEGIN "
                                      "SELECT RAISE(FAIL, 'database or disk is full'); END")));
        QTRY_COMPARE_WITH_TIMEOUT(rig.files.informed.size(), 1, SampleTimeout);
        QVERIFY2(rig.files.informed.front().contains(rig.archivePath()),
                 qPrintable(rig.files.informed.front()));
        QVERIFY(rig.files.informed.front().contains(QLatin1String("disk is full")));
        QVERIFY(!state.RealTimeDataInArchive);
        // Two more seconds of samples, each trying again: no second message.
        const int atFailure = state.RealTimeSampleCount;
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount >= atFailure + 20, SampleTimeout);
        QVERIFY(state.RealTimeRunning);
        QCOMPARE(rig.files.informed.size(), 1);

        QVERIFY(execOn(rig.archivePath(), QStringLiteral("DROP TRIGGER full")));
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeDataInArchive, SampleTimeout);
        rig.action("Stop1")->trigger();
        const int count = state.RealTimeSampleCount;
        const auto series = rig.session.archive()->readSamples(rig.w->realTimeArchiver().measurementId());
        QVERIFY(series);
        QCOMPARE(qsizetype(series->y.size()), qsizetype(count));
        const auto y = state.RealTimeGraph->graph()->ySeries(0).first(count);
        QCOMPARE(series->y, std::vector<float>(y.begin(), y.end()));
        QCOMPARE(rig.files.informed.size(), 1);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestRealTimeArchive)
#include "tst_realtimearchive.moc"
