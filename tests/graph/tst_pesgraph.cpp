#include <QApplication>

#include "common/TestMain.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphCustomizeDialog.h"
#include "graph/PESGraphDateTimeTicker.h"
#include "graph/PESGraphOverlay.h"
#include "graph/PESGraphSeriesMirror.h"
#include "graph/PESGraphTestData.h"
#include "graph/PESGraphTime.h"

#include <QCheckBox>
#include <QFontMetrics>
#include <QLineEdit>
#include <QPainter>
#include <QPrinter>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTimer>
#include <qcustomplot.h>

#include <algorithm>
#include <cmath>
#include <utility>

using namespace PESGraphTestData;

class TestPESGraph : public QObject
{
    Q_OBJECT

private:
    static QWidget* plotOf(PESGraph& graph) { return graph.findChild<QCustomPlot*>(); }

    static void showChart(PESGraph& graph, int count)
    {
        graph.resize(900, 560);
        prepare(graph, count);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        graph.redraw();
    }

    // The time axis as last laid out: each label's box (centred on its
    // tick, as wide as its widest line) clears the next; with time labels,
    // the first label inside the chart carries the date line (or the
    // second, where the date would stick out of the chart at the first),
    // and later labels only where the day changes.
    static void expectTimeLabelsApart(QCustomPlot& plot, bool timeLabels)
    {
        const QCPAxis* axis = plot.xAxis;
        const QVector<double> ticks = axis->tickVector();
        const QVector<QString> labels = axis->tickVectorLabels();
        QVERIFY(!ticks.isEmpty());
        QCOMPARE(labels.size(), ticks.size());
        const QString all = labels.toList().join(QLatin1Char('|'));
        const QFontMetrics metrics(axis->tickLabelFont());
        const auto dayOf = [](double key) {
            return QDateTime::fromSecsSinceEpoch(qint64(std::floor(key)), Qt::UTC).date();
        };
        double previousRight = -1e9;
        QDate shown;
        int undatedInside = 0;
        for (qsizetype i = 0; i < ticks.size(); ++i) {
            int width = 0;
            for (const QString& line : labels.at(i).split(QLatin1Char('\n')))
                width = std::max(width, metrics.horizontalAdvance(line));
            const double centre = axis->coordToPixel(ticks.at(i));
            QVERIFY2(centre - width / 2.0 >= previousRight, qPrintable(all));
            previousRight = centre + width / 2.0;
            if (!timeLabels)
                continue;
            const bool inside = centre - width / 2.0 >= 0 && previousRight <= plot.width();
            const bool dated = labels.at(i).contains(QLatin1Char('\n'));
            if (inside && !dated && !shown.isValid())
                QVERIFY2(++undatedInside < 2, qPrintable(all));
            if (dated) {
                QVERIFY2(dayOf(ticks.at(i)) != shown, qPrintable(all));
                shown = dayOf(ticks.at(i));
            } else if (shown.isValid()) {
                QVERIFY2(dayOf(ticks.at(i)) == shown, qPrintable(all));
            }
        }
    }

    static void timeLabelRows()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<double>("spanSeconds");
        const std::pair<const char*, double> spans[] = {{"2 s", 2.0},
                                                        {"90 s", 90.0},
                                                        {"5 h", 5 * 3600.0},
                                                        {"3 days", 3 * 86400.0},
                                                        {"40 days", 40 * 86400.0}};
        for (int width : {300, 600, 1200})
            for (const auto& [name, span] : spans)
                QTest::addRow("%d px, %s", width, name) << width << span;
    }

    static void spanChart(PESGraph& graph, double spanSeconds)
    {
        prepare(graph, 200);
        // From 21:00, so that the longer spans cross midnight.
        graph.setManualMinX(kStartDay + 0.375);
        graph.setManualMaxX(kStartDay + 0.375 + spanSeconds * kSecond);
        graph.reinitialize();
    }

    static void drag(QWidget* widget, QPoint from, QPoint to)
    {
        QTest::mousePress(widget, Qt::LeftButton, {}, from);
        const int steps = 5;
        for (int i = 1; i <= steps; ++i)
            QTest::mouseMove(widget, from + (to - from) * i / steps);
        QTest::mouseRelease(widget, Qt::LeftButton, {}, to);
    }

private slots:
    // ---- Series ----------------------------------------------------------

    void blockSetsFillSubsetZeroFromPointZero()
    {
        PESGraph graph;
        graph.setPoints(10);
        const std::vector<double> x = {40282.5, 40282.6, 40282.7};
        const std::vector<float> y = {65.27f, 70.0f, 31.5f};
        graph.setXDataBlock(x.data(), 3);
        graph.setYDataBlock(y.data(), 3);
        QCOMPARE(graph.points(), 10);
        QCOMPARE(graph.xDataII(0, 0), 40282.5);
        QCOMPARE(graph.xDataII(0, 2), 40282.7);
        QCOMPARE(graph.yData(0, 0), 65.27f);
        QCOMPARE(graph.yData(0, 2), 31.5f);
        QCOMPARE(graph.xDataII(0, 3), 0.0);
        QCOMPARE(graph.yData(0, 9), 0.0f);
    }

    void blockLongerThanSeriesGrowsIt()
    {
        PESGraph graph;
        graph.setPoints(2);
        const auto x = times(5);
        graph.setXDataBlock(x.data(), 5);
        QCOMPARE(graph.points(), 5);
        QCOMPARE(graph.xDataII(0, 4), x[4]);
    }

    void pointWritesAndReads()
    {
        PESGraph graph;
        graph.setSubsets(2);
        graph.setPoints(4);
        graph.setXDataII(1, 3, 40000.25);
        graph.setYData(1, 3, 99.9f);
        QCOMPARE(graph.xDataII(1, 3), 40000.25);
        QCOMPARE(graph.yData(1, 3), 99.9f);
        QCOMPARE(graph.yData(0, 3), 0.0f);
    }

    void outOfRangeAccessIsHarmless()
    {
        PESGraph graph;
        graph.setPoints(3);
        graph.setYData(0, 3, 1.0f);
        graph.setYData(0, -2, 1.0f);
        graph.setYData(5, 0, 1.0f);
        QCOMPARE(graph.points(), 3);
        QCOMPARE(graph.yData(0, 3), 0.0f);
        QCOMPARE(graph.yData(5, 0), 0.0f);
        QCOMPARE(graph.xDataII(0, -1), 0.0);
    }

    void writingAtPointMinusOneClearsTheSeries()
    {
        PESGraph graph;
        prepare(graph, 100);
        graph.setYData(0, -1, 0.0f);
        QCOMPARE(graph.points(), 100);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(graph.yData(0, i), 0.0f);
        QCOMPARE(graph.xDataII(0, 50), kStartDay + 50 * kSecond);
        graph.setXDataII(0, -1, 0.0);
        for (int i = 0; i < 100; ++i)
            QCOMPARE(graph.xDataII(0, i), 0.0);
    }

    void appendPointGrowsEverySeries()
    {
        PESGraph graph;
        graph.setSubsets(2);
        graph.appendPoint(40282.5, 61.0f);
        graph.appendPoint(40282.6, 62.0f);
        QCOMPARE(graph.points(), 2);
        QCOMPARE(graph.yData(0, 1), 62.0f);
        QCOMPARE(graph.xDataII(1, 1), 0.0);
    }

    // The plot's container must always hold exactly the valid points, in
    // key order, whatever order of writes led there.
    void mirrorFollowsEveryKindOfWrite()
    {
        QCustomPlot plot;
        PESGraphSeriesMirror mirror(plot.addGraph());
        PESGraphSeries series;
        const int points = 300;
        series.x.assign(points, 0.0);
        series.y.assign(points, 0.0f);
        const auto keyOf = [](double x) { return x; };
        auto* random = QRandomGenerator::global();
        int filled = 0;
        for (int round = 0; round < 400; ++round) {
            const int kind = random->bounded(10);
            if (kind < 6 && filled < points) { // recording: next point
                series.x[size_t(filled)] = 1000.0 + filled;
                series.y[size_t(filled)] = float(filled);
                mirror.markPointChanged(filled++);
            } else if (kind < 8 && filled > 0) { // a level changes in place
                const int i = random->bounded(filled);
                series.y[size_t(i)] = float(random->bounded(100));
                mirror.markPointChanged(i);
            } else if (kind == 8 && filled > 0) { // a time out of order, or a hole
                const int i = random->bounded(filled);
                series.x[size_t(i)] = random->bounded(2) ? 0.0 : 900.0 + random->bounded(500);
                mirror.markPointChanged(i);
            } else if (kind == 9 && round % 50 == 0) { // the series is cleared
                std::fill(series.x.begin(), series.x.end(), 0.0);
                filled = 0;
                mirror.markAllChanged();
            }
            mirror.sync(series, points, keyOf);

            std::vector<std::pair<double, int>> expected;
            for (int i = 0; i < points; ++i)
                if (series.x[size_t(i)] != 0.0)
                    expected.emplace_back(series.x[size_t(i)], i);
            std::stable_sort(expected.begin(), expected.end(),
                             [](const auto& a, const auto& b) { return a.first < b.first; });
            const QCPGraphDataContainer& data = *mirror.graph()->data();
            QCOMPARE(data.size(), int(expected.size()));
            for (int e = 0; e < data.size(); ++e) {
                const int point = mirror.pointOfEntry(e);
                QCOMPARE(point, expected[size_t(e)].second);
                QCOMPARE(data.at(e)->key, series.x[size_t(point)]);
                QCOMPARE(data.at(e)->value, double(series.y[size_t(point)]));
            }
        }
    }

    // ---- Time axis ----------------------------------------------------------

    void dateTimeKeysAreWallClockSeconds()
    {
        QCOMPARE(PESGraphTime::daysToKey(25569.0), 0.0);
        QCOMPARE(PESGraphTime::daysToKey(25569.5), 43200.0);
        QCOMPARE(PESGraphTime::keyToDays(PESGraphTime::daysToKey(kStartDay)), kStartDay);
    }

    void tickLabelsShowLocalWallClockAtEveryZoom_data()
    {
        QTest::addColumn<double>("spanSeconds");
        QTest::addColumn<QString>("expected");
        QTest::newRow("two seconds") << 2.0 << QStringLiteral("12:00:00.");
        QTest::newRow("one minute") << 60.0 << QStringLiteral("12:00:10");
        QTest::newRow("one hour") << 3600.0 << QStringLiteral("12:10");
        QTest::newRow("one day") << 86400.0 << QStringLiteral("18:00");
        QTest::newRow("ten days") << 864000.0
                                  << QLocale().toString(QDate(2010, 4, 17), QLocale::ShortFormat);
    }

    void tickLabelsShowLocalWallClockAtEveryZoom()
    {
        QFETCH(double, spanSeconds);
        QFETCH(QString, expected);
        // A zone far from UTC: the labels must not shift with it.
        qputenv("TZ", "Asia/Tokyo");
        PESGraphDateTimeTicker ticker;
        const double start = PESGraphTime::daysToKey(kStartDay);
        QVector<double> ticks;
        QVector<QString> labels;
        ticker.generate(QCPRange(start, start + spanSeconds), QLocale(), 'g', 6, ticks, nullptr,
                        &labels);
        qunsetenv("TZ");
        QVERIFY(labels.size() >= 2);
        const QString all = labels.toList().join(QLatin1Char('|'));
        QVERIFY2(all.contains(expected), qPrintable(all));
    }

    void timeLabelsKeepApartAtAnyWidth_data() { timeLabelRows(); }

    void timeLabelsKeepApartAtAnyWidth()
    {
        QFETCH(int, width);
        QFETCH(double, spanSeconds);
        PESGraph graph;
        graph.resize(width, 300);
        spanChart(graph, spanSeconds);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        graph.redraw();
        auto* plot = graph.findChild<QCustomPlot*>();
        plot->replot();
        expectTimeLabelsApart(*plot, spanSeconds < 86400.0);
    }

    // On paper (the noise report, printing) the chart is laid out at the
    // drawing's size, never shown.
    void timeLabelsKeepApartOnPaper_data() { timeLabelRows(); }

    void timeLabelsKeepApartOnPaper()
    {
        QFETCH(int, width);
        QFETCH(double, spanSeconds);
        PESGraph graph;
        graph.setAttribute(Qt::WA_DontShowOnScreen);
        graph.resize(width, 300);
        spanChart(graph, spanSeconds);
        graph.show(); // never on screen: lays the chart out at its size
        QImage page(width, 300, QImage::Format_RGB32);
        QPainter painter(&page);
        graph.render(painter, QRectF(0, 0, width, 300));
        painter.end();
        expectTimeLabelsApart(*graph.findChild<QCustomPlot*>(), spanSeconds < 86400.0);
    }

    // Room enough: as many ticks as asked for.
    void wideAxisKeepsSixTicks()
    {
        PESGraph graph;
        graph.resize(1200, 300);
        spanChart(graph, 3600.0);
        graph.show();
        QVERIFY(QTest::qWaitForWindowExposed(&graph));
        graph.redraw();
        auto* plot = graph.findChild<QCustomPlot*>();
        plot->replot();
        QVERIFY2(plot->xAxis->tickVector().size() >= 6,
                 qPrintable(QString::number(plot->xAxis->tickVector().size())));
    }

    // ---- Geometry -----------------------------------------------------------

    void pixelAndValueConvertBothWays_data()
    {
        QTest::addColumn<QPointF>("fraction");
        QTest::newRow("top left") << QPointF(0, 0);
        QTest::newRow("bottom right") << QPointF(1, 1);
        QTest::newRow("centre") << QPointF(0.5, 0.5);
        QTest::newRow("near the right edge") << QPointF(0.97, 0.2);
    }

    void pixelAndValueConvertBothWays()
    {
        QFETCH(QPointF, fraction);
        PESGraph graph;
        showChart(graph, 2000);
        const QRect area = graph.plottingRect();
        QVERIFY(area.width() > 300);
        QVERIFY(area.height() > 200);
        const QPointF pixel(area.left() + fraction.x() * area.width(),
                            area.top() + fraction.y() * area.height());
        const QPointF value = graph.pixelToValue(pixel);
        const QPointF back = graph.valueToPixel(value.x(), value.y());
        QVERIFY(std::abs(back.x() - pixel.x()) <= 1.0);
        QVERIFY(std::abs(back.y() - pixel.y()) <= 1.0);
        // The plotting rectangle spans the fixed scales.
        const QPointF left = graph.pixelToValue(QPointF(area.left(), area.bottom() + 1));
        QVERIFY(std::abs(left.x() - kStartDay) < 2 * kSecond);
        QVERIFY(std::abs(left.y() - 30.0) < 0.5);
    }

    void lastMousePositionFollowsTheMouse()
    {
        PESGraph graph;
        showChart(graph, 100);
        QSignalSpy moved(&graph, &PESGraph::mouseMoved);
        QVERIFY(moved.isValid());
        const QPoint pos = graph.plottingRect().center();
        QTest::mouseMove(plotOf(graph), pos);
        QTRY_VERIFY(moved.count() >= 1);
        QCOMPARE(graph.lastMousePosition(), pos);
        QCOMPARE(moved.last().at(0).toPoint(), pos);
    }

    // ---- Zoom ---------------------------------------------------------------

    void rubberBandZoomsAndUndoRestores()
    {
        PESGraph graph;
        showChart(graph, 2000);
        const QPointF xBefore = graph.visibleRangeX();
        const QPointF yBefore = graph.visibleRangeY();
        QSignalSpy zoomed(&graph, &PESGraph::zoomedIn);
        QVERIFY(zoomed.isValid());
        QVERIFY(!graph.isZoomed());

        const QRect area = graph.plottingRect();
        const QPoint from(area.left() + area.width() / 4, area.top() + area.height() / 4);
        const QPoint to(area.left() + area.width() / 2, area.top() + area.height() / 2);
        const QPointF expectedFrom = graph.pixelToValue(from);
        const QPointF expectedTo = graph.pixelToValue(to);
        drag(plotOf(graph), from, to);

        QCOMPARE(zoomed.count(), 1);
        QVERIFY(graph.isZoomed());
        const QPointF x = graph.visibleRangeX();
        const QPointF y = graph.visibleRangeY();
        const double pixelX = (xBefore.y() - xBefore.x()) / area.width();
        const double pixelY = (yBefore.y() - yBefore.x()) / area.height();
        QVERIFY(std::abs(x.x() - expectedFrom.x()) <= 2 * pixelX);
        QVERIFY(std::abs(x.y() - expectedTo.x()) <= 2 * pixelX);
        QVERIFY(std::abs(y.y() - expectedFrom.y()) <= 2 * pixelY);
        QVERIFY(std::abs(y.x() - expectedTo.y()) <= 2 * pixelY);

        graph.PEactions(PESGraph::ActionUndoZoom);
        QVERIFY(!graph.isZoomed());
        QCOMPARE(graph.visibleRangeX(), xBefore);
        QCOMPARE(graph.visibleRangeY(), yBefore);
    }

    void clickWithoutDragDoesNotZoom()
    {
        PESGraph graph;
        showChart(graph, 500);
        QSignalSpy zoomed(&graph, &PESGraph::zoomedIn);
        QSignalSpy clicked(&graph, &PESGraph::clicked);
        const QPoint pos = graph.plottingRect().center();
        QTest::mouseClick(plotOf(graph), Qt::LeftButton, {}, pos);
        QCOMPARE(zoomed.count(), 0);
        QCOMPARE(clicked.count(), 1);
        QCOMPARE(clicked.first().at(0).toPoint(), pos);
        QVERIFY(!graph.isZoomed());
    }

    void zoomingSwitchedOffDrawsNoBand()
    {
        PESGraph graph;
        showChart(graph, 500);
        graph.setAllowZooming(PESZoomMode::None);
        graph.reinitialize();
        QSignalSpy zoomed(&graph, &PESGraph::zoomedIn);
        const QRect area = graph.plottingRect();
        drag(plotOf(graph), area.center() - QPoint(100, 50), area.center());
        QCOMPARE(zoomed.count(), 0);
        QVERIFY(!graph.isZoomed());
    }

    void reinitializeWhileZoomedKeepsTheView()
    {
        PESGraph graph;
        showChart(graph, 1000);
        graph.zoomTo(kStartDay + 100 * kSecond, kStartDay + 200 * kSecond, 50, 90);
        const QPointF zoomedX = graph.visibleRangeX();
        graph.setManualMaxY(140);
        graph.reinitialize();
        graph.redraw();
        QCOMPARE(graph.visibleRangeX(), zoomedX);
        graph.undoZoom();
        QCOMPARE(graph.visibleRangeY(), QPointF(30, 140));
    }

    // ---- Hot spots ------------------------------------------------------------

    void pressNearADataPointReportsIt()
    {
        PESGraph graph;
        showChart(graph, 200);
        graph.setAllowDataHotSpots(true);
        QSignalSpy spy(&graph, &PESGraph::dataHotSpot);
        QVERIFY(spy.isValid());
        const int point = 120;
        const QPointF at = graph.valueToPixel(graph.xDataII(0, point), graph.yData(0, point));
        QTest::mouseClick(plotOf(graph), Qt::LeftButton, {}, at.toPoint() + QPoint(1, 2));
        QCOMPARE(spy.count(), 1);
        QCOMPARE(spy.first().at(0).toInt(), 0);
        // Neighbouring points are 4 pixels apart: the nearest one is reported.
        QVERIFY(std::abs(spy.first().at(1).toInt() - point) <= 1);
    }

    void dataHotSpotsOffReportNothing()
    {
        PESGraph graph;
        showChart(graph, 200);
        graph.setAllowDataHotSpots(false);
        QSignalSpy spy(&graph, &PESGraph::dataHotSpot);
        const QPointF at = graph.valueToPixel(graph.xDataII(0, 50), graph.yData(0, 50));
        QTest::mouseClick(plotOf(graph), Qt::LeftButton, {}, at.toPoint());
        QCOMPARE(spy.count(), 0);
    }

    void pressOnCursorLineAndAnnotationReportsThem()
    {
        PESGraph graph;
        showChart(graph, 200);
        graph.setAllowGraphAnnotHotSpots(true);
        graph.setVertLineAnnotation(1, kStartDay + 150 * kSecond);
        graph.setVertLineAnnotationText(1, QStringLiteral("|tB"));
        graph.setGraphAnnotation(
            7, {kStartDay + 40 * kSecond, 110.0, PESAnnotationType::Cross, QString(), QColor()});
        graph.redraw();
        QSignalSpy lines(&graph, &PESGraph::vertLineHotSpot);
        QSignalSpy annotations(&graph, &PESGraph::graphAnnotationHotSpot);
        const QPointF line = graph.valueToPixel(kStartDay + 150 * kSecond, 40.0);
        QTest::mouseClick(plotOf(graph), Qt::LeftButton, {}, line.toPoint() + QPoint(2, 0));
        QCOMPARE(lines.count(), 1);
        QCOMPARE(lines.first().at(0).toInt(), 1);
        const QPointF cross = graph.valueToPixel(kStartDay + 40 * kSecond, 110.0);
        QTest::mouseClick(plotOf(graph), Qt::LeftButton, {}, cross.toPoint());
        QCOMPARE(annotations.count(), 1);
        QCOMPARE(annotations.first().at(0).toInt(), 7);
    }

    void lineTextMarkerIsNotDrawn_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<bool>("bottom");
        QTest::newRow("top marker") << "|t12:00:01\n65.3dB"
                                    << "12:00:01\n65.3dB" << false;
        QTest::newRow("bottom marker") << "|bB"
                                       << "B" << true;
        QTest::newRow("no marker, CR breaks") << "a\rb\r\nc"
                                              << "a\nb\nc" << false;
    }

    void lineTextMarkerIsNotDrawn()
    {
        QFETCH(QString, text);
        QFETCH(QString, shown);
        QFETCH(bool, bottom);
        bool atBottom = !bottom;
        QCOMPARE(PESGraphOverlay::displayText(text, &atBottom), shown);
        QCOMPARE(atBottom, bottom);
    }

    // ---- What the chart shows ---------------------------------------------------

    void defaultLookIsDrawn()
    {
        PESGraph graph;
        showChart(graph, 2000);
        graph.setVertLineAnnotation(0, kStartDay + 500 * kSecond);
        graph.setVertLineAnnotation(1, kStartDay + 1500 * kSecond);
        graph.redraw();
        const QImage image = graph.grab().toImage();
        const QRect area = graph.plottingRect();
        QCOMPARE(QColor(image.pixel(3, 3)), QColor(0xC0, 0xC0, 0xC0));
        // Series 0 yellow somewhere on the plot, the plot area black.
        int yellow = 0, black = 0;
        for (int x = area.left() + 2; x < area.right() - 2; x += 3) {
            for (int y = area.top() + 2; y < area.bottom() - 2; ++y) {
                const QColor c = image.pixel(x, y);
                yellow += c.red() > 200 && c.green() > 200 && c.blue() < 80;
                black += c == QColor(Qt::black);
            }
        }
        QVERIFY(yellow > 200);
        QVERIFY(black > area.width() * area.height() / 6);
        // Cursor A blue, cursor B red, through the lower half of the plot.
        const int ax = int(std::lround(graph.valueToPixel(kStartDay + 500 * kSecond, 0).x()));
        const int bx = int(std::lround(graph.valueToPixel(kStartDay + 1500 * kSecond, 0).x()));
        const int y = area.bottom() - 5;
        const auto near = [&](int x, auto test) {
            for (int dx = -1; dx <= 1; ++dx)
                if (test(QColor(image.pixel(x + dx, y))))
                    return true;
            return false;
        };
        QVERIFY(near(ax, [](QColor c) { return c.blue() > 150 && c.red() < 80; }));
        QVERIFY(near(bx, [](QColor c) { return c.red() > 150 && c.blue() < 80; }));
    }

    void defaultLookValues()
    {
        PESGraph graph;
        graph.setDefaultLook();
        const PESGraphLook& look = graph.look();
        QCOMPARE(look.graphBackColor, QColor(Qt::black));
        QCOMPARE(look.graphForeColor, QColor(0, 128, 0));
        QCOMPARE(look.deskColor, QColor(192, 192, 192));
        QCOMPARE(look.subsetColor(0), QColor(255, 255, 0));
        QCOMPARE(look.subsetColor(1), QColor(255, 0, 0));
        QCOMPARE(look.xAxisLabel, QStringLiteral("Time"));
        QCOMPARE(look.allowZooming, PESZoomMode::Both);
        QCOMPARE(graph.vertLineAnnotationColor(0), QColor(0, 0, 255));
        QCOMPARE(graph.vertLineAnnotationColor(1), QColor(255, 0, 0));
        QCOMPARE(colorFromBgr(0x0000FF), QColor(255, 0, 0));
    }

    // ---- Customisation dialog --------------------------------------------------------

    void dialogShowsOnlyEnabledPages()
    {
        PESGraphCustomizeDialog all(PESGraphLook::programDefault(), {}, 1,
                                    {PESCustomizePage::General, PESCustomizePage::Style,
                                     PESCustomizePage::Colors, PESCustomizePage::Subsets,
                                     PESCustomizePage::Fonts, PESCustomizePage::Axis});
        QCOMPARE(all.pageTitles().size(), 6);
        PESGraphCustomizeDialog some(PESGraphLook::programDefault(), {}, 1,
                                     {PESCustomizePage::Colors, PESCustomizePage::Axis});
        QCOMPARE(some.pageTitles(), QStringList({"Colors", "Axis"}));
    }

    void untouchedDialogChangesNothing()
    {
        const PESGraphLook look = PESGraphLook::programDefault();
        const PESGraphScale scale{PESManualScale::Min, 30, 130};
        PESGraphCustomizeDialog dialog(look, scale, 2,
                                       {PESCustomizePage::General, PESCustomizePage::Style,
                                        PESCustomizePage::Colors, PESCustomizePage::Subsets,
                                        PESCustomizePage::Fonts, PESCustomizePage::Axis});
        QCOMPARE(dialog.look(), look);
        QCOMPARE(dialog.scaleY(), scale);
    }

    void customizeAppliesTheEditedLook()
    {
        PESGraph graph;
        showChart(graph, 100);
        graph.setAllowSubsetsPage(false);
        graph.setCustomizePageEnabled(PESCustomizePage::Fonts, false);
        QSignalSpy closed(&graph, &PESGraph::customizeDialogClosed);
        QStringList pagesSeen;
        QTimer::singleShot(0, this, [&] {
            auto* dialog =
                qobject_cast<PESGraphCustomizeDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            pagesSeen = dialog->pageTitles();
            dialog->findChild<QLineEdit*>(QStringLiteral("mainTitle"))->setText("Hall 3");
            dialog->findChild<QCheckBox*>(QStringLiteral("manualY"))->setChecked(true);
            dialog->accept();
        });
        graph.PEactions(PESGraph::ActionCustomize);
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().at(0).toBool(), true);
        QVERIFY(!pagesSeen.contains("Subsets"));
        QVERIFY(!pagesSeen.contains("Fonts"));
        QVERIFY(pagesSeen.contains("Colors"));
        QCOMPARE(graph.look().mainTitle, QStringLiteral("Hall 3"));
        QCOMPARE(graph.look().graphBackColor, QColor(Qt::black));
    }

    void cancelledCustomizeKeepsTheLook()
    {
        PESGraph graph;
        prepare(graph, 10);
        const PESGraphLook before = graph.look();
        QSignalSpy closed(&graph, &PESGraph::customizeDialogClosed);
        QTimer::singleShot(0, this, [&] {
            auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget());
            QVERIFY(dialog);
            dialog->findChild<QLineEdit*>(QStringLiteral("mainTitle"))->setText("nope");
            dialog->reject();
        });
        QVERIFY(!graph.customize());
        QCOMPARE(closed.count(), 1);
        QCOMPARE(closed.first().at(0).toBool(), false);
        QCOMPARE(graph.look(), before);
    }

    // ---- Printing -------------------------------------------------------------------

    void printToPdfWritesAFile()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("chart.pdf"));
        PESGraph graph;
        showChart(graph, 2000);
        QPrinter printer(QPrinter::HighResolution);
        printer.setOutputFormat(QPrinter::PdfFormat);
        printer.setOutputFileName(path);
        const int resolution = printer.resolution();
        QVERIFY(graph.print(printer));
        QCOMPARE(printer.resolution(), resolution);
        QFile file(path);
        QVERIFY(file.open(QIODevice::ReadOnly));
        const QByteArray pdf = file.readAll();
        QVERIFY(pdf.startsWith("%PDF"));
        QVERIFY(pdf.size() > 5000);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestPESGraph)
#include "tst_pesgraph.moc"
