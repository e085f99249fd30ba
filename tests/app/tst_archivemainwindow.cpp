// Load Data on the virtual meter keeps the logger memory in the archive:
// the image once however often it is loaded, one measurement per data set
// with the samples the DataLogger window shows. An archive that cannot be
// used is named in a message at start, left as it is, and the program runs
// without it; switched off, nothing is stored. An open History window lists
// what is stored meanwhile, keeping its filters and selection.

#include <QApplication>

#include "common/ArchiveRows.h"
#include "common/TestMain.h"

#include "app/ArchiveOfferBar.h"
#include "app/ArchiveSession.h"
#include "app/FileScript.h"
#include "app/LoggerArchiving.h"
#include "app/LoggerDownloadCommand.h"
#include "app/TfrmHistory.h"
#include "app/TfrmMain.h"
#include "archive/Archive.h"
#include "archive/MeasurementTableModel.h"
#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/ExportText.h"
#include "files/formats/GraphExport.h"
#include "graph/TfrmGraph.h"
#include "logger/LoggerBoxScript.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QDir>
#include <QFile>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTemporaryDir>

#include <memory>

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 10000;

QByteArray loggerMemory(int sets)
{
    vmeter::LoggerImageBuilder builder;
    for (int set = 0; set < sets; ++set) {
        vmeter::LoggerRecordContent record;
        record.start = QDateTime(QDate(2026, 5, 4), QTime(9 + set, 30, 0));
        record.aWeighting = set != 1;
        for (int i = 0; i < 200 + set * 50; ++i)
            record.samplesTenths << 500 + (i * 7 + set * 50) % 400;
        builder.append(record);
    }
    return builder.image();
}

QByteArray readAll(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

struct LoadRig
{
    QTemporaryDir dir;
    std::unique_ptr<vmeter::VirtualMeter> meter;
    ArchiveSession session;
    FileScript files;
    LoggerBoxScript boxes;
    std::unique_ptr<TfrmMain> w;
    QStringList asked;

    [[nodiscard]] QString archivePath() const
    {
        return dir.filePath(QStringLiteral("archive.sqlite"));
    }

    [[nodiscard]] bool start(const QString& location, int sets = 3)
    {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        options.protocol.logger.memory = loggerMemory(sets);
        meter = std::make_unique<vmeter::VirtualMeter>(options);
        if (!meter->start())
            return false;
        (void)session.open(location);
        TfrmMain::Environment environment;
        const QString port = meter->slavePath();
        environment.listPorts = [port] { return QStringList{port}; };
        environment.dataDirectory = dir.path();
        environment.fileDialogs = files.runner();
        environment.loggerDialogs = boxes.dialogs();
        environment.archive = &session;
        w = std::make_unique<TfrmMain>(environment);
        QSignalSpy finished(w.get(), &TfrmMain::startUpFinished);
        w->show();
        if (!finished.wait(StartUpTimeout))
            return false;
        w->graphState().dialogs.ask = [this](QWidget*, const QString& text,
                                             QMessageBox::StandardButtons) {
            asked << text;
            return QMessageBox::Cancel;
        };
        return true;
    }
    ~LoadRig()
    {
        if (w)
            w->graphState().dialogs.ask = [](QWidget*, const QString&,
                                             QMessageBox::StandardButtons) {
                return QMessageBox::No;
            };
    }

    [[nodiscard]] bool loadData()
    {
        QAction* load = w->findChild<QAction*>(QStringLiteral("LoadData1"));
        if (!QTest::qWaitFor([&] { return w->link().MeterConnected() && load->isEnabled(); },
                             LinkTimeout))
            return false;
        w->graphState().LoggerDataUnsaved = false;
        load->trigger();
        return w->graphState().LoggerDataUnsaved;
    }
};
} // namespace

class TestArchiveMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void loadDataKeepsTheMemoryOnce_data()
    {
        QTest::addColumn<int>("sets");
        QTest::newRow("one data set") << 1;
        QTest::newRow("three data sets") << 3;
    }

    void loadDataKeepsTheMemoryOnce()
    {
        QFETCH(int, sets);
        LoadRig rig;
        // The default archive of the rig's data directory.
        QVERIFY(rig.start(
            ArchiveSession::chooseLocation(false, QString(), QString(), rig.dir.path()), sets));
        QVERIFY(rig.loadData());
        QVERIFY(rig.files.informed.isEmpty());
        QCOMPARE(rig.w->dataSets().count(), sets);

        Archive* archive = rig.session.archive();
        auto list = archive->listMeasurements();
        QVERIFY(list);
        QCOMPARE(qsizetype(list->size()), qsizetype(sets));
        const DataSetCollection& shown = rig.w->dataSets();
        for (int k = 0; k < sets; ++k) {
            const Measurement& m = list->at(size_t(sets - 1 - k));
            QCOMPARE(m.kind, MeasurementKind::Logger);
            QCOMPARE(m.meterModel, QStringLiteral("QV58M model 842"));
            QCOMPARE(m.meterPort, rig.meter->slavePath());
            QCOMPARE(m.start, QDateTime(QDate(2026, 5, 4), QTime(9 + k, 30, 0)));
            QCOMPARE(m.weighting, k == 1 ? QStringLiteral("C") : QStringLiteral("A"));
            QVERIFY(!m.unfinished);
            QVERIFY(m.memoryImageId > 0);
            const auto series = archive->readSamples(m.id);
            QVERIFY(series);
            const auto x = shown.timesOf(k);
            const auto y = shown.valuesOf(k);
            QCOMPARE(series->x, std::vector<double>(x.begin(), x.end()));
            QCOMPARE(series->y, std::vector<float>(y.begin(), y.end()));
        }

        // The same memory loaded again: nothing stored twice.
        QVERIFY(rig.loadData());
        list = archive->listMeasurements();
        QCOMPARE(qsizetype(list->size()), qsizetype(sets));
        QCOMPARE(rig.w->loggerDownload().lastStore()->added, 0);
        QCOMPARE(countRows(rig.archivePath(), QStringLiteral("memory_images")), 1);

        // File > History... lists what Load Data kept.
        QAction* history = rig.w->findChild<QAction*>(QStringLiteral("History1"));
        QVERIFY(history && history->isEnabled());
        history->trigger();
        QVERIFY(rig.w->historyWindow());
        QCOMPARE(rig.w->historyWindow()->model().rowCount(), sets);

        // The close question says the data is kept.
        QVERIFY(rig.w->graphState().LoggerDataInArchive);
        QVERIFY(!rig.w->graphState().LoggerGraph->close());
        QCOMPARE(rig.asked, QStringList{QStringLiteral("Save DataLogger Data ?") +
                                        GraphWindowState::InArchiveNote});
    }

    void historyFollowsWhatIsStored()
    {
        LoadRig rig;
        QVERIFY(rig.start(rig.archivePath(), 2));
        Archive& archive = *rig.session.archive();
        Measurement kept;
        kept.kind = MeasurementKind::Import;
        kept.key = QStringLiteral("import:kept");
        kept.start = QDateTime(QDate(2026, 6, 1), QTime(10, 0));
        const std::optional<qint64> keptId = archive.addMeasurement(kept);
        Measurement old = kept;
        old.key = QStringLiteral("import:old");
        old.start = QDateTime(QDate(2019, 6, 1), QTime(10, 0));
        QVERIFY(keptId && archive.addMeasurement(old));

        rig.w->findChild<QAction*>(QStringLiteral("History1"))->trigger();
        TfrmHistory* history = rig.w->historyWindow();
        QVERIFY(history);
        history->setDateRange(QDate(2026, 1, 1), std::nullopt);
        QCOMPARE(history->model().rowCount(), 1);
        history->selectRow(0);
        const auto selectedId = [history] {
            const int row = history->selectedRow();
            return row >= 0 ? history->model().measurementAt(row).id : qint64(0);
        };

        // Load Data: its two sets (of May) listed below the selected one.
        QVERIFY(rig.loadData());
        QTRY_COMPARE(history->model().rowCount(), 3);
        QCOMPARE(selectedId(), *keptId);
        QVERIFY(history->filterOfFields().from.isValid());

        // Stored while a site is typed: listed once the site is in.
        const QModelIndex site =
            history->model().index(history->selectedRow(), MeasurementTableModel::SiteColumn);
        history->table()->edit(site);
        auto* editor = qobject_cast<QLineEdit*>(history->table()->indexWidget(site));
        QVERIFY(editor);
        QTest::keyClicks(editor, QStringLiteral("Hof"));
        // (Stored without a window taking the focus, as a recording ends.)
        const QByteArray memory = loggerMemory(1);
        LoggerMemory decoded;
        decoded.memoryImage() = memory;
        const auto stored = LoggerArchiving::keepMemory(
            rig.session, memory, decoded.memoryEndFromImage(), QDateTime::currentDateTime(),
            LoggerImageSource{MeasurementKind::Logger, {}, {}, {}});
        QVERIFY(stored && stored->stored);
        QCoreApplication::processEvents();
        QCOMPARE(history->table()->indexWidget(site), editor);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(archive.measurement(*keptId)->site, QStringLiteral("Hof"));
        QCOMPARE(selectedId(), *keptId);

        // A file opened and kept in the archive from its offer bar.
        const QString csv = rig.dir.filePath(QStringLiteral("levels.csv"));
        std::vector<double> x;
        std::vector<float> y;
        for (int i = 0; i < 20; ++i) {
            x.push_back(46174.5 + i / 86400.0); // 1 June 2026, 12:00
            y.push_back(61.5f + float(i % 4));
        }
        QCOMPARE(
            GraphExport::write(csv, x, y, ExportRange::all(20), ExportText::Comma, QLocale()).kind,
            FileWriteOutcome::Written);
        rig.files.choices << int(TfrmOpenSave::SingleSet);
        rig.files.openNames << csv;
        rig.w->findChild<QAction*>(QStringLiteral("Open1"))->trigger();
        auto* bar = rig.w->findChild<ArchiveOfferBar*>(ArchiveOfferBar::ObjectName);
        QVERIFY(bar);
        QTRY_VERIFY(bar->btnKeepInArchive()->isVisible());
        QTest::mouseClick(bar->btnKeepInArchive(), Qt::LeftButton);
        QTRY_COMPARE(history->model().rowCount(), 4);
        QCOMPARE(selectedId(), *keptId);
        QVERIFY(history->filterOfFields().from.isValid());
        QCOMPARE(history->table()->selectionModel()->selectedRows().size(), 1);
    }

    void switchedOffStoresNothing()
    {
        LoadRig rig;
        QVERIFY(rig.start(ArchiveSession::chooseLocation(true, QString(), QString(),
                                                         QString())));
        QVERIFY(rig.loadData());
        QCOMPARE(rig.session.archive(), nullptr);
        QVERIFY(!rig.w->findChild<QAction*>(QStringLiteral("History1"))->isEnabled());
        QVERIFY(!rig.w->loggerDownload().lastStore());
        QVERIFY(!QFileInfo::exists(rig.archivePath()));
        QVERIFY(!rig.w->graphState().LoggerDataInArchive);
        QVERIFY(rig.files.informed.isEmpty());
        QVERIFY(!rig.w->graphState().LoggerGraph->close());
        QCOMPARE(rig.asked, QStringList{QStringLiteral("Save DataLogger Data ?")});
    }

    void unusableArchiveIsNamedAndLeftAlone_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::newRow("text file") << QByteArray("Site: harbour\r\n12:00 71.3 dB\r\n");
        QTest::newRow("damaged database")
            << QByteArray("SQLite format 3\0", 16) + QByteArray(4080, '\x17');
    }

    void unusableArchiveIsNamedAndLeftAlone()
    {
        QFETCH(QByteArray, content);
        LoadRig rig;
        const QString path = rig.dir.filePath(QStringLiteral("notes.sqlite"));
        {
            QFile f(path);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        QVERIFY(rig.start(path));
        QCOMPARE(rig.files.informed.size(), 1);
        QVERIFY2(rig.files.informed.front().contains(path), qPrintable(rig.files.informed.front()));
        // The program runs: a download works, and the file stays as it was.
        QVERIFY(rig.w->link().MeterConnected());
        QVERIFY(rig.loadData());
        QCOMPARE(rig.w->dataSets().count(), 3);
        QCOMPARE(readAll(path), content);
        QCOMPARE(rig.files.informed.size(), 1);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestArchiveMainWindow)
#include "tst_archivemainwindow.moc"
