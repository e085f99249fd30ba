// The History window on a temporary SQLite archive: what the table lists and
// in which order, the filters, a measurement opened into a graph window (the
// same statistics as the same series opened from a graph file), site and
// notes edited in the table and read back from the archive, export through
// the graph save, and delete after the question.

#include "app/FileScript.h"
#include "app/TfrmHistory.h"
#include "app/TfrmMain.h"
#include "archive/Archive.h"
#include "archive/MeasurementTableModel.h"
#include "common/TestMain.h"
#include "files/formats/GraphFile.h"
#include "files/windows/FileCommands.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QAction>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableView>
#include <QTemporaryDir>

#include <cmath>
#include <memory>

namespace {

constexpr double kDay0 = 46082.0; // 1 March 2026 in the program's date-time values

struct Stored
{
    MeasurementKind kind;
    QDateTime start;
    QString meterModel;
    QString meterPort;
    qint64 intervalMs;
    QString weighting;
    QString site;
    QString notes;
    int points;
    bool finished;
};

// Levels that rise and fall, so that maximum, minimum and their times differ.
float levelAt(int i)
{
    return float(std::round((62.0 + 9.0 * std::sin(i * 0.37) + (i % 7) * 0.4) * 10.0) / 10.0);
}

QDateTime at(int day, int hour, int minute)
{
    return QDateTime(QDate(2026, 3, day), QTime(hour, minute), Qt::OffsetFromUTC, 3600);
}

// Stored in this order; listed newest first.
const QList<Stored>& measurements()
{
    static const QList<Stored> list{
        {MeasurementKind::Import,
         QDateTime(QDate(2026, 2, 20), QTime(12, 0), Qt::OffsetFromUTC, 3600),
         {},
         {},
         1000,
         QStringLiteral("A"),
         {},
         QStringLiteral("From a colleague"),
         10,
         true},
        {MeasurementKind::RealTime,
         at(1, 10, 0),
         QStringLiteral("QV58M-841"),
         QStringLiteral("/dev/ttyUSB0"),
         1000,
         QStringLiteral("A"),
         QStringLiteral("Roof"),
         {},
         60,
         true},
        {MeasurementKind::AutoLoad,
         at(3, 6, 30),
         QStringLiteral("QV58M-842"),
         QStringLiteral("/dev/ttyS1"),
         60000,
         QStringLiteral("C"),
         QStringLiteral("Quarry"),
         {},
         5,
         false},
        {MeasurementKind::Logger, at(5, 8, 0), QStringLiteral("QV58M-842"),
         QStringLiteral("/dev/ttyS1"), 2000, QStringLiteral("C"), QStringLiteral("Factory gate"),
         QStringLiteral("Night shift"), 300, true},
    };
    return list;
}

} // namespace

class TestHistoryWindow : public QObject
{
    Q_OBJECT

    std::unique_ptr<QTemporaryDir> dir_;
    std::unique_ptr<Archive> archive_;
    QList<qint64> ids_;
    std::unique_ptr<QMainWindow> main_;
    QMdiArea* mdi_ = nullptr;
    GraphWindowState graphs_;
    FileScript script_;
    std::unique_ptr<FileCommands> files_;
    TfrmHistory* history_ = nullptr;
    QList<QPair<QString, QMessageBox::StandardButton>> questions_;
    QMessageBox::StandardButton answer_ = QMessageBox::No;

    QString archivePath() const { return dir_->filePath(QStringLiteral("archive.sqlite")); }

    TfrmGraph* addGraphWindow(const QString& caption)
    {
        auto* graph = new TfrmGraph(graphs_);
        graph->setWindowTitle(caption);
        QMdiSubWindow* frame = mdi_->addSubWindow(graph);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        return graph;
    }

    QStringList column(int column) const
    {
        QStringList texts;
        const MeasurementTableModel& model = history_->model();
        for (int row = 0; row < model.rowCount(); ++row)
            texts << model.index(row, column).data().toString();
        return texts;
    }

    QList<TfrmGraph*> graphWindows() const { return mdi_->findChildren<TfrmGraph*>(); }

private slots:
    void init()
    {
        dir_ = std::make_unique<QTemporaryDir>();
        ArchiveOpenResult opened = Archive::open(archivePath());
        QVERIFY2(opened.archive, qPrintable(opened.error));
        archive_ = std::move(opened.archive);
        ids_.clear();
        for (const Stored& s : measurements()) {
            Measurement m;
            m.kind = s.kind;
            m.start = s.start;
            m.end = s.finished ? s.start.addMSecs(s.intervalMs * s.points) : QDateTime();
            m.meterModel = s.meterModel;
            m.meterPort = s.meterPort;
            m.intervalMs = s.intervalMs;
            m.weighting = s.weighting;
            m.site = s.site;
            m.notes = s.notes;
            const std::optional<qint64> id = archive_->addMeasurement(m);
            QVERIFY2(id, qPrintable(archive_->lastError()));
            std::vector<double> x;
            std::vector<float> y;
            const double x0 = kDay0 + s.start.date().toJulianDay() -
                              QDate(2026, 3, 1).toJulianDay() +
                              s.start.time().msecsSinceStartOfDay() / 86400000.0;
            for (int i = 0; i < s.points; ++i) {
                x.push_back(x0 + i * s.intervalMs / 86400000.0);
                y.push_back(levelAt(i));
            }
            QVERIFY(archive_->appendSamples(*id, x, y));
            if (s.finished)
                QVERIFY(archive_->finish(*id, m.end));
            ids_ << *id;
        }

        main_ = std::make_unique<QMainWindow>();
        mdi_ = new QMdiArea(main_.get());
        main_->setCentralWidget(mdi_);
        main_->resize(1200, 800);
        main_->show();
        script_ = FileScript();
        questions_.clear();

        FileCommands::Context files;
        files.mainWindow = main_.get();
        files.mdiArea = mdi_;
        files.graphs = &graphs_;
        files.addGraphWindow = [this](const QString& caption) { return addGraphWindow(caption); };
        files.dialogs = script_.runner();
        files_ = std::make_unique<FileCommands>(std::move(files));

        TfrmHistory::Context context;
        context.addGraphWindow = [this](const QString& caption) { return addGraphWindow(caption); };
        context.saveGraph = [this](TfrmGraph& graph) { files_->Save1Click(&graph); };
        context.graphs = &graphs_;
        context.dialogs = script_.runner();
        context.dialogs.ask = [this](QWidget*, const QString& text, QMessageBox::StandardButtons) {
            questions_ << qMakePair(text, answer_);
            return answer_;
        };
        history_ = new TfrmHistory(*archive_, std::move(context));
        mdi_->addSubWindow(history_)->show();
    }

    void cleanup()
    {
        files_.reset();
        main_.reset();
        archive_.reset();
        dir_.reset();
    }

    void historyItemFollowsTheArchive()
    {
        TfrmMain::Environment environment;
        environment.listPorts = [] { return QStringList{}; };
        environment.dataDirectory = dir_->path();
        TfrmMain w(environment);
        QSignalSpy started(&w, &TfrmMain::startUpFinished);
        w.show();
        QVERIFY(started.wait(20000));
        auto* item = w.findChild<QAction*>(QStringLiteral("History1"));
        QVERIFY(item);
        QVERIFY(!item->isEnabled());

        w.setArchive(archive_.get());
        QVERIFY(item->isEnabled());
        item->trigger();
        QPointer<TfrmHistory> shown = w.historyWindow();
        QVERIFY(shown);
        QVERIFY(shown->isVisible());
        QCOMPARE(w.activeChild(), shown.data());
        QCOMPARE(shown->model().rowCount(), measurements().size());
        // Once open, the item brings the same window to the front.
        item->trigger();
        QCOMPARE(w.historyWindow(), shown.data());
        QCOMPARE(w.mdiArea()->findChildren<TfrmHistory*>().size(), 1);

        w.setArchive(nullptr);
        QVERIFY(!shown);
        QVERIFY(!item->isEnabled());
    }

    void listsNewestFirst_data()
    {
        QTest::addColumn<int>("row");
        QTest::addColumn<QStringList>("texts");
        const QLocale locale;
        QTest::newRow("logger data set") << 0 << QStringList{"2026-03-05 08:00:00",
                                                             "Logger data set",
                                                             "QV58M-842 /dev/ttyS1",
                                                             "0:10:00",
                                                             "300",
                                                             "",
                                                             "Factory gate",
                                                             "Night shift"};
        QTest::newRow("unfinished auto-load") << 1
                                              << QStringList{"2026-03-03 06:30:00",
                                                             "Auto-load cycle (unfinished)",
                                                             "QV58M-842 /dev/ttyS1",
                                                             "0:05:00",
                                                             "5",
                                                             "",
                                                             "Quarry",
                                                             ""};
        QTest::newRow("real-time recording") << 2
                                             << QStringList{"2026-03-01 10:00:00",
                                                            "Real-time recording",
                                                            "QV58M-841 /dev/ttyUSB0",
                                                            "0:01:00",
                                                            "60",
                                                            "",
                                                            "Roof",
                                                            ""};
        QTest::newRow("imported file without meter")
            << 3 << QStringList{"2026-02-20 12:00:00", "Imported file", "", "0:00:10", "10", "", "",
                                "From a colleague"};
    }

    void listsNewestFirst()
    {
        QFETCH(int, row);
        QFETCH(QStringList, texts);
        QCOMPARE(history_->model().rowCount(), measurements().size());
        const MeasurementTableModel& model = history_->model();
        for (int c = 0; c < MeasurementTableModel::ColumnCount; ++c) {
            if (c == MeasurementTableModel::LeqColumn)
                continue;
            QCOMPARE(model.index(row, c).data().toString(), texts.at(c));
        }
        // The energy mean of the stored levels, to the tenth.
        const Measurement& m = model.measurementAt(row);
        double energy = 0.0;
        for (int i = 0; i < int(m.sampleCount); ++i)
            energy += std::pow(10.0, levelAt(i) / 10.0);
        const double leq = 10.0 * std::log10(energy / double(m.sampleCount));
        QCOMPARE(model.index(row, MeasurementTableModel::LeqColumn).data().toString(),
                 QLocale().toString(leq, 'f', 1));
        QCOMPARE(history_->findChild<QLabel*>(QStringLiteral("lblCount"))->text(),
                 QStringLiteral("4 measurements"));
    }

    void textsFollowTheLocale()
    {
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QVERIFY(history_->model().refresh());
        const QString leq =
            history_->model().index(0, MeasurementTableModel::LeqColumn).data().toString();
        QLocale::setDefault(before);
        QVERIFY2(leq.contains(QLatin1Char(',')) && !leq.contains(QLatin1Char('.')),
                 qPrintable(leq));
    }

    void filtersNarrowTheRows_data()
    {
        QTest::addColumn<QDate>("from");
        QTest::addColumn<QDate>("to");
        QTest::addColumn<int>("kind"); // -1: every kind
        QTest::addColumn<QString>("text");
        QTest::addColumn<QStringList>("dates");
        const QDate none;
        QTest::newRow("nothing set") << none << none << -1 << QString()
                                     << QStringList{"2026-03-05 08:00:00", "2026-03-03 06:30:00",
                                                    "2026-03-01 10:00:00", "2026-02-20 12:00:00"};
        QTest::newRow("kind logger") << none << none << int(MeasurementKind::Logger) << QString()
                                     << QStringList{"2026-03-05 08:00:00"};
        QTest::newRow("kind real-time") << none << none << int(MeasurementKind::RealTime)
                                        << QString() << QStringList{"2026-03-01 10:00:00"};
        QTest::newRow("site text")
            << none << none << -1 << QStringLiteral("roof") << QStringList{"2026-03-01 10:00:00"};
        QTest::newRow("notes text in another case")
            << none << none << -1 << QStringLiteral("NIGHT") << QStringList{"2026-03-05 08:00:00"};
        QTest::newRow("meter text") << none << none << -1 << QStringLiteral("842")
                                    << QStringList{"2026-03-05 08:00:00", "2026-03-03 06:30:00"};
        QTest::newRow("from a day on") << QDate(2026, 3, 3) << none << -1 << QString()
                                       << QStringList{"2026-03-05 08:00:00", "2026-03-03 06:30:00"};
        QTest::newRow("up to a day, that day included")
            << none << QDate(2026, 3, 1) << -1 << QString()
            << QStringList{"2026-03-01 10:00:00", "2026-02-20 12:00:00"};
        QTest::newRow("one day") << QDate(2026, 3, 3) << QDate(2026, 3, 3) << -1 << QString()
                                 << QStringList{"2026-03-03 06:30:00"};
        QTest::newRow("kind and text together") << none << none << int(MeasurementKind::AutoLoad)
                                                << QStringLiteral("gate") << QStringList{};
        QTest::newRow("text found nowhere")
            << none << none << -1 << QStringLiteral("harbour") << QStringList{};
    }

    void filtersNarrowTheRows()
    {
        QFETCH(QDate, from);
        QFETCH(QDate, to);
        QFETCH(int, kind);
        QFETCH(QString, text);
        QFETCH(QStringList, dates);
        history_->setDateRange(from.isValid() ? std::optional(from) : std::nullopt,
                               to.isValid() ? std::optional(to) : std::nullopt);
        history_->setKind(kind < 0 ? std::nullopt : std::optional(MeasurementKind(kind)));
        // Typed, as a user does.
        auto* search = history_->findChild<QLineEdit*>(QStringLiteral("edtSearch"));
        search->clear();
        QTest::keyClicks(search, text);
        QCOMPARE(column(MeasurementTableModel::DateColumn), dates);
    }

    void openShowsTheSameStatisticsAsAGraphFile_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("logger data set, 300 points") << 0;
        QTest::newRow("real-time recording, 60 points") << 2;
        QTest::newRow("imported file, 10 points") << 3;
    }

    void openShowsTheSameStatisticsAsAGraphFile()
    {
        QFETCH(int, row);
        const Measurement m = history_->model().measurementAt(row);
        history_->selectRow(row);
        // A double click on a column that is not edited opens.
        QTableView* table = history_->table();
        const QModelIndex cell = history_->model().index(row, MeasurementTableModel::DateColumn);
        const QPoint centre = table->visualRect(cell).center();
        QTest::mouseClick(table->viewport(), Qt::LeftButton, {}, centre);
        QTest::mouseDClick(table->viewport(), Qt::LeftButton, {}, centre);
        QTRY_COMPARE(graphWindows().size(), 1);
        TfrmGraph* opened = graphWindows().constFirst();
        QCOMPARE(opened->windowTitle(), TfrmHistory::graphCaption(m));
        QCOMPARE(graphs_.LastGraph.data(), opened);
        QVERIFY(opened->parentWidget()->isVisible());
        QCOMPARE(opened->graph()->points(), int(m.sampleCount));

        // The same series built point by point in a window and saved as a
        // graph file, then opened from that file.
        const std::optional<ArchiveSeries> series = archive_->readSamples(m.id);
        QVERIFY(series);
        TfrmGraph* built = addGraphWindow(QStringLiteral("built"));
        const int n = int(series->x.size());
        built->prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin, series->x.back(),
                            series->x.front(), n);
        for (int i = 0; i < n; ++i) {
            built->graph()->setXDataII(0, i, series->x[size_t(i)]);
            built->graph()->setYData(0, i, series->y[size_t(i)]);
        }
        const QString path = dir_->filePath(QStringLiteral("same.ghf"));
        QVERIFY(GraphFile::write(path, built->graph()->saveWholeGraph()));
        delete built->parentWidget();
        TfrmGraph* fromFile = files_->openGraphFile(path);
        QVERIFY(fromFile);

        QCOMPARE(opened->exportStatisticText(), fromFile->exportStatisticText());
        QCOMPARE(opened->slider()->Value1(), fromFile->slider()->Value1());
        QCOMPARE(opened->slider()->Value2(), fromFile->slider()->Value2());
        const AcousticFigures a = opened->acousticFigures(false);
        const AcousticFigures b = fromFile->acousticFigures(false);
        QCOMPARE(a.sampleCount, b.sampleCount);
        QCOMPARE(a.leq, b.leq);
        QCOMPARE(a.l90, b.l90);
        QCOMPARE(a.intervalSeconds, b.intervalSeconds);
        const AcousticFigures between = opened->acousticFigures(true);
        QCOMPARE(between.sampleCount, fromFile->acousticFigures(true).sampleCount);
        QVERIFY(between.sampleCount > 0);
    }

    void editedTextIsStored_data()
    {
        QTest::addColumn<int>("column");
        QTest::addColumn<QString>("typed");
        QTest::newRow("site") << int(MeasurementTableModel::SiteColumn)
                              << QStringLiteral("North fence");
        QTest::newRow("notes") << int(MeasurementTableModel::NotesColumn)
                               << QStringLiteral("Windy, 4 m/s");
        QTest::newRow("site that looks like SQL")
            << int(MeasurementTableModel::SiteColumn)
            << QStringLiteral("'); DROP TABLE measurements;--");
    }

    void editedTextIsStored()
    {
        QFETCH(int, column);
        QFETCH(QString, typed);
        const int row = 2;
        const qint64 id = history_->model().measurementAt(row).id;
        QTableView* table = history_->table();
        const QModelIndex cell = history_->model().index(row, column);
        table->setCurrentIndex(cell);
        table->edit(cell);
        auto* editor = table->viewport()->findChild<QLineEdit*>();
        QVERIFY(editor);
        editor->selectAll();
        QTest::keyClicks(editor, typed);
        QTest::keyClick(editor, Qt::Key_Return);
        QTRY_COMPARE(cell.data().toString(), typed);

        // The window goes first: it holds the archive.
        delete history_->parentWidget();
        archive_.reset();
        ArchiveOpenResult reopened = Archive::open(archivePath());
        QVERIFY2(reopened.archive, qPrintable(reopened.error));
        const std::optional<Measurement> back = reopened.archive->measurement(id);
        QVERIFY(back);
        QCOMPARE(column == MeasurementTableModel::SiteColumn ? back->site : back->notes, typed);
        QCOMPARE(column == MeasurementTableModel::SiteColumn ? back->notes : back->site,
                 column == MeasurementTableModel::SiteColumn ? QString() : QStringLiteral("Roof"));
        QCOMPARE(reopened.archive->listMeasurements()->size(), size_t(measurements().size()));
    }

    void deleteAsksFirst_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("removed");
        QTest::newRow("yes deletes") << QMessageBox::Yes << true;
        QTest::newRow("no keeps") << QMessageBox::No << false;
    }

    void deleteAsksFirst()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, removed);
        answer_ = answer;
        const int row = 1;
        const Measurement m = history_->model().measurementAt(row);
        history_->selectRow(row);
        history_->findChild<QPushButton*>(QStringLiteral("btnDelete"))->click();
        QCOMPARE(questions_.size(), 1);
        QCOMPARE(questions_.first().first, TfrmHistory::deleteQuestion(m));
        QVERIFY(questions_.first().first.contains(QStringLiteral("2026-03-03 06:30:00")));
        QCOMPARE(history_->model().rowCount(), measurements().size() - (removed ? 1 : 0));
        QCOMPARE(history_->model().rowOf(m.id) >= 0, !removed);
        QCOMPARE(archive_->measurement(m.id).has_value(), !removed);
        QCOMPARE(archive_->readSamples(m.id).has_value() && !archive_->readSamples(m.id)->x.empty(),
                 !removed);
    }

    void exportWritesTheGraphSave_data()
    {
        QTest::addColumn<QString>("name");
        QTest::newRow("text file") << QStringLiteral("export.txt");
        QTest::newRow("graph file") << QStringLiteral("export.ghf");
    }

    void exportWritesTheGraphSave()
    {
        QFETCH(QString, name);
        const int row = 2;
        const QString fromHistory = dir_->filePath(QStringLiteral("history-") + name);
        const QString fromWindow = dir_->filePath(QStringLiteral("window-") + name);
        script_.saveNames = {fromHistory, fromWindow};
        history_->selectRow(row);
        history_->findChild<QPushButton*>(QStringLiteral("btnExport"))->click();
        QVERIFY(QFileInfo::exists(fromHistory));
        // The window made for the export is gone.
        QTRY_COMPARE(graphWindows().size(), 0);
        QVERIFY(script_.errors.isEmpty());

        // The same save of the measurement opened in its window.
        TfrmGraph* opened = history_->btnOpenClick();
        QVERIFY(opened);
        files_->Save1Click(opened);
        QVERIFY(QFileInfo::exists(fromWindow));
        QCOMPARE(fileBytes(fromHistory), fileBytes(fromWindow));
        QVERIFY(fileBytes(fromHistory).size() > 60 * 10);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestHistoryWindow)
#include "tst_historywindow.moc"
