#include <QApplication>

#include "common/BenchPairs.h"
#include "common/PaintCounter.h"
#include "common/TestMain.h"

#include "data/GeneratedDataSets.h"
#include "data/SeriesStatistics.h"
#include "data/GraphTexts.h"
#include "graph/AcousticBox.h"
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
        return openWindowOnTheSets();
    }

    std::unique_ptr<TfrmGraph> openWindowOnTheSets()
    {
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

    // Every acoustic figure of the whole series (equivalent level, the five
    // percentile levels, extremes, duration, time above), as the box
    // computes them, beside the one pass of the arithmetic statistics the
    // window has always made over the same points.
    void acousticFiguresOf99999Samples()
    {
        auto window = openWindow(99999);
        QVERIFY(window->showDataSet(0));
        const std::span<const double> x = window->graph()->xSeries(0);
        const std::span<const float> y = window->graph()->ySeries(0);
        double sink = 0.0;
        const Figures f = timeInTurn([&] { sink += window->acousticFigures(false).leq; },
                                     [&] { sink += SeriesStatistics::whole(x, y).average; });
        QVERIFY(sink > 0.0);
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("acoustic figures, 99999 samples", "arithmetic statistics, 99999 samples", f);
    }

    // A thumb move with the "Acoustic" box shown (the span's figures
    // computed and shown) beside the same move in a window whose box is
    // hidden; both with the redraw and the paint.
    void thumbMoveOver49152PointsWithTheAcousticBox()
    {
        sets_ = GeneratedDataSets::collection({{kStart, 1, 49152, true}});
        state_.acousticBox.shown = true;
        auto withBox = openWindowOnTheSets();
        state_.acousticBox.shown = false;
        auto withoutBox = openWindowOnTheSets();
        state_.acousticBox.shown = true;
        QVERIFY(withBox->showDataSet(0) && withoutBox->showDataSet(0));
        QVERIFY(withBox->acousticBoxVisible() && !withoutBox->acousticBoxVisible());
        QVERIFY(QTest::qWaitForWindowExposed(withBox.get()));
        QVERIFY(QTest::qWaitForWindowExposed(withoutBox.get()));
        for (TfrmGraph* w : {withBox.get(), withoutBox.get()})
            w->slider()->SetValue1(0);
        paintPending();
        PaintCounter withPainted(chartPlot(*withBox));
        PaintCounter withoutPainted(chartPlot(*withoutBox));
        bool everyOnePainted = true;
        int with = 0;
        int without = 0;
        const auto move = [](TfrmGraph& w, int& value) {
            value = (value + 97) % 49152;
            w.slider()->SetValue1(value);
        };
        const Figures f = timeInTurn(
            [&] {
                everyOnePainted &= changeAndPaint(withPainted, [&] { move(*withBox, with); });
            },
            [&] {
                everyOnePainted &=
                    changeAndPaint(withoutPainted, [&] { move(*withoutBox, without); });
            });
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QVERIFY(!withBox->acousticBox()->text(AcousticBox::Cursors, AcousticBox::Leq).isEmpty());
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("thumb move + paint, 49152 points, acoustic box shown",
               "the same with the box hidden", f);
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
