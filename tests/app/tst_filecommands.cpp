// Save and Open through the main window, as the user meets them: the choice
// dialog, the file dialogs' types, graph files written and opened again,
// text and CSV exports of a range, collection files, and the save questions
// (closing a graph window, File > Exit) that keep the data when nothing was
// saved.

#include <QApplication>

#include "common/TestMain.h"

#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "common/ReadOnlyDirectory.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "files/dialogs/DialogFolders.h"
#include "files/formats/TabularTable.h"
#include "files/windows/FileCommands.h"
#include "files/windows/TfrmList.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphBlock.h"
#include "graph/TfrmGraph.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"

#include <QAction>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPointer>
#include <QScopeGuard>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <functional>
#include <memory>

using vmeter::LoggerImageBuilder;
using vmeter::LoggerRecordContent;

namespace {
constexpr double kStart = 40282.5; // 14 April 2010, 12:00:00
constexpr double kSecond = 1.0 / 86400.0;

float level(int i)
{
    return i == 57 ? 99.5f : 50.3f + float(i % 10);
}

void writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    QVERIFY(file.open(QIODevice::WriteOnly));
    QCOMPARE(file.write(bytes), bytes.size());
}

QMdiSubWindow* frameOf(const QWidget* window)
{
    return window ? qobject_cast<QMdiSubWindow*>(window->parentWidget()) : nullptr;
}

LoggerRecordContent record(int samples, QDateTime start, int intervalByte, bool aWeighting)
{
    LoggerRecordContent content;
    content.start = start;
    content.intervalSeconds = std::uint8_t(intervalByte);
    content.aWeighting = aWeighting;
    for (int i = 0; i < samples; ++i)
        content.samplesTenths.append(600 + 13 * i % 300);
    return content;
}

// A whole logger memory of three sets: 30, 7 and 11 samples.
QByteArray loggerImage()
{
    LoggerImageBuilder builder;
    const QDate day(2010, 4, 14);
    builder.append(record(30, QDateTime(day, QTime(15, 30, 5)), 0x05, true));
    builder.append(record(7, QDateTime(day, QTime(16, 0, 0)), 0x30, false));
    builder.append(record(11, QDateTime(day.addDays(1), QTime(9, 5, 59)), 0x10, true));
    return builder.image();
}
} // namespace

class TestFileCommands : public QObject
{
    Q_OBJECT

private:
    std::unique_ptr<QTemporaryDir> data_;
    std::unique_ptr<QTemporaryDir> saved_;
    FileScript script_;
    std::unique_ptr<TfrmMain> w_;

    // The save dialog is the program's own QFileDialog instead of a scripted name.
    bool realSaveDialog_ = false;

    TfrmMain& mainWindow()
    {
        TfrmMain::Environment environment;
        environment.listPorts = [] { return QStringList{}; };
        environment.dataDirectory = data_->path();
        environment.fileDialogs = script_.runner();
        if (realSaveDialog_)
            environment.fileDialogs.saveFileName = FileDialogRunner::modal().saveFileName;
        w_ = std::make_unique<TfrmMain>(environment);
        QSignalSpy finished(w_.get(), &TfrmMain::startUpFinished);
        w_->resize(1200, 800);
        w_->show();
        if (!finished.wait(20000))
            qWarning("The main window did not finish its start-up.");
        return *w_;
    }

    QString savedPath(const QString& name) const { return saved_->filePath(name); }

    void trigger(const char* name) { w_->findChild<QAction*>(QLatin1String(name))->trigger(); }

    // A file graph of n points 1 s apart from kStart, the active window.
    TfrmGraph* measurement(int n)
    {
        TfrmGraph* graph = w_->addGraphWindow(QStringLiteral("measurement"));
        frameOf(graph)->show();
        graph->prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin, kStart + n * kSecond,
                            kStart, n);
        for (int i = 0; i < n; ++i) {
            graph->graph()->setXDataII(0, i, kStart + i * kSecond);
            graph->graph()->setYData(0, i, level(i));
        }
        graph->updateGraphStatistic();
        w_->mdiArea()->setActiveSubWindow(frameOf(graph));
        return graph;
    }

    // The real-time graph holding n unsaved samples.
    TfrmGraph* realTimeSamples(int n)
    {
        GraphWindowState& state = w_->graphState();
        TfrmGraph* graph = state.RealTimeGraph;
        for (int i = 0; i < n; ++i) {
            graph->graph()->setXDataII(0, i, kStart + i * kSecond);
            graph->graph()->setYData(0, i, level(i));
        }
        state.RealTimeSampleCount = n;
        state.RealTimeDataUnsaved = true;
        return graph;
    }

    // Once the save dialog is up: picks its file type the way a user does
    // (keys on the type list), types the name (before the type when
    // typedFirst) and accepts.
    void fillSaveDialog(int typeIndex, const QString& typed, bool typedFirst = false)
    {
        auto* dialog = qobject_cast<QFileDialog*>(QApplication::activeModalWidget());
        if (!dialog) {
            QTimer::singleShot(20, this,
                               [=, this] { fillSaveDialog(typeIndex, typed, typedFirst); });
            return;
        }
        auto* types = dialog->findChild<QComboBox*>(QStringLiteral("fileTypeCombo"));
        auto* name = dialog->findChild<QLineEdit*>(QStringLiteral("fileNameEdit"));
        if (!types || !name) {
            dialog->reject();
            return;
        }
        if (typedFirst)
            name->setText(typed);
        types->setFocus();
        for (int i = types->currentIndex(); i < typeIndex; ++i)
            QTest::keyClick(types, Qt::Key_Down);
        if (!typedFirst)
            name->setText(typed);
        QMetaObject::invokeMethod(dialog, "accept", Qt::QueuedConnection);
    }

    // Answers the close questions in turn (Cancel once they run out) and
    // notes them.
    void answerInTurn(const QStringList& answers, QStringList* asked)
    {
        auto left = std::make_shared<QStringList>(answers);
        w_->graphState().dialogs.ask = [left, asked](QWidget*, const QString& text,
                                                     QMessageBox::StandardButtons) {
            *asked << text;
            const QString answer = left->isEmpty() ? QStringLiteral("Cancel") : left->takeFirst();
            return answer == QLatin1String("Yes")  ? QMessageBox::Yes
                   : answer == QLatin1String("No") ? QMessageBox::No
                                                   : QMessageBox::Cancel;
        };
    }

    // A text file of these bytes opened into a new list window, the active one.
    bool openList(const QByteArray& bytes)
    {
        const QString path = savedPath(QStringLiteral("list.txt"));
        writeBytes(path, bytes);
        script_.choices << TfrmOpenSave::SingleSet;
        script_.openNames << path;
        trigger("Open1");
        return qobject_cast<TfrmList*>(w_->activeChild()) && QFile::remove(path);
    }

    void answerQuestions(QMessageBox::StandardButton answer, QStringList* asked = nullptr)
    {
        w_->graphState().dialogs.ask = [answer, asked](QWidget*, const QString& text,
                                                       QMessageBox::StandardButtons) {
            if (asked)
                *asked << text;
            return answer;
        };
    }

private slots:
    void init()
    {
        QLocale::setDefault(QLocale::c());
        QSettings().clear();
        realSaveDialog_ = false;
        data_ = std::make_unique<QTemporaryDir>();
        saved_ = std::make_unique<QTemporaryDir>();
        script_ = FileScript{};
    }

    void cleanup()
    {
        if (w_)
            answerQuestions(QMessageBox::No);
        w_.reset();
        QLocale::setDefault(QLocale::c());
    }

    // ---- Where the file dialogs start --------------------------------------------------

    // Runs a file command whose dialog returns `chosen` (empty: cancelled);
    // the folder its dialog started in.
    QString startFolderOf(const QString& command, const QString& chosen)
    {
        QList<FileDialogRequest>* requests = &script_.saveRequests;
        if (command == QLatin1String("graph save")) {
            (void)measurement(10);
            script_.saveNames << chosen;
            trigger("Save1");
        } else if (command == QLatin1String("single open")) {
            script_.choices << TfrmOpenSave::SingleSet;
            script_.openNames << chosen;
            requests = &script_.openRequests;
            trigger("Open1");
        } else if (command == QLatin1String("collection save")) {
            w_->openSampleGraph(40);
            script_.choices << TfrmOpenSave::Sets;
            script_.saveNames << chosen;
            trigger("Save1");
        } else if (command == QLatin1String("collection open")) {
            script_.choices << TfrmOpenSave::Sets;
            script_.openNames << chosen;
            requests = &script_.openRequests;
            trigger("Open1");
        } else if (command == QLatin1String("list export")) {
            if (!openList("14/04/2010\t12:00:00.0\t67.6\r\n"))
                return QStringLiteral("no list");
            script_.saveNames << chosen;
            trigger("Save1");
        } else if (command == QLatin1String("report")) {
            (void)measurement(10);
            script_.textInputAccepted = true;
            script_.saveNames << chosen;
            trigger("ExportReport1");
        }
        return requests->isEmpty() ? QString() : requests->last().directory;
    }

    void dialogsStartInTheLastFolderOfTheirKind_data()
    {
        QTest::addColumn<QString>("first");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("second");
        QTest::addColumn<bool>("folderRemoved");
        QTest::addColumn<bool>("sameFolder"); // else the documents folder
        const auto row = [](const char* first, const char* name, const char* second, bool removed,
                            bool same) {
            QTest::addRow("%s, then %s%s", first, second, removed ? ", folder gone" : "")
                << first << name << second << removed << same;
        };
        row("graph save", "trace.ghf", "graph save", false, true);
        row("graph save", "trace.txt", "single open", false, true);
        row("single open", "trace.ghf", "graph save", false, true);
        row("collection open", "sets.rec", "collection save", false, true);
        row("collection save", "sets.rec", "collection open", false, true);
        row("list export", "list.csv", "list export", false, true);
        row("report", "report.pdf", "report", false, true);
        row("graph save", "trace.ghf", "collection open", false, false);
        row("collection open", "sets.rec", "report", false, false);
        row("report", "report.pdf", "graph save", false, false);
        row("list export", "list.csv", "report", false, false);
        row("graph save", "trace.ghf", "graph save", true, false);
    }

    void dialogsStartInTheLastFolderOfTheirKind()
    {
        QFETCH(QString, first);
        QFETCH(QString, name);
        QFETCH(QString, second);
        QFETCH(bool, folderRemoved);
        QFETCH(bool, sameFolder);
        TfrmMain& w = mainWindow();
        const QString folder = savedPath(QStringLiteral("first folder"));
        QVERIFY(QDir().mkpath(folder));

        QCOMPARE(startFolderOf(first, QDir(folder).filePath(name)), DialogFolders::fallback());
        if (folderRemoved)
            QVERIFY(QDir(folder).removeRecursively());
        const QString expected = sameFolder ? folder : DialogFolders::fallback();
        QCOMPARE(startFolderOf(second, QString()), expected);
        // A cancelled dialog leaves the folder as it was.
        QCOMPARE(startFolderOf(second, QString()), expected);
        QVERIFY(expected != w.dataDirectory());
    }

    // ---- The dialogs' texts ---------------------------------------------------------

    void fileTypesFollowTheDecimalSeparator_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QStringList>("graphTypes");
        QTest::addColumn<QString>("openSingleText");
        const QStringList withoutCsv{"Graph file(*.ghf,only for RX842) (*.ghf *.GHF)",
                                     "TXT file(*.txt,data seperated by tab) (*.txt *.TXT)"};
        QTest::newRow("decimal point")
            << QLocale::c()
            << withoutCsv + QStringList{"EXCEL file format(*.CSV,seperated by comma) (*.csv *.CSV)"}
            << "Open single data file(*.TXT,*.CSV,*.GHF)";
        QTest::newRow("decimal comma (de_DE)")
            << QLocale(QLocale::German, QLocale::Germany) << withoutCsv
            << "Open single data flle(*.TXT,*.GHF)";
    }

    void fileTypesFollowTheDecimalSeparator()
    {
        QFETCH(QLocale, locale);
        QFETCH(QStringList, graphTypes);
        QFETCH(QString, openSingleText);
        QLocale::setDefault(locale);
        TfrmMain& w = mainWindow();
        (void)measurement(10);

        trigger("Save1"); // cancelled in the file dialog
        QCOMPARE(script_.saveRequests.size(), 1);
        const FileDialogRequest request = script_.saveRequests.first();
        QCOMPARE(request.filters, graphTypes);
        QCOMPARE(request.defaultSuffix, QStringLiteral("GHF"));
        // Nothing chosen yet: the documents folder, not the data directory.
        QCOMPARE(request.directory, DialogFolders::fallback());
        QVERIFY(request.directory != w.dataDirectory());
        QVERIFY(request.confirmOverwrite);
        QVERIFY(script_.choicesShown.isEmpty());

        script_.choices << TfrmOpenSave::SingleSet;
        trigger("Open1");
        QCOMPARE(script_.choicesShown.size(), 1);
        QCOMPARE(script_.choicesShown.first(),
                 (QStringList{"Open File", "Open a data set collection file(*.rec)", openSingleText,
                              "Cancel"}));
        QCOMPARE(script_.openRequests.size(), 1);
        QCOMPARE(script_.openRequests.first().filters, graphTypes);
        QCOMPARE(script_.openRequests.first().directory, DialogFolders::fallback());
    }

    void saveChoiceOfTheDataLoggerWindow()
    {
        TfrmMain& w = mainWindow();
        w.openSampleGraph(40);
        trigger("Save1"); // Cancel in the choice
        QCOMPARE(script_.choicesShown,
                 (QList<QStringList>{{"Save File",
                                      "Save all data sets to a data set collection file(*.set)",
                                      "Save single selected  data set to a  file", "Cancel"}}));
        QVERIFY(script_.saveRequests.isEmpty());
        // Nothing is left of the dialog.
        QCOMPARE(w.findChildren<TfrmOpenSave*>().size(), 0);
    }

    // ---- Graph files ----------------------------------------------------------------

    void graphFileRoundTrip()
    {
        TfrmMain& w = mainWindow();
        TfrmGraph* source = measurement(100);
        source->graph()->setGraphBackColor(Qt::darkBlue);
        source->graph()->setMainTitle(QStringLiteral("Hall 3"));
        const QByteArray block = source->graph()->saveWholeGraph();
        const QString path = savedPath(QStringLiteral("trace.ghf"));

        script_.saveNames << path;
        trigger("Save1");
        QCOMPARE(fileBytes(path), graphFileBytes(block));
        QVERIFY(script_.errors.isEmpty());

        const int windows = int(w.mdiArea()->subWindowList().size());
        script_.choices << TfrmOpenSave::SingleSet;
        script_.openNames << path;
        trigger("Open1");
        QCOMPARE(int(w.mdiArea()->subWindowList().size()), windows + 1);
        TfrmGraph* opened = w.graphState().LastGraph;
        QVERIFY(opened && opened != source);
        QCOMPARE(opened->windowTitle(), QDir::toNativeSeparators(path));
        const PESGraph& chart = *opened->graph();
        QCOMPARE(chart.points(), 100);
        for (int i = 0; i < 100; ++i) {
            QCOMPARE(chart.xDataII(0, i), kStart + i * kSecond);
            QCOMPARE(chart.yData(0, i), level(i));
        }
        QCOMPARE(chart.look(), source->graph()->look());
        QCOMPARE(chart.look().mainTitle, QStringLiteral("Hall 3"));

        const GraphStatisticTexts shown = opened->statisticFields().graph;
        QCOMPARE(shown.dataNo, QStringLiteral("100"));
        QCOMPARE(shown.max, QStringLiteral("99.5"));
        QCOMPARE(shown.startTime, source->statisticFields().graph.startTime);
        QCOMPARE(shown.avgAll, source->statisticFields().graph.avgAll);
        QCOMPARE(shown.maxTime, source->statisticFields().graph.maxTime);
        QVERIFY(!shown.startTime.isEmpty());

        // At the top left, as wide as the main window allows, 40 less high
        // than the client area, and in front.
        const QSize client = w.mdiArea()->viewport()->size();
        QCOMPARE(frameOf(opened)->geometry(),
                 QRect(0, 0, std::min(w.width(), client.width()), client.height() - 40));
        QCOMPARE(w.mdiArea()->currentSubWindow(), frameOf(opened));
        QVERIFY(script_.errors.isEmpty());
    }

    void singleFileOpenFollowsTheExtension_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<QString>("secondCell"); // row 1, column 2 of a new list; null = no list
        QTest::addColumn<bool>("collection");    // told to open it as a collection
        QTest::newRow(".txt: TAB separated")
            << "list.txt" << QByteArray("a,b\tc\r\n") << "c" << false;
        QTest::newRow(".CSV: comma separated")
            << "list.CSV" << QByteArray("a,b\tc\r\n") << "b\tc" << false;
        QTest::newRow(".dat: nothing, said why")
            << "list.dat" << QByteArray("a,b\tc\r\n") << QString() << false;
        QTest::newRow(".rec: the collection choice is named")
            << "sets.rec" << loggerImage() << QString() << true;
    }

    void singleFileOpenFollowsTheExtension()
    {
        QFETCH(QString, name);
        QFETCH(QByteArray, bytes);
        QFETCH(QString, secondCell);
        QFETCH(bool, collection);
        TfrmMain& w = mainWindow();
        const QString path = savedPath(name);
        writeBytes(path, bytes);
        const qsizetype windows = w.mdiArea()->subWindowList().size();
        script_.choices << TfrmOpenSave::SingleSet;
        script_.openNames << path;
        trigger("Open1");
        auto* list = qobject_cast<TfrmList*>(w.activeChild());
        QCOMPARE(list != nullptr, !secondCell.isNull());
        QCOMPARE(w.mdiArea()->subWindowList().size(), windows + (list ? 1 : 0));
        // "Output Tabular to graph" follows the active list window.
        QTRY_COMPARE(w.findChild<QAction*>(QStringLiteral("btnOutputToGraph"))->isEnabled(),
                     list != nullptr);
        if (list) {
            QCOMPARE(list->windowTitle(), QDir::toNativeSeparators(path));
            QCOMPARE(list->table().cell(1, 2), secondCell);
            QVERIFY(script_.informed.isEmpty());
        } else {
            QCOMPARE(script_.informed,
                     QStringList{collection ? FileCommands::collectionChosenAsSingleText(path)
                                            : FileCommands::unknownSingleFileText(path)});
            QVERIFY(script_.informed.first().contains(QDir::toNativeSeparators(path)));
            QCOMPARE(script_.informed.first().contains(FileCommands::OpenSetsText), collection);
        }
    }

    void unreadableGraphFileOpensNoWindow_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::addColumn<bool>("blockRefused");
        PESGraph chart;
        const QByteArray whole = graphFileBytes(chart.saveWholeGraph());
        QTest::newRow("truncated") << whole.left(whole.size() - 10) << false;
        QTest::newRow("shorter than its length field") << QByteArray("\x10\x00", 2) << false;
        PESGraphState absurd;
        absurd.look = PESGraphLook::programDefault();
        absurd.content.points = 2'000'000'000;
        QTest::newRow("2,000,000,000 points without a series")
            << graphFileBytes(PESGraphBlock::encodeWhole(absurd)) << true;
        QTest::newRow("not a chart") << graphFileBytes(QByteArray(64, 'x')) << true;
    }

    void unreadableGraphFileOpensNoWindow()
    {
        QFETCH(QByteArray, bytes);
        QFETCH(bool, blockRefused);
        TfrmMain& w = mainWindow();
        const QString path = savedPath(QStringLiteral("broken.ghf"));
        writeBytes(path, bytes);
        const QList<QMdiSubWindow*> before = w.mdiArea()->subWindowList();

        script_.choices << TfrmOpenSave::SingleSet;
        script_.openNames << path;
        trigger("Open1");
        QCOMPARE(script_.errors.size(), 1);
        QVERIFY(script_.errors.first().contains(QDir::toNativeSeparators(path)));
        if (blockRefused)
            QCOMPARE(script_.errors.first(),
                     QDir::toNativeSeparators(path) +
                         QStringLiteral(" is not a graph file or is damaged."));
        QCoreApplication::processEvents();
        QCOMPARE(w.mdiArea()->subWindowList(), before);
        QVERIFY(w.graphState().LastGraph.isNull());
    }

    // ---- Text and CSV exports ---------------------------------------------------------

    void exportThroughSave_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<QString>("name");
        QTest::addColumn<QString>("from");
        QTest::addColumn<QString>("to");
        QTest::addColumn<int>("lines");
        QTest::addColumn<QString>("firstLine");
        QTest::addColumn<QString>("lastLine");
        const QLocale german(QLocale::German, QLocale::Germany);
        const QLocale american(QLocale::English, QLocale::UnitedStates);
        QTest::newRow("text, from 50 to 10") << american << "points.txt"
                                             << "50"
                                             << "10" << 41 << "4/14/2010\t12:00:09.000\t59.3"
                                             << "4/14/2010\t12:00:49.000\t59.3";
        QTest::newRow("CSV, all") << american << "points.CSV" << QString() << QString() << 100
                                  << "4/14/2010,12:00:00.000,50.3"
                                  << "4/14/2010,12:01:39.000,59.3";
        QTest::newRow("text under de_DE, from 50 to 10")
            << german << "punkte.txt"
            << "50"
            << "10" << 41 << "14.04.2010\t12:00:09.000\t59,3"
            << "14.04.2010\t12:00:49.000\t59,3";
    }

    void exportThroughSave()
    {
        QFETCH(QLocale, locale);
        QFETCH(QString, name);
        QFETCH(QString, from);
        QFETCH(QString, to);
        QFETCH(int, lines);
        QFETCH(QString, firstLine);
        QFETCH(QString, lastLine);
        QLocale::setDefault(locale);
        (void)mainWindow();
        (void)measurement(100);
        const QString path = savedPath(name);
        script_.saveNames << path;
        if (!from.isNull())
            script_.range = std::make_pair(from, to);

        trigger("Save1");
        QCOMPARE(script_.rangeCaptions, QStringList{"Save File"});
        const QByteArray bytes = fileBytes(path);
        QVERIFY(bytes.endsWith("\r\n"));
        const QStringList written = QString::fromUtf8(bytes).split(QStringLiteral("\r\n"));
        QCOMPARE(written.size() - 1, lines);
        QCOMPARE(written.first(), firstLine);
        QCOMPARE(written.at(lines - 1), lastLine);
        QVERIFY(script_.errors.isEmpty());
    }

    void saveThatWritesNothing_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<bool>("rangeAccepted");
        QTest::addColumn<int>("informed");
        QTest::addColumn<int>("errors");
        QTest::newRow("range dialog cancelled") << "points.txt" << false << 0 << 0;
        // Said, so that it does not pass for a save.
        QTest::newRow("a.dat") << "a.dat" << true << 1 << 0;
        QTest::newRow("graph file in a missing folder") << "missing/trace.ghf" << true << 0 << 1;
        QTest::newRow("text file in a missing folder") << "missing/trace.txt" << true << 0 << 1;
    }

    void saveThatWritesNothing()
    {
        QFETCH(QString, name);
        QFETCH(bool, rangeAccepted);
        QFETCH(int, informed);
        QFETCH(int, errors);
        (void)mainWindow();
        (void)measurement(20);
        script_.saveNames << savedPath(name);
        script_.rangeAccepted = rangeAccepted;
        trigger("Save1");
        QVERIFY(QDir(saved_->path())
                    .entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot)
                    .isEmpty());
        QCOMPARE(script_.informed.size(), informed);
        QCOMPARE(script_.errors.size(), errors);
        if (errors)
            QVERIFY(script_.errors.first().contains(QDir::toNativeSeparators(savedPath(name))));
    }

    // ---- Save questions ---------------------------------------------------------------

    void saveQuestions_data()
    {
        QTest::addColumn<QString>("asking"); // "DataLogger", "Real-Time Graph" or "Exit"
        QTest::addColumn<int>("choice");     // of the DataLogger window's choice dialog
        QTest::addColumn<QString>("name");   // typed into the save dialog; empty = cancel
        QTest::addColumn<bool>("saved");

        const int single = TfrmOpenSave::SingleSet;
        QTest::newRow("DataLogger close, file dialog cancelled")
            << "DataLogger" << single << "" << false;
        QTest::newRow("DataLogger close, choice cancelled")
            << "DataLogger" << int(TfrmOpenSave::Cancel) << "set.ghf" << false;
        QTest::newRow("DataLogger close, a.dat") << "DataLogger" << single << "a.dat" << false;
        QTest::newRow("DataLogger close, collection without a temporary file")
            << "DataLogger" << int(TfrmOpenSave::Sets) << "sets.rec" << false;
        QTest::newRow("DataLogger close, set saved") << "DataLogger" << single << "set.ghf" << true;
        QTest::newRow("real-time close, cancelled") << "Real-Time Graph" << 0 << "" << false;
        QTest::newRow("real-time close, saved") << "Real-Time Graph" << 0 << "rt.ghf" << true;
        QTest::newRow("File > Exit, cancelled") << "Exit" << single << "" << false;
        QTest::newRow("File > Exit, saved") << "Exit" << single << "set.ghf" << true;
    }

    void saveQuestions()
    {
        QFETCH(QString, asking);
        QFETCH(int, choice);
        QFETCH(QString, name);
        QFETCH(bool, saved);
        TfrmMain& w = mainWindow();
        GraphWindowState& state = w.graphState();
        const bool realTime = asking == TfrmGraph::RealTimeCaption;
        TfrmGraph* asker = nullptr;
        if (realTime) {
            asker = realTimeSamples(20);
            // Another window is active: the asking one is saved all the same.
            (void)measurement(5);
        } else {
            w.openSampleGraph(40);
            asker = state.LoggerGraph;
            state.LoggerDataUnsaved = true;
            w.mdiArea()->setActiveSubWindow(frameOf(state.RealTimeGraph));
        }
        const QByteArray block = asker->graph()->saveWholeGraph();
        QStringList asked;
        answerQuestions(QMessageBox::Yes, &asked);
        if (!realTime)
            script_.choices << choice;
        const QString path = name.isEmpty() ? QString() : savedPath(name);
        script_.saveNames << path;

        if (asking == QLatin1String("Exit")) {
            trigger("Exit1");
            QCOMPARE(w.isVisible(), !saved);
        } else {
            QCOMPARE(frameOf(asker)->close(), saved);
        }
        QCOMPARE(asked,
                 QStringList{realTime ? "Save Real-Time Graph ?" : "Save DataLogger Data ?"});
        QCOMPARE(realTime ? state.RealTimeDataUnsaved : state.LoggerDataUnsaved, !saved);
        if (saved) {
            QCOMPARE(fileBytes(path), graphFileBytes(block));
            QTRY_VERIFY(realTime ? state.RealTimeGraph.isNull() : state.LoggerGraph.isNull());
        } else {
            QVERIFY(QDir(saved_->path()).entryList(QDir::Files).isEmpty());
            QVERIFY(asker->isVisible());
            QCOMPARE(asker->graph()->saveWholeGraph(), block);
        }
    }

    // File > Exit with several windows, two of them holding unsaved data:
    // every question comes before any window closes, so a Cancel keeps the
    // control panel, the DataLogger window, the opened graph and the table,
    // and a "No" given on the way is asked again at the next Exit.
    void exitAsksEveryWindowBeforeAnyCloses_data()
    {
        QTest::addColumn<QStringList>("answers"); // real-time, then DataLogger
        QTest::newRow("real-time Cancel") << QStringList{"Cancel"};
        QTest::newRow("real-time No, DataLogger Cancel") << QStringList{"No", "Cancel"};
        QTest::newRow("real-time Yes (saved), DataLogger Cancel") << QStringList{"Yes", "Cancel"};
        QTest::newRow("real-time No, DataLogger No") << QStringList{"No", "No"};
    }

    void exitAsksEveryWindowBeforeAnyCloses()
    {
        QFETCH(QStringList, answers);
        TfrmMain& w = mainWindow();
        (void)realTimeSamples(20);
        w.openSampleGraph(40);
        w.graphState().LoggerDataUnsaved = true;
        (void)measurement(10);
        QVERIFY(openList("1\t67.6\r\n"));
        QList<QPointer<QWidget>> windows; // panel, real-time, DataLogger, measurement, list
        for (QMdiSubWindow* frame : w.mdiArea()->subWindowList())
            windows << frame->widget();
        QCOMPARE(windows.size(), 5);
        script_.saveNames << savedPath(QStringLiteral("rt.ghf"));
        const QStringList both{"Save Real-Time Graph ?", "Save DataLogger Data ?"};
        const bool closes = answers.last() == QLatin1String("No");
        const bool saved = answers.first() == QLatin1String("Yes");

        QStringList asked;
        answerInTurn(answers, &asked);
        trigger("Exit1");
        QCOMPARE(asked, both.mid(0, answers.size()));
        QCOMPARE(w.isVisible(), !closes);
        QTRY_COMPARE(std::count_if(windows.cbegin(), windows.cend(),
                                   [](const QPointer<QWidget>& p) { return p && p->isVisible(); }),
                     closes ? 0 : 5);
        if (closes)
            return;
        asked.clear();
        answerInTurn({"No", "No"}, &asked);
        trigger("Exit1");
        QCOMPARE(asked, saved ? both.mid(1) : both);
        QVERIFY(!w.isVisible());
    }

    // The save dialog's file type decides the extension a name typed
    // without one gets, and so what is written; a typed extension wins, in
    // the case it was typed. A type chosen after the name was typed turns
    // its extension into the type's, in lower case.
    void chosenFileTypeGivesTheExtension_data()
    {
        QTest::addColumn<int>("typeIndex"); // graph, text, CSV
        QTest::addColumn<QString>("typed");
        QTest::addColumn<bool>("typedFirst");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("firstLine"); // empty: a graph file
        const QString textLine = "4/14/2010\t12:00:00.000\t50.3";
        const QString csvLine = "4/14/2010,12:00:00.000,50.3";
        QTest::newRow("graph file, no extension") << 0 << "set1b" << false << "set1b.GHF" << "";
        QTest::newRow("TXT, no extension") << 1 << "set1b" << false << "set1b.txt" << textLine;
        QTest::newRow("CSV, no extension") << 2 << "set1b" << false << "set1b.csv" << csvLine;
        QTest::newRow("TXT chosen, .ghf typed") << 1 << "set1b.ghf" << false << "set1b.ghf" << "";
        QTest::newRow(".csv typed, then CSV chosen")
            << 2 << "Hall 3.csv" << true << "Hall 3.csv" << csvLine;
        QTest::newRow(".csv typed, then TXT chosen")
            << 1 << "Hall 3.csv" << true << "Hall 3.txt" << textLine;
        QTest::newRow(".Csv typed, CSV kept") << 2 << "set1b.Csv" << false << "set1b.Csv" << csvLine;
    }

    void chosenFileTypeGivesTheExtension()
    {
        QFETCH(int, typeIndex);
        QFETCH(QString, typed);
        QFETCH(bool, typedFirst);
        QFETCH(QString, written);
        QFETCH(QString, firstLine);
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        // The dialog starts where the last graph went.
        DialogFolders::remember(DialogFolders::Kind::Graphs, savedPath(QStringLiteral("old.ghf")));
        QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, true);
        const auto nativeAgain =
            qScopeGuard([] { QCoreApplication::setAttribute(Qt::AA_DontUseNativeDialogs, false); });
        realSaveDialog_ = true;
        TfrmMain& w = mainWindow();
        const QByteArray block = measurement(20)->graph()->saveWholeGraph();

        QTimer::singleShot(0, this, [=, this] { fillSaveDialog(typeIndex, typed, typedFirst); });
        trigger("Save1");
        QCOMPARE(QDir(saved_->path()).entryList(QDir::Files), QStringList{written});
        QVERIFY(QDir(w.dataDirectory()).entryList({QStringLiteral("set1b*")}).isEmpty());
        const QByteArray bytes = fileBytes(savedPath(written));
        QCOMPARE(script_.rangeCaptions.size(), firstLine.isEmpty() ? 0 : 1);
        if (firstLine.isEmpty())
            QCOMPARE(bytes, graphFileBytes(block));
        else
            QVERIFY2(bytes.startsWith(firstLine.toUtf8() + "\r\n"), bytes.left(40).constData());
    }

    // Where the decimal separator is a comma no dialog offers CSV; a name
    // typed with ".csv" all the same is refused with a message, since the
    // decimal commas would split the values (67,6 read back as 67 and 6).
    void typedCsvRefusedUnderDecimalComma_data()
    {
        QTest::addColumn<QString>("window");
        QTest::newRow("graph window") << "graph";
        QTest::newRow("list window") << "list";
        QTest::newRow("real-time close question") << "real-time close";
    }

    void typedCsvRefusedUnderDecimalComma()
    {
        QFETCH(QString, window);
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        TfrmMain& w = mainWindow();
        if (window == QLatin1String("graph"))
            (void)measurement(20);
        else if (window == QLatin1String("list"))
            QVERIFY(openList("14.04.2010\t12:00:00.0\t67,6\r\n"));
        const QString path = savedPath(QStringLiteral("punkte.CSV"));
        script_.saveNames << path;
        if (window == QLatin1String("real-time close")) {
            TfrmGraph* realTime = realTimeSamples(20);
            answerQuestions(QMessageBox::Yes);
            QVERIFY(!frameOf(realTime)->close());
            QVERIFY(w.graphState().RealTimeDataUnsaved);
        } else {
            trigger("Save1");
        }
        QVERIFY(script_.rangeCaptions.isEmpty());
        QVERIFY(!QFile::exists(path));
        QCOMPARE(script_.informed.size(), 1);
        QVERIFY(script_.informed.first().startsWith(
            QDir::toNativeSeparators(path) + QStringLiteral(" was not saved: where the "
                                                            "decimal separator is a comma")));
    }

    // ---- Collection files -------------------------------------------------------------

    void collectionOpenShowsSetZeroAndSavesBack()
    {
        TfrmMain& w = mainWindow();
        const QByteArray image = loggerImage();
        const QString path = savedPath(QStringLiteral("logger.rec"));
        writeBytes(path, image);

        script_.choices << TfrmOpenSave::Sets;
        script_.openNames << path;
        trigger("Open1");
        QCOMPARE(script_.openRequests.size(), 1);
        QCOMPARE(script_.openRequests.first().filters,
                 QStringList{"Data Sets Collection (*.REC) (*.rec *.REC)"});
        QCOMPARE(script_.openRequests.first().defaultSuffix, QStringLiteral("REC"));
        GraphWindowState& state = w.graphState();
        TfrmGraph* graph = state.LoggerGraph;
        QVERIFY(graph);
        QCOMPARE(graph->windowTitle(), QStringLiteral("DataLogger"));
        auto* grid = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->item(0, 4)->text(), QStringLiteral("30"));
        QCOMPARE(grid->item(2, 4)->text(), QStringLiteral("11"));
        QCOMPARE(graph->graph()->points(), 30);
        const auto values = w.dataSets().valuesOf(0);
        for (int i = 0; i < 30; ++i)
            QCOMPARE(graph->graph()->yData(0, i), values[i]);
        QCOMPARE(graph->statisticFields().graph.dataNo, QStringLiteral("30"));
        QVERIFY(!state.LoggerDataUnsaved);
        QVERIFY(script_.errors.isEmpty());

        // Saved again at once: the opened file cut to memory end + 257 bytes.
        const int memoryEnd = quint8(image[12]) * 256 + quint8(image[13]);
        QVERIFY(memoryEnd + 257 < image.size());
        const QString copy = savedPath(QStringLiteral("copy.rec"));
        script_.choices << TfrmOpenSave::Sets;
        script_.saveNames << copy;
        trigger("Save1");
        QCOMPARE(script_.saveRequests.size(), 1);
        QCOMPARE(script_.saveRequests.first().filters,
                 QStringList{"Data Set Collection file(*.rec,only for RX842) (*.rec *.REC)"});
        QCOMPARE(script_.saveRequests.first().defaultSuffix, QStringLiteral("REC"));
        QCOMPARE(fileBytes(copy), image.left(memoryEnd + 257));
    }

    void collectionOpenWithoutData_data()
    {
        QTest::addColumn<QByteArray>("bytes"); // of the file chosen; null = cancelled
        QTest::newRow("file dialog cancelled") << QByteArray();
        QTest::newRow("300 zero bytes") << QByteArray(300, '\0');
        QTest::newRow("empty file") << QByteArray("");
    }

    void collectionOpenWithoutData()
    {
        QFETCH(QByteArray, bytes);
        TfrmMain& w = mainWindow();
        if (!bytes.isNull()) {
            const QString path = savedPath(QStringLiteral("empty.rec"));
            writeBytes(path, bytes);
            script_.openNames << path;
        }
        const double before = GraphTexts::fromDateTime(QDateTime::currentDateTime());
        script_.choices << TfrmOpenSave::Sets;
        trigger("Open1");
        const double after = GraphTexts::fromDateTime(QDateTime::currentDateTime());

        // The DataLogger window is there, empty, with 500 points from now on.
        TfrmGraph* graph = w.graphState().LoggerGraph;
        QVERIFY(graph);
        const PESGraph& chart = *graph->graph();
        QCOMPARE(chart.points(), 500);
        QVERIFY(chart.manualMinX() >= before - kSecond && chart.manualMinX() <= after + kSecond);
        QVERIFY(qAbs((chart.manualMaxX() - chart.manualMinX()) / kSecond - 500.0) < 0.01);
        QCOMPARE(graph->findChild<QTableWidget*>(QStringLiteral("Grid2"))->item(0, 1)->text(),
                 QString());
        QCOMPARE(w.dataSets().count(), 0);
        QVERIFY(script_.errors.isEmpty());
        QVERIFY(script_.informed.isEmpty());
        QVERIFY(!QFile::exists(w.dataDirectory() + QStringLiteral("/temp/DataSetsTemp.tmp")));
    }

    // ---- Faults of the file system -----------------------------------------------------

    // A save to a folder where nothing can be created: the message naming the
    // file, nothing written, the data and the unsaved flag kept; and the close
    // question whose save fails keeps the window.
    void saveWhereNothingCanBeCreated_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("choice"); // of the DataLogger window's choice dialog
        const int single = TfrmOpenSave::SingleSet;
        QTest::newRow("graph file") << "trace.ghf" << single;
        QTest::newRow("text file") << "trace.txt" << single;
        QTest::newRow("CSV file") << "trace.csv" << single;
        QTest::newRow("collection file") << "sets.rec" << int(TfrmOpenSave::Sets);
    }

    void saveWhereNothingCanBeCreated()
    {
        QFETCH(QString, name);
        QFETCH(int, choice);
        const ReadOnlyDirectory readOnly;
        if (!readOnly.isReadOnly())
            QSKIP("No directory here refuses new files.");
        TfrmMain& w = mainWindow();
        // An opened collection leaves the temporary image file a collection save copies.
        const QString collection = savedPath(QStringLiteral("logger.rec"));
        writeBytes(collection, loggerImage());
        script_.choices << TfrmOpenSave::Sets;
        script_.openNames << collection;
        trigger("Open1");
        GraphWindowState& state = w.graphState();
        TfrmGraph* logger = state.LoggerGraph;
        QVERIFY(logger);
        QCOMPARE(logger->graph()->points(), 30);
        state.LoggerDataUnsaved = true;
        const QByteArray block = logger->graph()->saveWholeGraph();
        w.mdiArea()->setActiveSubWindow(frameOf(logger));

        const QString path = QDir(readOnly.path()).filePath(name);
        script_.choices << choice;
        script_.saveNames << path;
        trigger("Save1");
        QCOMPARE(script_.errors.size(), 1);
        QVERIFY2(script_.errors.first().startsWith(
                     QStringLiteral("Cannot create the file %1").arg(QDir::toNativeSeparators(path))),
                 qPrintable(script_.errors.first()));
        QVERIFY(readOnly.isEmpty());
        QVERIFY(state.LoggerDataUnsaved);
        QCOMPARE(logger->graph()->saveWholeGraph(), block);
        QCOMPARE(w.dataSets().count(), 3);

        answerQuestions(QMessageBox::Yes);
        script_.choices << choice;
        script_.saveNames << path;
        QVERIFY(!frameOf(logger)->close());
        QCOMPARE(script_.errors.size(), 2);
        QVERIFY(state.LoggerDataUnsaved);
        QCOMPARE(state.LoggerGraph.data(), logger);
        QCOMPARE(logger->graph()->saveWholeGraph(), block);
        QVERIFY(readOnly.isEmpty());
    }

    // The file chosen is replaced by a truncated copy of itself between the
    // open dialog and the read: a message or a silent refusal, and what the
    // program held before is still there.
    void fileTruncatedAfterTheOpenDialog_data()
    {
        QTest::addColumn<QString>("name");
        QTest::addColumn<int>("choice");
        QTest::addColumn<double>("kept");     // share of the file left
        QTest::addColumn<QString>("outcome"); // "error", "silent" or a list's last row 1 cell
        const int single = TfrmOpenSave::SingleSet;
        const int sets = TfrmOpenSave::Sets;
        QTest::newRow("graph file, half") << "trace.ghf" << single << 0.5 << "error";
        QTest::newRow("graph file, emptied") << "trace.ghf" << single << 0.0 << "error";
        QTest::newRow("collection, half") << "logger.rec" << sets << 0.5 << "silent";
        QTest::newRow("collection, inside its control page")
            << "logger.rec" << sets << 0.002 << "silent";
        QTest::newRow("collection, emptied") << "logger.rec" << sets << 0.0 << "silent";
        QTest::newRow("text file, half") << "list.txt" << single << 0.5 << "5";
        QTest::newRow("text file, emptied") << "list.txt" << single << 0.0 << "";
    }

    void fileTruncatedAfterTheOpenDialog()
    {
        QFETCH(QString, name);
        QFETCH(int, choice);
        QFETCH(double, kept);
        QFETCH(QString, outcome);
        TfrmMain& w = mainWindow();
        GraphWindowState& state = w.graphState();
        // What the user has: a collection opened, and a measurement.
        const QString collection = savedPath(QStringLiteral("held.rec"));
        writeBytes(collection, loggerImage());
        script_.choices << TfrmOpenSave::Sets;
        script_.openNames << collection;
        trigger("Open1");
        QVERIFY(state.LoggerGraph);
        const QByteArray loggerBlock = state.LoggerGraph->graph()->saveWholeGraph();
        const QByteArray tempImage = fileBytes(w.dataDirectory() + "/temp/DataSetsTemp.tmp");
        QVERIFY(!tempImage.isEmpty());
        TfrmGraph* held = measurement(100);
        const QByteArray heldBlock = held->graph()->saveWholeGraph();

        QByteArray whole;
        if (name.endsWith(".ghf"))
            whole = graphFileBytes(heldBlock);
        else if (name.endsWith(".rec"))
            whole = loggerImage();
        else
            for (int i = 1; i <= 10; ++i)
                whole += QStringLiteral("%1\t%2\r\n").arg(i).arg(i * 1.5).toUtf8();
        const QString path = savedPath(name);
        writeBytes(path, whole);
        script_.afterOpenDialog = [&](const QString& chosen) {
            const QString copy = chosen + QStringLiteral(".part");
            writeBytes(copy, whole.left(qsizetype(whole.size() * kept)));
            QVERIFY(QFile::remove(chosen));
            QVERIFY(QFile::rename(copy, chosen));
        };
        const QList<QMdiSubWindow*> before = w.mdiArea()->subWindowList();
        script_.choices << choice;
        script_.openNames << path;
        trigger("Open1");
        QCoreApplication::processEvents();

        QCOMPARE(script_.errors.size(), outcome == QLatin1String("error") ? 1 : 0);
        if (outcome == QLatin1String("error"))
            QVERIFY(script_.errors.first().contains(QDir::toNativeSeparators(path)));
        QVERIFY(script_.informed.isEmpty());
        if (outcome == QLatin1String("error") || outcome == QLatin1String("silent")) {
            QCOMPARE(w.mdiArea()->subWindowList(), before);
        } else {
            auto* list = qobject_cast<TfrmList*>(w.activeChild());
            QVERIFY(list);
            QCOMPARE(w.mdiArea()->subWindowList().size(), before.size() + 1);
            // The lines the copy holds, up to the cut one, which has no separator.
            const int last = outcome.isEmpty() ? 0 : outcome.toInt();
            if (last > 0)
                QCOMPARE(list->table().cell(last, 1), outcome);
            QCOMPARE(list->table().cell(last + 1, 1), QString());
        }
        // Nothing the user had is lost.
        QCOMPARE(held->graph()->saveWholeGraph(), heldBlock);
        QCOMPARE(state.LoggerGraph->graph()->saveWholeGraph(), loggerBlock);
        QCOMPARE(w.dataSets().count(), 3);
        QCOMPARE(fileBytes(w.dataDirectory() + "/temp/DataSetsTemp.tmp"), tempImage);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestFileCommands)
#include "tst_filecommands.moc"
