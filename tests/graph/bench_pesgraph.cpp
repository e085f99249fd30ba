#include <QApplication>

#include "common/BenchPairs.h"
#include "common/PaintCounter.h"
#include "common/TestMain.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphCustomizeDialog.h"
#include "graph/PESGraphTestData.h"
#include "graph/PlainChart.h"

#include <QDataStream>
#include <QDir>
#include <QPrinter>
#include <QTabWidget>

#include <memory>

using namespace PESGraphTestData;
using namespace BenchPairs;

namespace {
// Our chart and a plain QCustomPlot (the baseline) with the same series,
// both shown, the plain plot as large as the plot inside our chart.
struct ChartAndBaseline
{
    explicit ChartAndBaseline(int count)
    {
        chart.resize(1200, 700);
        prepare(chart, count);
        chart.show();
        plot = chart.findChild<QCustomPlot*>();
        plain.plot().resize(plot->size());
        plain.setSeries(times(count), levels(count));
        plain.plot().show();
        plain.replot();
    }

    [[nodiscard]] bool exposed()
    {
        return QTest::qWaitForWindowExposed(&chart) && QTest::qWaitForWindowExposed(&plain.plot());
    }

    PESGraph chart;
    QCustomPlot* plot = nullptr; // the plot inside our chart, where the paint happens
    PlainChart plain;
};

// An empty chart of `capacity` points prepared as real-time recording
// prepares it (X fixed to the whole span, no point yet), and the baseline
// with the same axis ranges and no data.
struct RecordingPair
{
    explicit RecordingPair(int capacity) : x(times(capacity)), y(levels(capacity))
    {
        chart.resize(1200, 700);
        prepare(chart, capacity);
        chart.show();
        plot = chart.findChild<QCustomPlot*>();
        plain.plot().resize(plot->size());
        plain.plot().xAxis->setRange(PlainChart::keyOf(x.front()), PlainChart::keyOf(x.back()));
        plain.plot().show();
    }

    PESGraph chart;
    QCustomPlot* plot = nullptr;
    PlainChart plain;
    std::vector<double> x;
    std::vector<float> y;
};
} // namespace

// Speed figures of the chart, each beside a plain QCustomPlot doing the
// same in the same run, and the screenshots of its look. Both only run when
// asked: AUDIMARK_BENCH=1 for the benchmarks, PESGRAPH_SCREENSHOT_DIR=<folder>
// for the screenshots. Figures that claim a redraw include the paint: the
// queued paint runs inside the timed region, and a counter of paint events
// checks that it ran in every iteration, for ours and for the baseline.
class BenchPESGraph : public QObject
{
    Q_OBJECT

private:
    static bool benchmarking() { return !qEnvironmentVariableIsEmpty("AUDIMARK_BENCH"); }

    static void annotate(PESGraph& graph)
    {
        const auto cursorText = [&](int point) {
            const QDateTime t =
                QDateTime(QDate(1899, 12, 30), QTime(0, 0), Qt::UTC)
                    .addMSecs(qint64(std::llround(graph.xDataII(0, point) * 86400000.0)));
            return QStringLiteral("|t") + t.time().toString(QStringLiteral("hh:mm:ss")) +
                   QLatin1Char('\n') + QLocale().toString(graph.yData(0, point), 'f', 1) +
                   QStringLiteral("dB");
        };
        graph.setVertLineAnnotation(0, graph.xDataII(0, 666));
        graph.setVertLineAnnotationText(0, cursorText(666));
        graph.setVertLineAnnotation(1, graph.xDataII(0, 1333));
        graph.setVertLineAnnotationText(1, cursorText(1333));
        graph.setGraphAnnotation(
            5, {graph.xDataII(0, 400), 110.0, PESAnnotationType::Cross, QString(), QColor()});
        graph.setGraphAnnotation(6, {graph.xDataII(0, 900), 115.0, PESAnnotationType::TextOnly,
                                     QStringLiteral("Compressor starts"), QColor()});
        graph.setGraphAnnotation(
            2, {graph.xDataII(0, 1000), graph.yData(0, 1000), PESAnnotationType::Cross,
                QStringLiteral("12:16:40\r") + QLocale().toString(graph.yData(0, 1000), 'f', 1) +
                    QStringLiteral(" dB"),
                QColor(255, 255, 0)});
    }

    static constexpr int kCapacity = 100000;
    static constexpr int kStepPoints = 200;

    static void fillLevels()
    {
        QTest::addColumn<int>("filled");
        QTest::newRow("into an empty chart") << 0;
        QTest::newRow("after 50000 points") << 50000;
        QTest::newRow("after 99800 points") << kCapacity - kStepPoints;
    }

    // Writes points filled .. filled + kStepPoints - 1, each through `ours`
    // (which must leave the paint queued) and through the baseline in turn,
    // each followed by its paint; prints both per-point costs and the ratio.
    template <typename Ours> static void timeRecording(RecordingPair& r, int filled, Ours ours)
    {
        QVERIFY(QTest::qWaitForWindowExposed(&r.chart));
        QVERIFY(QTest::qWaitForWindowExposed(&r.plain.plot()));
        paintPending();
        PaintCounter oursPainted(r.plot);
        PaintCounter plainPainted(&r.plain.plot());
        std::vector<double> oursMs, plainMs, ratios;
        bool everyOnePainted = true;
        QElapsedTimer timer;
        for (int i = filled; i < filled + kStepPoints; ++i) {
            timer.start();
            everyOnePainted &= changeAndPaint(oursPainted, [&] { ours(i); });
            oursMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            timer.start();
            everyOnePainted &= changeAndPaint(plainPainted, [&] {
                r.plain.addPoint(r.x[size_t(i)], r.y[size_t(i)]);
                r.plain.replot();
            });
            plainMs.push_back(double(timer.nsecsElapsed()) / 1e6);
            ratios.push_back(oursMs.back() / plainMs.back());
        }
        QVERIFY2(everyOnePainted, "a point ended without its paint");
        const Figures f{median(oursMs), median(plainMs), median(ratios), kStepPoints};
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report(
            qPrintable(QStringLiteral("one point + refresh + paint after %1 points").arg(filled)),
            "plain QCustomPlot addData + replot + paint", f);
    }

private slots:
    void redraw100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        ChartAndBaseline c(100000);
        QVERIFY(c.exposed());
        PaintCounter oursPainted(c.plot);
        PaintCounter plainPainted(&c.plain.plot());
        bool everyOnePainted = true;
        const Figures f = timeInTurn(
            [&] { everyOnePainted &= changeAndPaint(oursPainted, [&] { c.chart.redraw(); }); },
            [&] { everyOnePainted &= changeAndPaint(plainPainted, [&] { c.plain.replot(); }); });
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("redraw + paint, 100000 points", "plain QCustomPlot replot + paint", f);
    }

    void reinitializeAndRedraw100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        ChartAndBaseline c(100000);
        QVERIFY(c.exposed());
        PaintCounter oursPainted(c.plot);
        PaintCounter plainPainted(&c.plain.plot());
        QCustomPlot& plain = c.plain.plot();
        const QCPRange plainX = plain.xAxis->range();
        bool everyOnePainted = true;
        const Figures f = timeInTurn(
            [&] {
                everyOnePainted &= changeAndPaint(oursPainted, [&] {
                    c.chart.reinitialize();
                    c.chart.redraw();
                });
            },
            [&] {
                everyOnePainted &= changeAndPaint(plainPainted, [&] {
                    plain.xAxis->setRange(plainX);
                    plain.yAxis->setRange(30, 130);
                    c.plain.replot();
                });
            });
        QVERIFY2(everyOnePainted, "an iteration ended without its paint");
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("reinitialise + redraw + paint, 100000 points",
               "plain QCustomPlot ranges set + replot + paint", f);
    }

    // Real-time recording: one point written into a prepared series, then
    // the program's refresh (reinitialise and redraw) and its paint, beside
    // a plain QCustomPlot adding the point, replotting and painting. Each
    // row times kStepPoints such points after the chart already holds
    // `filled` of its 100000 (the largest count the setup dialog takes), so
    // the last row is the costliest sample of a full recording.
    void recordPointsRedrawingEachOne_data() { fillLevels(); }

    void recordPointsRedrawingEachOne()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        QFETCH(int, filled);
        RecordingPair r(kCapacity);
        PESGraph& chart = r.chart;
        chart.setXDataII(0, -1, 0.0);
        chart.setYData(0, -1, 0.0f);
        for (int i = 0; i < filled; ++i) {
            chart.setXDataII(0, i, r.x[size_t(i)]);
            chart.setYData(0, i, r.y[size_t(i)]);
        }
        chart.reinitialize();
        chart.redraw();
        r.plain.setSeries(std::span(r.x).first(size_t(filled)),
                          std::span(r.y).first(size_t(filled)));
        r.plain.plot().xAxis->setRange(PlainChart::keyOf(r.x.front()),
                                       PlainChart::keyOf(r.x.back()));
        int next = filled;
        timeRecording(r, filled, [&](int i) {
            chart.setXDataII(0, i, r.x[size_t(i)]);
            chart.setYData(0, i, r.y[size_t(i)]);
            chart.reinitialize();
            chart.redraw();
            next = i + 1;
        });
        QCOMPARE(next, filled + kStepPoints);
    }

    // The same with appendPoint() into a chart that grows.
    void appendPointsRedrawingEachOne_data() { fillLevels(); }

    void appendPointsRedrawingEachOne()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        QFETCH(int, filled);
        RecordingPair r(kCapacity);
        PESGraph& chart = r.chart;
        chart.setPoints(0);
        for (int i = 0; i < filled; ++i)
            chart.appendPoint(r.x[size_t(i)], r.y[size_t(i)]);
        chart.redraw();
        r.plain.setSeries(std::span(r.x).first(size_t(filled)),
                          std::span(r.y).first(size_t(filled)));
        r.plain.plot().xAxis->setRange(PlainChart::keyOf(r.x.front()),
                                       PlainChart::keyOf(r.x.back()));
        timeRecording(r, filled, [&](int i) {
            chart.appendPoint(r.x[size_t(i)], r.y[size_t(i)]);
            chart.redraw();
        });
        QCOMPARE(chart.points(), filled + kStepPoints);
    }

    // Not a drawing figure: the whole-graph block written and read back,
    // beside the same points written to and read from a QDataStream.
    void saveAndLoad100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        PESGraph graph;
        prepare(graph, 100000);
        PESGraph copy;
        QByteArray block;
        bool loaded = true;
        const auto x = times(100000);
        const auto y = levels(100000);
        std::vector<double> xBack(x.size());
        std::vector<float> yBack(y.size());
        const Figures f = timeInTurn(
            [&] {
                block = graph.saveWholeGraph();
                loaded &= copy.loadWholeGraph(block);
            },
            [&] {
                QByteArray raw;
                {
                    QDataStream out(&raw, QIODevice::WriteOnly);
                    out.setFloatingPointPrecision(QDataStream::DoublePrecision);
                    for (size_t i = 0; i < x.size(); ++i)
                        out << x[i] << double(y[i]);
                }
                QDataStream in(raw);
                in.setFloatingPointPrecision(QDataStream::DoublePrecision);
                for (size_t i = 0; i < x.size(); ++i) {
                    double level = 0;
                    in >> xBack[i] >> level;
                    yBack[i] = float(level);
                }
            });
        QVERIFY(loaded);
        QCOMPARE(copy.points(), 100000);
        QCOMPARE(yBack.back(), y.back());
        QTest::setBenchmarkResult(f.oursMs, QTest::WalltimeMilliseconds);
        report("whole-graph block saved + loaded, 100000 points",
               "the same points through a QDataStream and back", f);
        qInfo("whole-graph block of 100000 points: %lld bytes", qint64(block.size()));
    }

    void screenshots()
    {
        const QString dir = qEnvironmentVariable("PESGRAPH_SCREENSHOT_DIR");
        if (dir.isEmpty())
            QSKIP("set PESGRAPH_SCREENSHOT_DIR to write the screenshots");
        QDir().mkpath(dir);
        PESGraph graph;
        graph.resize(1100, 600);
        prepare(graph, 2000);
        graph.setYAxisLabel(QStringLiteral("dB"));
        annotate(graph);
        graph.reinitialize();
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        graph.redraw();
        QVERIFY(graph.grab().save(dir + QStringLiteral("/pesgraph-unzoomed.png")));

        graph.zoomTo(graph.xDataII(0, 600), graph.xDataII(0, 760), 50, 100);
        QVERIFY(graph.grab().save(dir + QStringLiteral("/pesgraph-zoomed.png")));
        graph.zoomTo(graph.xDataII(0, 640), graph.xDataII(0, 646), 50, 100);
        QVERIFY(graph.grab().save(dir + QStringLiteral("/pesgraph-zoomed-seconds.png")));
        graph.undoZoom();

        // The printout goes to the temporary folder, to be looked at, not kept.
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setPageOrientation(QPageLayout::Landscape);
        printer.setOutputFileName(QDir::temp().filePath(QStringLiteral("pesgraph-print.pdf")));
        QVERIFY(graph.print(printer));

        PESGraph days;
        days.resize(1100, 600);
        days.setDefaultLook();
        days.setPoints(2000);
        const auto x = times(2000, kStartDay, 5.0 / 1440.0); // every 5 minutes, ~7 days
        const auto y = levels(2000);
        days.setXDataBlock(x.data(), 2000);
        days.setYDataBlock(y.data(), 2000);
        days.setManualScaleControlY(PESManualScale::MinMax);
        days.setManualMinY(30);
        days.setManualMaxY(130);
        days.reinitialize();
        days.show();
        QVERIFY(QTest::qWaitForWindowExposed(&days));
        days.redraw();
        QVERIFY(days.grab().save(dir + QStringLiteral("/pesgraph-days.png")));

        PESGraphCustomizeDialog dialog(graph.look(), {PESManualScale::MinMax, 30, 130}, 1,
                                       {PESCustomizePage::General, PESCustomizePage::Style,
                                        PESCustomizePage::Colors, PESCustomizePage::Subsets,
                                        PESCustomizePage::Fonts, PESCustomizePage::Axis});
        dialog.show();
        QVERIFY(QTest::qWaitForWindowExposed(&dialog));
        QVERIFY(dialog.grab().save(dir + QStringLiteral("/pesgraph-customize-titles.png")));
        auto* tabs = dialog.findChild<QTabWidget*>(QStringLiteral("pages"));
        tabs->setCurrentIndex(2);
        QVERIFY(dialog.grab().save(dir + QStringLiteral("/pesgraph-customize-colors.png")));
        tabs->setCurrentIndex(1);
        QVERIFY(dialog.grab().save(dir + QStringLiteral("/pesgraph-customize-style.png")));
    }
};

AUDIMARK_TEST_MAIN_GUI(BenchPESGraph)
#include "bench_pesgraph.moc"
