#include <QApplication>

#include "common/TestMain.h"

#include "app/CommandLineOptions.h"
#include "app/TfrmMain.h"
#include "graph/AcousticBox.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

#include <QAction>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableWidget>
#include <QToolBar>

namespace {
TfrmMain::Environment noPorts()
{
    TfrmMain::Environment environment;
    environment.listPorts = [] { return QStringList(); };
    return environment;
}

bool startUp(TfrmMain& w)
{
    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.show();
    return finished.wait(20000);
}

QAction* action(const TfrmMain& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}
} // namespace

// The graph windows inside the main window: the real-time graph of start-up
// and the View command, the DataLogger graph of the sample data, the shared
// state and the developer's command-line option.
class TestGraphWindows : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void realTimeGraphIsCreatedAndPlacedAtStartUp()
    {
        TfrmMain w(noPorts());
        w.resize(1280, 800);
        QVERIFY(startUp(w));
        TfrmGraph* graph = w.graphState().RealTimeGraph;
        QVERIFY(graph);
        QCOMPARE(graph->windowTitle(), TfrmGraph::RealTimeCaption);
        QVERIFY(action(w, "RealTimeGraph1")->isChecked());
        QWidget* frame = graph->parentWidget();
        QCOMPARE(frame->y(), 0);
        QCOMPARE(frame->x(), w.PanelWindow()->parentWidget()->width());
        QCOMPARE(w.mdiArea()->activeSubWindow(), frame);
        QCOMPARE(graph->graph()->points(), 2000);
        QCOMPARE(graph->graph()->look().yAxisLabel, QStringLiteral("dB"));
        QVERIFY(w.close());
    }

    void closingTheRealTimeGraphAndTheViewCommand()
    {
        TfrmMain w(noPorts());
        QVERIFY(startUp(w));
        GraphWindowState& state = w.graphState();
        state.LoggerDataUnsaved = true; // of a DataLogger graph elsewhere
        QPointer<TfrmGraph> graph = state.RealTimeGraph.data();
        QVERIFY(graph->parentWidget()->close());
        QTRY_VERIFY(graph.isNull());
        QVERIFY(state.RealTimeGraph.isNull());
        QVERIFY(!action(w, "RealTimeGraph1")->isChecked());
        QVERIFY(!action(w, "Run1")->isEnabled()); // no meter connected
        QVERIFY(!action(w, "Stop1")->isEnabled());
        QVERIFY(state.LoggerDataUnsaved);

        action(w, "RealTimeGraph1")->trigger();
        QVERIFY(state.RealTimeGraph);
        QVERIFY(action(w, "RealTimeGraph1")->isChecked());
        // Chosen again with the window there: still one real-time graph.
        action(w, "RealTimeGraph1")->trigger();
        int realTimeGraphs = 0;
        for (QMdiSubWindow* sub : w.mdiArea()->subWindowList())
            realTimeGraphs += sub->widget()->windowTitle() == TfrmGraph::RealTimeCaption;
        QCOMPARE(realTimeGraphs, 1);
        QVERIFY(action(w, "RealTimeGraph1")->isChecked());
        state.LoggerDataUnsaved = false;
        QVERIFY(w.close());
    }

    void realTimeIntervalIsSharedWithTheGraphs()
    {
        TfrmMain w(noPorts());
        w.RealTimeInterval = 5.0f;
        QCOMPARE(w.graphState().RealTimeInterval, 5.0f);
        QCOMPARE(w.graphState().dataDirectory, w.dataDirectory());
    }

    void sampleGraphOpensTheDataLoggerGraph()
    {
        TfrmMain w(noPorts());
        QVERIFY(startUp(w));
        w.openSampleGraph(500);
        TfrmGraph* graph = w.graphState().LoggerGraph;
        QVERIFY(graph);
        QCOMPARE(graph->windowTitle(), TfrmGraph::LoggerCaption);
        QCOMPARE(w.dataSets().count(), 3);
        QCOMPARE(graph->graph()->points(), 500);
        auto* grid = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
        QVERIFY(grid->isVisibleTo(graph));
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(grid->item(2, 4)->text(), QStringLiteral("250"));
        // Activating a graph window withdraws the tabular command.
        action(w, "btnOutputToGraph")->setEnabled(true);
        w.mdiArea()->setActiveSubWindow(
            qobject_cast<QMdiSubWindow*>(w.graphState().RealTimeGraph->parentWidget()));
        QVERIFY(!action(w, "btnOutputToGraph")->isEnabled());
        QVERIFY(w.close());
    }

    // View > "Acoustic Statistics": one choice for every graph window, open
    // or opened later, kept for the next start.
    void acousticBoxIsHiddenInEveryGraphWindowAndStaysHidden()
    {
        {
            TfrmMain w(noPorts());
            QVERIFY(startUp(w));
            w.openSampleGraph(300);
            TfrmGraph* logger = w.graphState().LoggerGraph;
            TfrmGraph* realTime = w.graphState().RealTimeGraph;
            QAction* item = action(w, "AcousticStatistics1");
            QVERIFY(item->isChecked());
            QVERIFY(logger->acousticBoxVisible() && realTime->acousticBoxVisible());
            QCOMPARE(logger->acousticBox()->rowName(AcousticBox::Leq), QStringLiteral("LAeq"));

            item->trigger();
            QVERIFY(!item->isChecked());
            QVERIFY(!logger->acousticBoxVisible());
            QVERIFY(!realTime->acousticBoxVisible());
            QVERIFY(!w.addGraphWindow(QStringLiteral("file.ghf"))->acousticBoxVisible());
            QVERIFY(w.close());
        }
        TfrmMain again(noPorts());
        QVERIFY(startUp(again));
        QVERIFY(!action(again, "AcousticStatistics1")->isChecked());
        QVERIFY(!again.graphState().RealTimeGraph->acousticBoxVisible());
        action(again, "AcousticStatistics1")->trigger();
        QVERIFY(again.graphState().RealTimeGraph->acousticBoxVisible());
        QVERIFY(AcousticBoxSettings::read(QSettings()).shown);
        QVERIFY(again.close());
    }

    void sampleGraphOption_data()
    {
        QTest::addColumn<QStringList>("arguments");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("error");
        QTest::newRow("not given") << QStringList{"audimark"} << 0 << false;
        QTest::newRow("default points")
            << QStringList{"audimark", "--sample-graph"} << 2000 << false;
        QTest::newRow("given points")
            << QStringList{"audimark", "--sample-graph=49152"} << 49152 << false;
        QTest::newRow("not a number")
            << QStringList{"audimark", "--sample-graph=many"} << 0 << true;
        QTest::newRow("zero") << QStringList{"audimark", "--sample-graph=0"} << 0 << true;
    }
    void sampleGraphOption()
    {
        QFETCH(QStringList, arguments);
        QFETCH(int, points);
        QFETCH(bool, error);
        const CommandLineOptions options = CommandLineOptions::parse(arguments);
        QCOMPARE(options.sampleGraphPoints, points);
        QCOMPARE(!options.error.isEmpty(), error);
        // A developer's option: not in the usage text.
        QVERIFY(!CommandLineOptions::usage().contains(QStringLiteral("sample-graph")));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestGraphWindows)
#include "tst_graphwindows.moc"
