#include <QApplication>

#include "common/TestMain.h"

#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

namespace {
const double kStart = GraphTexts::fromDateTime(QDateTime(QDate(2010, 4, 14), QTime(8, 0)));

// Resident set size of this process in kB.
long residentKilobytes()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').value(0).toLong();
    return -1;
}

// Lets the window paint what the last change asked for.
void paintNow(TfrmGraph& window)
{
    QCoreApplication::processEvents();
    window.repaint();
}
} // namespace

// Speed and memory figures of the graph window; they run only when asked
// (AUDIMARK_BENCH=1), so that CTest runs stay instant.
class BenchTfrmGraph : public QObject
{
    Q_OBJECT

    QTemporaryDir data_;
    GraphWindowState state_;
    DataSetCollection sets_;

    static bool benchmarking() { return !qEnvironmentVariableIsEmpty("AUDIMARK_BENCH"); }

    std::unique_ptr<TfrmGraph> openWindow(int samples)
    {
        sets_ = GeneratedDataSets::collection({{kStart, 1, samples, true}});
        state_.dataDirectory = data_.path();
        state_.dataSets = &sets_;
        auto window = std::make_unique<TfrmGraph>(state_);
        window->setWindowTitle(TfrmGraph::LoggerCaption);
        window->resize(1200, 700);
        window->show();
        return window;
    }

private slots:
    void init()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the graph window benchmarks");
    }

    void showDataSetOf49152Samples()
    {
        auto window = openWindow(49152);
        QBENCHMARK
        {
            QVERIFY(window->showDataSet(0));
            paintNow(*window);
        }
    }

    void redrawOf100000Points()
    {
        auto window = openWindow(100000);
        QVERIFY(window->showDataSet(0));
        paintNow(*window);
        QBENCHMARK
        {
            window->refreshGraph();
            paintNow(*window);
        }
    }

    void thumbMoveOver49152Points()
    {
        auto window = openWindow(49152);
        QVERIFY(window->showDataSet(0));
        paintNow(*window);
        Tslider2* slider = window->slider();
        slider->SetValue1(0);
        int value = 0;
        // Each move: the statistics between the cursors (up to the whole
        // series apart) and a redraw.
        QBENCHMARK
        {
            value = (value + 97) % 49152;
            slider->SetValue1(value);
            paintNow(*window);
        }
    }

    void memoryOfAWindowWith100000Points()
    {
        sets_ = GeneratedDataSets::collection({{kStart, 1, 100000, true}});
        state_.dataSets = &sets_;
        QCoreApplication::processEvents();
        const long before = residentKilobytes();
        auto window = std::make_unique<TfrmGraph>(state_);
        window->setWindowTitle(TfrmGraph::LoggerCaption);
        window->resize(1200, 700);
        window->show();
        QVERIFY(window->showDataSet(0));
        paintNow(*window);
        const long after = residentKilobytes();
        qInfo("window with 100000 points: %ld kB more resident memory", after - before);
        QVERIFY(before > 0 && after > 0);
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchTfrmGraph)
#include "bench_tfrmgraph.moc"
