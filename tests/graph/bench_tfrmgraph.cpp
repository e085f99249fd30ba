#include <QApplication>

#include "common/BenchPairs.h"
#include "common/PaintCounter.h"
#include "common/TestMain.h"

#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/PESGraph.h"
#include "graph/PlainChart.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"

#include <QFile>
#include <QTemporaryDir>

#include <memory>

using namespace BenchPairs;

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

// Counts the replots of a QCustomPlot.
struct ReplotCounter
{
    explicit ReplotCounter(QCustomPlot* plot)
    {
        QObject::connect(plot, &QCustomPlot::afterReplot, plot, [this] { ++count; });
    }
    int count = 0;
};
} // namespace

// Speed and memory figures of the graph window, each beside a plain
// QCustomPlot as large as the window's chart doing the least the same
// result needs (set the data, replot, paint), in the same run. They run only
// when asked (AUDIMARK_BENCH=1), so that CTest runs stay instant. The paint
// is inside every timed iteration: the window paints what the change queued,
// as the event loop would, and a counter of the chart's paint events checks
// that it did in every iteration, for the window and for the baseline.
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

    // The QCustomPlot inside the window's chart, where its paint happens.
    static QCustomPlot* chartPlot(TfrmGraph& window)
    {
        return window.graph()->findChild<QCustomPlot*>();
    }

    // The baseline beside `window`: as large as its chart's plot, holding
    // set 0 of the collection, shown.
    void showBaseline(PlainChart& plain, TfrmGraph& window)
    {
        plain.plot().resize(chartPlot(window)->size());
        plain.setSeries(sets_.timesOf(0), sets_.valuesOf(0));
        plain.plot().show();
        plain.replot();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        QVERIFY(QTest::qWaitForWindowExposed(&plain.plot()));
        paintPending();
    }

private slots:
    void init()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the graph window benchmarks");
    }

    // Showing a data set: the chart prepared, the series handed over, the
    // statistics and the slider, and what that paints; beside a plain
    // QCustomPlot given the same series (setData + replot + paint).
    void showDataSetOf49152Samples()
    {
        auto window = openWindow(49152);
        QVERIFY(window->showDataSet(0));
        PlainChart plain;
        showBaseline(plain, *window);
        PaintCounter oursPainted(chartPlot(*window));
        PaintCounter plainPainted(&plain.plot());
        ReplotCounter replots(chartPlot(*window));
        bool everyOnePainted = true;
        bool shown = true;
        int calls = 0;
        const Figures f = timeInTurn(
            [&] {
                everyOnePainted &= changeAndPaint(oursPainted, [&] {
                    shown &= window->showDataSet(0);
                    ++calls;
                });
            },
            [&] {
                everyOnePainted &= changeAndPaint(plainPainted, [&] {
                    plain.setSeries(sets_.timesOf(0), sets_.valuesOf(0));
                    plain.replot();
                });
            });
        QVERIFY(shown);
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("showDataSet + paint, 49152 samples", "plain QCustomPlot setData + replot + paint",
               f);
        qInfo("chart replots per shown set: %.1f", double(replots.count) / calls);
    }

    void redrawOf100000Points()
    {
        auto window = openWindow(100000);
        QVERIFY(window->showDataSet(0));
        PlainChart plain;
        showBaseline(plain, *window);
        PaintCounter oursPainted(chartPlot(*window));
        PaintCounter plainPainted(&plain.plot());
        bool everyOnePainted = true;
        const Figures f = timeInTurn(
            [&] {
                everyOnePainted &= changeAndPaint(oursPainted, [&] { window->refreshGraph(); });
            },
            [&] { everyOnePainted &= changeAndPaint(plainPainted, [&] { plain.replot(); }); });
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("refreshGraph + paint, 100000 points", "plain QCustomPlot replot + paint", f);
    }

    // Each move: the statistics between the cursors (up to the whole series
    // apart), the cursor line and fields, and the redraw and paint.
    void thumbMoveOver49152Points()
    {
        auto window = openWindow(49152);
        QVERIFY(window->showDataSet(0));
        PlainChart plain;
        showBaseline(plain, *window);
        Tslider2* slider = window->slider();
        slider->SetValue1(0);
        paintPending();
        PaintCounter oursPainted(chartPlot(*window));
        PaintCounter plainPainted(&plain.plot());
        bool everyOnePainted = true;
        int value = 0;
        const Figures f = timeInTurn(
            [&] {
                everyOnePainted &= changeAndPaint(oursPainted, [&] {
                    value = (value + 97) % 49152;
                    slider->SetValue1(value);
                });
            },
            [&] { everyOnePainted &= changeAndPaint(plainPainted, [&] { plain.replot(); }); });
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("thumb move + paint, 49152 points", "plain QCustomPlot replot + paint", f);
    }

    // Resident memory a window showing 100000 points adds, beside a plain
    // QCustomPlot as large as its chart holding the same points. Both are
    // kept until both are measured, so that neither reuses memory the other
    // gave back; a small window and plot shown first take the one-time
    // costs (fonts, styles) out of both figures.
    void memoryOfAWindowWith100000Points()
    {
        {
            auto small = openWindow(2);
            QVERIFY(small->showDataSet(0));
            PlainChart smallPlain;
            showBaseline(smallPlain, *small);
        }
        sets_ = GeneratedDataSets::collection({{kStart, 1, 100000, true}});
        state_.dataDirectory = data_.path();
        state_.dataSets = &sets_;
        QCoreApplication::processEvents();

        const long beforeWindow = residentKilobytes();
        auto window = std::make_unique<TfrmGraph>(state_);
        window->setWindowTitle(TfrmGraph::LoggerCaption);
        window->resize(1200, 700);
        window->show();
        QVERIFY(window->showDataSet(0));
        paintPending();
        const long windowKb = residentKilobytes() - beforeWindow;

        const long beforePlain = residentKilobytes();
        PlainChart plain;
        plain.plot().resize(chartPlot(*window)->size());
        plain.setSeries(sets_.timesOf(0), sets_.valuesOf(0));
        plain.plot().show();
        plain.replot();
        paintPending();
        const long plainKb = residentKilobytes() - beforePlain;
        QVERIFY(beforePlain > 0 && beforeWindow > 0);
        qInfo("window with 100000 points: %ld kB more resident memory; plain QCustomPlot %dx%d "
              "(the chart's size) with the same points: %ld kB; ratio %.2f",
              windowKb, plain.plot().width(), plain.plot().height(), plainKb,
              plainKb > 0 ? double(windowKb) / plainKb : 0.0);
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchTfrmGraph)
#include "bench_tfrmgraph.moc"
