#include <QApplication>

#include "common/TestMain.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphEnvelopeGraph.h"
#include "graph/PESGraphTestData.h"

#include <QImage>
#include <QPainter>
#include <QSignalSpy>
#include <algorithm>
#include <map>
#include <qcustomplot.h>

using namespace PESGraphTestData;

namespace {
// A steady level with single-sample peaks and dips, as noise gives.
float levelWithPeaks(int i)
{
    if (i % 997 == 500)
        return 120.0f;
    if (i % 1499 == 700)
        return 35.0f;
    return float(60.0 + 3.0 * std::sin(i / 50.0) + (i % 7) * 0.1);
}

bool isLineColour(QRgb pixel)
{
    return qRed(pixel) > 150 && qGreen(pixel) < 110 && qBlue(pixel) < 110;
}

// The line passes within a pixel of `at` (PESGraph pixels; antialiasing
// spreads a line at a fractional X over two columns).
bool lineNear(const QImage& image, const QPointF& at)
{
    const int column = int(std::floor(at.x()));
    const int row = int(std::lround(at.y()));
    for (int dx = -1; dx <= 1; ++dx)
        for (int dy = -1; dy <= 1; ++dy)
            if (isLineColour(image.pixel(column + dx, row + dy)))
                return true;
    return false;
}
} // namespace

class TestEnvelopeGraph : public QObject
{
    Q_OBJECT

private:
    static PESGraphEnvelopeGraph* lineOf(PESGraph& graph)
    {
        return dynamic_cast<PESGraphEnvelopeGraph*>(graph.findChild<QCustomPlot*>()->graph(0));
    }

    // A recording's chart: `points` points of which the first `filled` hold samples.
    static void record(PESGraph& graph, int points, int filled)
    {
        graph.setDefaultLook();
        graph.setSubsetColor(0, Qt::red);
        graph.setPoints(points);
        graph.setManualScaleControlY(PESManualScale::MinMax);
        graph.setManualMinY(30);
        graph.setManualMaxY(130);
        graph.setManualScaleControlX(PESManualScale::MinMax);
        graph.setManualMinX(kStartDay);
        graph.setManualMaxX(kStartDay + points * kSecond);
        for (int i = 0; i < filled; ++i) {
            graph.setXDataII(0, i, kStartDay + i * kSecond);
            graph.setYData(0, i, levelWithPeaks(i));
        }
        graph.reinitialize();
        graph.redraw();
    }

    static QImage picture(PESGraph& graph)
    {
        graph.redraw();
        graph.findChild<QCustomPlot*>()->replot(QCustomPlot::rpImmediateRefresh);
        return graph.grab().toImage();
    }

private slots:
    // On screen every pixel column shows its lowest and highest level, and
    // the picture kept up point by point is the one drawn afresh.
    void chartShowsEachColumnsExtremes_data()
    {
        QTest::addColumn<int>("appended");
        QTest::addColumn<int>("width");
        QTest::addColumn<bool>("zoomed");
        QTest::newRow("recording, full width") << 3000 << 900 << false;
        QTest::newRow("recording, then a narrower chart") << 3000 << 640 << false;
        QTest::newRow("recording, then zoomed") << 3000 << 900 << true;
    }

    void chartShowsEachColumnsExtremes()
    {
        QFETCH(int, appended);
        QFETCH(int, width);
        QFETCH(bool, zoomed);
        const int points = 40000;
        const int filled = points - 200;
        PESGraph growing;
        growing.resize(900, 560);
        record(growing, points, filled - appended);
        growing.show();
        QVERIFY(QTest::qWaitForWindowExposed(&growing));
        for (int i = filled - appended; i < filled; ++i) {
            growing.setXDataII(0, i, kStartDay + i * kSecond);
            growing.setYData(0, i, levelWithPeaks(i));
            if (i % 100 == 0)
                picture(growing);
        }
        growing.resize(width, 560);
        const double zoomFrom = kStartDay + 9000 * kSecond;
        const double zoomTo = kStartDay + 31000 * kSecond;
        if (zoomed)
            growing.zoomTo(zoomFrom, zoomTo, 30, 130);
        const QImage shown = picture(growing);
        QVERIFY(lineOf(growing)->lastLineFromEnvelope());
        QVERIFY(lineOf(growing)->lastLineEntries() < 5 * width);

        const QRect plot = growing.plottingRect();
        std::map<int, std::pair<float, float>> extremes;
        for (int i = 0; i < filled; ++i) {
            const QPointF at = growing.valueToPixel(growing.xDataII(0, i), 0);
            const int column = int(std::floor(at.x()));
            if (column <= plot.left() || column >= plot.right()) // under the frame
                continue;
            const float y = growing.yData(0, i);
            auto [it, fresh] = extremes.try_emplace(column, y, y);
            it->second = {std::min(it->second.first, y), std::max(it->second.second, y)};
        }
        QVERIFY(extremes.size() > size_t(plot.width() / 2));
        const auto drawnNear = [&](int column, float level) {
            return lineNear(shown, QPointF(column, growing.valueToPixel(kStartDay, level).y()));
        };
        for (const auto& [column, range] : extremes) {
            QVERIFY2(drawnNear(column, range.first), qPrintable(QString::number(column)));
            QVERIFY2(drawnNear(column, range.second), qPrintable(QString::number(column)));
        }

        PESGraph atOnce;
        atOnce.resize(width, 560);
        record(atOnce, points, filled);
        atOnce.show();
        QVERIFY(QTest::qWaitForWindowExposed(&atOnce));
        if (zoomed)
            atOnce.zoomTo(zoomFrom, zoomTo, 30, 130);
        QCOMPARE(picture(atOnce), shown);
    }

    // A recording's new samples reach the screen without the chart being
    // drawn again; anything else draws it again.
    void newSamplesAreAddedToTheShownChart()
    {
        PESGraph graph;
        graph.resize(900, 560);
        record(graph, 20000, 15000);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        picture(graph);
        QSignalSpy replots(graph.findChild<QCustomPlot*>(), &QCustomPlot::afterReplot);
        for (int i = 15000; i < 15300; ++i) {
            graph.setXDataII(0, i, kStartDay + i * kSecond);
            graph.setYData(0, i, i == 15200 ? 125.0f : levelWithPeaks(i));
            graph.redraw();
        }
        QApplication::processEvents();
        QImage shown = graph.grab().toImage();
        QCOMPARE(replots.size(), 0);
        QVERIFY(lineNear(shown, graph.valueToPixel(graph.xDataII(0, 15200), 125.0)));
        QVERIFY(
            lineNear(shown, graph.valueToPixel(graph.xDataII(0, 15299), graph.yData(0, 15299))));

        graph.setYData(0, 10000, 125.0f); // a level changed in place
        graph.redraw();
        QCOMPARE(replots.size(), 1);
        shown = graph.grab().toImage();
        QVERIFY(lineNear(shown, graph.valueToPixel(graph.xDataII(0, 10000), 125.0)));
        graph.setVertLineAnnotation(0, kStartDay + 100 * kSecond);
        graph.redraw();
        QCOMPARE(replots.size(), 2);

        // A printer resolves finer than the screen's columns: the plot's own line.
        QVERIFY(lineOf(graph)->lastLineFromEnvelope());
        QImage page(1800, 1120, QImage::Format_ARGB32);
        QPainter painter(&page);
        graph.render(painter, QRectF(page.rect()));
        QVERIFY(!lineOf(graph)->lastLineFromEnvelope());
    }

    // A lone first sample shows as a dot, which goes when the second comes.
    void theFirstSamplesDotGoesWithTheSecond()
    {
        PESGraph graph;
        graph.resize(900, 560);
        record(graph, 200, 1);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        const QPointF dot = graph.valueToPixel(kStartDay, levelWithPeaks(0)) + QPointF(3, -4);
        QVERIFY(isLineColour(picture(graph).pixel(dot.toPoint())));
        graph.setXDataII(0, 1, kStartDay + kSecond);
        graph.setYData(0, 1, levelWithPeaks(0));
        graph.redraw();
        QApplication::processEvents();
        QVERIFY(!isLineColour(graph.grab().toImage().pixel(dot.toPoint())));
    }
};

AUDIMARK_TEST_MAIN_GUI(TestEnvelopeGraph)
#include "tst_envelopegraph.moc"
