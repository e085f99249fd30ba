#include <QApplication>

#include "common/TestMain.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphCustomizeDialog.h"
#include "graph/PESGraphTestData.h"

#include <QDir>
#include <QElapsedTimer>
#include <QPrinter>
#include <QTabWidget>

using namespace PESGraphTestData;

// Speed figures of the chart, and the screenshots of its look. Both only
// run when asked: AUDIMARK_BENCH=1 for the benchmarks,
// PESGRAPH_SCREENSHOT_DIR=<folder> for the screenshots.
class BenchPESGraph : public QObject
{
    Q_OBJECT

private:
    static bool benchmarking() { return !qEnvironmentVariableIsEmpty("AUDIMARK_BENCH"); }

    // Points of the recording benchmarks (AUDIMARK_BENCH_POINTS, default
    // 100000; a full run takes minutes, so QTEST_FUNCTION_TIMEOUT may need
    // raising).
    static int recordCount()
    {
        const int count = qEnvironmentVariableIntValue("AUDIMARK_BENCH_POINTS");
        return count > 0 ? count : 100000;
    }

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

private slots:
    void redraw100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        PESGraph graph;
        graph.resize(1200, 700);
        prepare(graph, 100000);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        graph.redraw();
        QBENCHMARK
        {
            graph.redraw();
        }
    }

    void reinitializeAndRedraw100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        PESGraph graph;
        graph.resize(1200, 700);
        prepare(graph, 100000);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        QBENCHMARK
        {
            graph.reinitialize();
            graph.redraw();
        }
    }

    // Real-time recording: points written one by one into a prepared
    // series, with the program's refresh (reinitialise and redraw) after
    // every point.
    void recordPointsRedrawingEachOne()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        const int count = recordCount();
        PESGraph graph;
        graph.resize(1200, 700);
        prepare(graph, count);
        graph.setXDataII(0, -1, 0.0);
        graph.setYData(0, -1, 0.0f);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const auto x = times(count);
        const auto y = levels(count);
        QElapsedTimer timer;
        timer.start();
        QBENCHMARK_ONCE
        {
            for (int i = 0; i < count; ++i) {
                graph.setXDataII(0, i, x[size_t(i)]);
                graph.setYData(0, i, y[size_t(i)]);
                graph.reinitialize();
                graph.redraw();
            }
        }
        qInfo("recorded %d points in %lld ms, %.3f ms per point", count, timer.elapsed(),
              double(timer.elapsed()) / count);
    }

    void appendPointsRedrawingEachOne()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        const int count = recordCount();
        PESGraph graph;
        graph.resize(1200, 700);
        prepare(graph, 0);
        graph.setManualMaxX(kStartDay + count * kSecond);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const auto x = times(count);
        const auto y = levels(count);
        QElapsedTimer timer;
        timer.start();
        QBENCHMARK_ONCE
        {
            for (int i = 0; i < count; ++i) {
                graph.appendPoint(x[size_t(i)], y[size_t(i)]);
                graph.redraw();
            }
        }
        qInfo("appended %d points in %lld ms, %.3f ms per point", count, timer.elapsed(),
              double(timer.elapsed()) / count);
    }

    void saveAndLoad100000Points()
    {
        if (!benchmarking())
            QSKIP("set AUDIMARK_BENCH=1 to run the benchmarks");
        PESGraph graph;
        prepare(graph, 100000);
        PESGraph copy;
        QByteArray block;
        QBENCHMARK
        {
            block = graph.saveWholeGraph();
            QVERIFY(copy.loadWholeGraph(block));
        }
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
