#include "files/windows/NoiseReportPrinter.h"

#include "data/AnnotationSlots.h"
#include "data/GraphTexts.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"
#include "logger/OutputFile.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <algorithm>

namespace NoiseReportPrinter {

namespace {
// The page is laid out in pixels of a screen-like 96 dpi, the resolution
// the chart's fonts and layout are made for.
constexpr int kResolution = 96;
constexpr double kMarginMm = 14.0;
constexpr double kGap = 10.0;
constexpr double kSecondsPerDay = 86400.0;

const QColor kSpanShade(255, 170, 0, 60);
const QColor kRule(150, 150, 150);
const QColor kHeadingBack(230, 234, 242);

QFont pageFont(double points, bool bold = false)
{
    QFont font(QStringLiteral("DejaVu Sans"));
    font.setStyleHint(QFont::SansSerif);
    font.setPointSizeF(points);
    font.setBold(bold);
    return font;
}

void drawCut(QPainter& painter, const QRectF& box, int flags, const QString& text)
{
    const QFontMetricsF metrics(painter.font(), painter.device());
    painter.drawText(box, flags | Qt::TextSingleLine,
                     metrics.elidedText(text, Qt::ElideRight, box.width()));
}

// Title, then the set's facts in two columns; returns the height used.
double drawHeader(QPainter& painter, const QRectF& area, const NoiseReport& report)
{
    painter.setFont(pageFont(17, true));
    const double titleHeight = QFontMetricsF(painter.font(), painter.device()).height();
    drawCut(painter, QRectF(area.left(), area.top(), area.width(), titleHeight),
            Qt::AlignLeft | Qt::AlignVCenter, report.title);

    const QList<std::pair<QString, QString>> facts = {
        {QStringLiteral("Meter"), report.meterModel.isEmpty() ? QStringLiteral("QV58M")
                                                              : report.meterModel},
        {QStringLiteral("Weighting"), report.weighting},
        {QStringLiteral("Start"), report.startTime},
        {QStringLiteral("End"), report.endTime},
        {QStringLiteral("Interval"),
         report.interval.isEmpty() ? QString() : report.interval + QStringLiteral(" s")},
        {QStringLiteral("Points"), report.whole.dataNo},
    };
    painter.setFont(pageFont(9.5));
    const double line = QFontMetricsF(painter.font(), painter.device()).height() * 1.25;
    const double column = area.width() / 2;
    const double label = 72;
    double y = area.top() + titleHeight + 6;
    for (qsizetype i = 0; i < facts.size(); ++i) {
        const double x = area.left() + (i % 2) * column;
        const double rowY = y + double(i / 2) * line;
        painter.setPen(Qt::darkGray);
        drawCut(painter, QRectF(x, rowY, label, line), Qt::AlignLeft | Qt::AlignVCenter,
                facts.at(i).first);
        painter.setPen(Qt::black);
        drawCut(painter, QRectF(x + label, rowY, column - label - 8, line),
                Qt::AlignLeft | Qt::AlignVCenter, facts.at(i).second);
    }
    y += double((facts.size() + 1) / 2) * line;
    painter.setPen(QPen(kRule, 1));
    painter.drawLine(QPointF(area.left(), y + 3), QPointF(area.right(), y + 3));
    return y + 4 - area.top();
}

double tableRowHeight(QPainter& painter)
{
    painter.setFont(pageFont(9));
    return QFontMetricsF(painter.font(), painter.device()).height() * 1.35;
}

void drawTable(QPainter& painter, const QRectF& area, const NoiseReport& report,
               const QList<ReportTableRow>& rows, double rowHeight)
{
    const double nameWidth = area.width() * 0.24;
    const double valueWidth = (area.width() - nameWidth) / 2;
    const double pad = 5;
    const auto cell = [&](int column, double y) {
        const double x = column == 0 ? area.left() : area.left() + nameWidth +
                                                       (column - 1) * valueWidth;
        return QRectF(x + pad, y, (column == 0 ? nameWidth : valueWidth) - 2 * pad, rowHeight);
    };

    double y = area.top();
    painter.setFont(pageFont(9, true));
    painter.setPen(Qt::black);
    drawCut(painter, cell(1, y), Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Whole series"));
    drawCut(painter, cell(2, y), Qt::AlignLeft | Qt::AlignVCenter,
            report.span ? QStringLiteral("Between cursors A and B")
                        : QStringLiteral("Between cursors (not set)"));
    y += rowHeight;
    painter.setPen(QPen(Qt::black, 1));
    painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));

    for (const ReportTableRow& row : rows) {
        if (row.heading) {
            painter.fillRect(QRectF(area.left(), y, area.width(), rowHeight), kHeadingBack);
            painter.setFont(pageFont(9, true));
            painter.setPen(Qt::black);
            drawCut(painter, cell(0, y).adjusted(0, 0, area.width(), 0),
                    Qt::AlignLeft | Qt::AlignVCenter, row.name);
        } else {
            painter.setFont(pageFont(9));
            painter.setPen(Qt::black);
            drawCut(painter, cell(0, y), Qt::AlignLeft | Qt::AlignVCenter, row.name);
            drawCut(painter, cell(1, y), Qt::AlignLeft | Qt::AlignVCenter, row.whole);
            drawCut(painter, cell(2, y), Qt::AlignLeft | Qt::AlignVCenter, row.span);
        }
        y += rowHeight;
        painter.setPen(QPen(QColor(215, 215, 215), 0.6));
        painter.drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    }
    painter.setPen(QPen(kRule, 0.6));
    const double x1 = area.left() + nameWidth;
    painter.drawLine(QPointF(x1, area.top()), QPointF(x1, y));
    painter.drawLine(QPointF(x1 + valueWidth, area.top()), QPointF(x1 + valueWidth, y));
}

void drawChart(QPainter& painter, const QRectF& box, const NoiseReportChart& chart)
{
    painter.setPen(QPen(kRule, 0.8));
    if (chart.levels.empty() || chart.times.empty()) {
        painter.setFont(pageFont(10));
        painter.drawRect(box);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("No samples"));
        return;
    }
    const QSize size(qRound(box.width()), qRound(box.height()));
    const std::unique_ptr<PESGraph> graph = makeChart(chart, size);
    graph->render(painter, box);

    if (chart.cursors) {
        // Shaded over the plot (which is opaque) from cursor to cursor.
        const qsizetype n = qsizetype(std::min(chart.times.size(), chart.levels.size()));
        const qsizetype a = std::clamp<qsizetype>(chart.cursors->first, 0, n - 1);
        const qsizetype b = std::clamp<qsizetype>(chart.cursors->last, 0, n - 1);
        const double xa = graph->valueToPixel(chart.times[std::size_t(a)], 0).x();
        const double xb = graph->valueToPixel(chart.times[std::size_t(b)], 0).x();
        const QRect plot = graph->plottingRect();
        const double sx = box.width() / graph->width();
        const double sy = box.height() / graph->height();
        const double left = std::max<double>(std::min(xa, xb), plot.left());
        const double right = std::min<double>(std::max(xa, xb), plot.right() + 1);
        if (right >= left) {
            const QRectF shade(box.left() + left * sx, box.top() + plot.top() * sy,
                               std::max(1.0, (right - left) * sx), plot.height() * sy);
            painter.fillRect(shade, kSpanShade);
        }
    }
    painter.setPen(QPen(kRule, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
}
} // namespace

std::unique_ptr<PESGraph> makeChart(const NoiseReportChart& chart, QSize size)
{
    auto graph = std::make_unique<PESGraph>();
    graph->setAttribute(Qt::WA_DontShowOnScreen);
    PESGraphLook look = PESGraphLook::neutral();
    look.deskColor = Qt::white;
    look.graphForeColor = QColor(90, 90, 90);
    look.subsetColors = {QColor(20, 60, 170)};
    look.xAxisLabel = QStringLiteral("Time");
    look.yAxisLabel = QStringLiteral("dB");
    look.subTitle = QStringLiteral(" ");
    look.dateTimeMode = true;
    look.usingXDataII = true;
    look.allowPopup = false;
    look.labelFont.pointSize = 8;
    look.annotationFont.pointSize = 8;
    graph->setLook(look);

    const int n = int(std::min(chart.times.size(), chart.levels.size()));
    graph->setSubsets(1);
    graph->setXDataBlock(chart.times.data(), n);
    graph->setYDataBlock(chart.levels.data(), n);
    graph->setManualScaleControlY(PESManualScale::MinMax);
    graph->setManualMinY(30.0);
    graph->setManualMaxY(130.0);
    if (n > 0) {
        const double start = chart.times.front();
        const double end = std::max(chart.times[std::size_t(n - 1)] +
                                        chart.intervalSeconds / kSecondsPerDay,
                                    start + 1.0 / kSecondsPerDay);
        graph->setManualScaleControlX(PESManualScale::MinMax);
        graph->setManualMinX(start);
        graph->setManualMaxX(end);
    }
    if (chart.cursors && n > 0) {
        const std::pair<int, qsizetype> lines[] = {{0, chart.cursors->first},
                                                   {1, chart.cursors->last}};
        for (const auto& [line, index] : lines) {
            const auto i = std::size_t(std::clamp<qsizetype>(index, 0, n - 1));
            graph->setVertLineAnnotation(line, chart.times[i]);
            graph->setVertLineAnnotationText(
                line, GraphTexts::cursorLineText(chart.times[i], chart.levels[i]));
            graph->setVertLineAnnotationColor(line, line == 0 ? QColor(0, 0, 255)
                                                              : QColor(255, 0, 0));
        }
    }
    int slot = 0;
    for (const PESGraphAnnotation& annotation : chart.annotations)
        graph->setGraphAnnotation(slot++, annotation);

    graph->resize(size);
    graph->show(); // never on screen: lays the chart out at its size
    graph->reinitialize();
    return graph;
}

void drawPage(QPainter& painter, const QRectF& page, const NoiseReport& report,
              const NoiseReportChart& chart)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);

    // Footer first, at the bottom; then the table above it; the graph takes
    // what is left between the header and the table.
    painter.setFont(pageFont(8));
    const double footerHeight = QFontMetricsF(painter.font(), painter.device()).height() + 6;
    const QRectF footer(page.left(), page.bottom() - footerHeight, page.width(), footerHeight);
    painter.setPen(QPen(kRule, 0.8));
    painter.drawLine(footer.topLeft(), footer.topRight());
    painter.setPen(Qt::darkGray);
    drawCut(painter, footer.adjusted(0, 4, 0, 0), Qt::AlignLeft | Qt::AlignVCenter,
            report.footerText());
    drawCut(painter, footer.adjusted(0, 4, 0, 0), Qt::AlignRight | Qt::AlignVCenter,
            QStringLiteral("Page 1 of 1"));

    painter.setPen(Qt::black);
    const double headerHeight = drawHeader(painter, page, report);

    const QList<ReportTableRow> rows = report.tableRows();
    const double rowHeight = tableRowHeight(painter);
    const double tableHeight = rowHeight * double(rows.size() + 1);
    const QRectF table(page.left(), footer.top() - kGap - tableHeight, page.width(),
                       tableHeight);
    drawTable(painter, table, report, rows, rowHeight);

    const double chartTop = page.top() + headerHeight + kGap;
    const QRectF chartBox(page.left(), chartTop, page.width(),
                          std::max(80.0, table.top() - kGap - chartTop));
    drawChart(painter, chartBox, chart);
}

FileWriteOutcome writePdf(const QString& path, const NoiseReport& report,
                          const NoiseReportChart& chart)
{
    FileWriteOutcome outcome;
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.error = file.errorString();
        return outcome;
    }
    {
        QPdfWriter writer(&file);
        writer.setResolution(kResolution);
        writer.setPageSize(QPageSize(report.paper == ReportPaper::Letter ? QPageSize::Letter
                                                                         : QPageSize::A4));
        writer.setPageMargins(QMarginsF(kMarginMm, kMarginMm, kMarginMm, kMarginMm),
                              QPageLayout::Millimeter);
        writer.setTitle(report.title);
        writer.setCreator(QStringLiteral("Audimark ") + report.version);
        QPainter painter;
        if (!painter.begin(&writer)) {
            file.cancelWriting();
            outcome.error = QStringLiteral("the PDF could not be started");
            return outcome;
        }
        const QRect paint = writer.pageLayout().paintRectPixels(kResolution);
        drawPage(painter, QRectF(0, 0, paint.width(), paint.height()), report, chart);
        painter.end();
    }
    if (!file.commit()) {
        outcome.error = file.errorString();
        return outcome;
    }
    outcome.kind = FileWriteOutcome::Written;
    outcome.lines = 1;
    return outcome;
}

NoiseReportChart GraphWindowReport::chart() const
{
    NoiseReportChart chart;
    chart.times = series.times;
    chart.levels = series.levels;
    chart.intervalSeconds = series.intervalSeconds;
    if (report.span)
        chart.cursors = report.span->span;
    chart.annotations = annotations;
    return chart;
}

GraphWindowReport reportOfGraphWindow(const TfrmGraph& window)
{
    const PESGraph& graph = *window.graph();
    // The points the window's figures cover (the real-time graph's recorded
    // ones), with their times.
    const std::span<const float> levels = window.acousticLevels();
    const std::span<const double> x = graph.xSeries(0);
    const auto covered = std::ptrdiff_t(std::min(levels.size(), x.size()));
    const StatisticFields fields = window.statisticFields();

    GraphWindowReport result;
    result.series = ReportSeries::fromPoints(
        std::vector<double>(x.begin(), x.begin() + covered),
        std::vector<float>(levels.begin(), levels.begin() + covered), fields.graph);
    result.series.intervalSeconds = window.acousticIntervalSeconds();
    result.series.weighting = window.acousticWeighting();
    // Only the model 842 records data sets.
    if (window.windowTitle() == TfrmGraph::LoggerCaption)
        result.series.meterModel = QStringLiteral("QV58M model 842");

    // The cursors as the window shows them: on samples, with their fields.
    std::optional<ReportSpan> span;
    const qsizetype n = result.series.size();
    const Tslider2& slider = *window.slider();
    if (!fields.cursorATime.isEmpty() && !fields.cursorBTime.isEmpty() && slider.Value1() < n &&
        slider.Value2() < n && slider.Value1() >= 0 && slider.Value2() >= 0)
        span = ReportSpan{slider.Value1(), slider.Value2()};
    result.report = NoiseReport::of(result.series, span, window.acousticThreshold());

    for (int slot = AnnotationSlots::kFirstUserSlot; slot <= window.state().AnnotationCount;
         ++slot) {
        const PESGraphAnnotation annotation = graph.graphAnnotation(slot);
        if (annotation.x != 0.0 &&
            (annotation.type == PESAnnotationType::Cross || !annotation.text.isEmpty()))
            result.annotations.push_back(annotation);
    }
    return result;
}

} // namespace NoiseReportPrinter
