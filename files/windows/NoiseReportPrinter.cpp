#include "files/windows/NoiseReportPrinter.h"

#include "data/AnnotationSlots.h"
#include "data/GraphTexts.h"
#include "graph/PESGraph.h"
#include "graph/PESGraphDateTimeTicker.h"
#include "graph/TfrmGraph.h"
#include "graph/Tslider2.h"
#include "logger/OutputFile.h"

#include <QFontMetricsF>
#include <QPageSize>
#include <QPainter>
#include <QPdfWriter>

#include <QPagedPaintDevice>
#include <QTextLayout>

#include <algorithm>
#include <functional>

namespace NoiseReportPrinter {

namespace {
// The page is laid out in pixels of a screen-like 96 dpi, the resolution
// the chart's fonts and layout are made for.
constexpr int kResolution = 96;
constexpr double kMarginMm = 14.0;
constexpr double kGap = 10.0;
constexpr double kSecondsPerDay = 86400.0;

const QColor kSpanShade(255, 170, 0, 60);
const QColor kEventShade(220, 30, 30, 40);
const QColor kEventMark(200, 30, 30, 200);
const QColor kMarkedRow(255, 244, 226);
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

double tableRowHeight(QPainter& painter)
{
    painter.setFont(pageFont(9));
    return QFontMetricsF(painter.font(), painter.device()).height() * 1.35;
}

void drawTable(QPainter& painter, const QRectF& area, const NoiseReport& report,
               const QList<ReportTableRow>& rows, double rowHeight)
{
    // The names take what the widest needs, a quarter to two fifths.
    painter.setFont(pageFont(9));
    const QFontMetricsF metrics(painter.font(), painter.device());
    double widest = 0.0;
    for (const ReportTableRow& row : rows)
        if (!row.heading)
            widest = std::max(widest, metrics.horizontalAdvance(row.name));
    const double nameWidth = std::clamp(widest + 16, area.width() * 0.24, area.width() * 0.4);
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

// The caption under the chart: what the red marks are.
QString chartCaption(const NoiseReport& report, const ReportLevelAxis& axis)
{
    QStringList parts;
    const QString threshold = NoiseReportTexts::decibels(report.thresholdDb);
    if (report.thresholdDb > axis.minDb && report.thresholdDb < axis.maxDb)
        parts << QStringLiteral("Dashed line: the threshold, %1").arg(threshold);
    else
        parts << QStringLiteral("The threshold, %1, lies %2 the plot")
                     .arg(threshold, report.thresholdDb >= axis.maxDb ? QStringLiteral("above")
                                                                      : QStringLiteral("below"));
    if (report.sections.made) {
        const qsizetype events = report.sections.events.size();
        parts << (events == 0 ? QStringLiteral("no exceedance events")
                              : QStringLiteral("shaded: the %1 exceedance event%2")
                                    .arg(QLocale().toString(events),
                                         events == 1 ? QString() : QStringLiteral("s")));
    }
    return parts.join(QStringLiteral("; ")) + QLatin1Char('.');
}

void drawChart(QPainter& painter, QRectF box, const NoiseReportChart& chart,
               const NoiseReport& report)
{
    const double thresholdDb = report.thresholdDb;
    painter.setPen(QPen(kRule, 0.8));
    if (chart.levels.empty() || chart.times.empty()) {
        painter.setFont(pageFont(10));
        painter.drawRect(box);
        painter.drawText(box, Qt::AlignCenter, QStringLiteral("No samples"));
        return;
    }
    // The caption in a line of its own under the chart.
    painter.setFont(pageFont(7.5));
    const double captionHeight = QFontMetricsF(painter.font(), painter.device()).height() + 4;
    const ReportLevelAxis axis = ReportLevelAxis::fittedTo(chart.levels).showing(thresholdDb);
    const QRectF captionBox(box.left(), box.bottom() - captionHeight, box.width(), captionHeight);
    painter.setPen(Qt::darkGray);
    drawCut(painter, captionBox.adjusted(4, 0, -4, 0), Qt::AlignLeft | Qt::AlignVCenter,
            chartCaption(report, axis));
    box.setBottom(box.bottom() - captionHeight);

    const QSize size(qRound(box.width()), qRound(box.height()));
    const std::unique_ptr<PESGraph> graph = makeChart(chart, size, thresholdDb);
    graph->render(painter, box);

    if (report.sections.made && !report.sections.events.isEmpty()) {
        // Each event shaded over its span, at least a line wide so that a
        // short one on a long series is still seen.
        const QRect plot = graph->plottingRect();
        const double sx = box.width() / graph->width();
        const double sy = box.height() / graph->height();
        const double plotLeft = box.left() + plot.left() * sx;
        const double plotRight = box.left() + (plot.right() + 1) * sx;
        painter.save();
        painter.setClipRect(QRectF(plotLeft, box.top() + plot.top() * sy, plotRight - plotLeft,
                                   plot.height() * sy));
        for (const ExceedanceEvent& event : report.sections.events) {
            const double x0 =
                box.left() +
                graph->valueToPixel(SampleTiming::toDateTime(event.startMs), 0).x() * sx;
            const double x1 =
                box.left() + graph->valueToPixel(SampleTiming::toDateTime(event.endMs), 0).x() * sx;
            const QRectF span(x0, box.top() + plot.top() * sy, std::max(1.2, x1 - x0),
                              plot.height() * sy);
            painter.fillRect(span, kEventShade);
            painter.fillRect(QRectF(span.left(), span.top(), span.width(), 4), kEventMark);
        }
        painter.restore();
    }

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
    // The threshold the time above counts with, where it lies on the axis.
    if (thresholdDb > axis.minDb && thresholdDb < axis.maxDb) {
        const QRect plot = graph->plottingRect();
        const double sx = box.width() / graph->width();
        const double sy = box.height() / graph->height();
        const double y = box.top() + graph->valueToPixel(chart.times.front(), thresholdDb).y() * sy;
        painter.setPen(QPen(QColor(200, 30, 30), 1.0, Qt::DashLine));
        painter.drawLine(QPointF(box.left() + plot.left() * sx, y),
                         QPointF(box.left() + (plot.right() + 1) * sx, y));
        // Its level at the right end, on white, so that the series does
        // not run through the text.
        painter.setFont(pageFont(7.5));
        const QString text = NoiseReportTexts::decibels(thresholdDb);
        const QFontMetricsF metrics(painter.font(), painter.device());
        const QRectF label(
            box.left() + (plot.right() + 1) * sx - metrics.horizontalAdvance(text) - 8,
            y - metrics.height() - 2, metrics.horizontalAdvance(text) + 6, metrics.height());
        painter.fillRect(label, QColor(255, 255, 255, 220));
        painter.setPen(QColor(200, 30, 30));
        painter.drawText(label, Qt::AlignCenter, text);
    }
    painter.setPen(QPen(kRule, 0.8));
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(box);
}
} // namespace

std::unique_ptr<PESGraph> makeChart(const NoiseReportChart& chart, QSize size,
                                    std::optional<double> thresholdDb)
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
    ReportLevelAxis axis = ReportLevelAxis::fittedTo(chart.levels);
    if (thresholdDb)
        axis = axis.showing(*thresholdDb);
    graph->setManualMinY(axis.minDb);
    graph->setManualMaxY(axis.maxDb);
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
            // The window's cursor text ("|t" puts it at the top), in the
            // report's time format.
            graph->setVertLineAnnotationText(
                line, QStringLiteral("|t") + NoiseReportTexts::timeText(chart.times[i]) +
                          QLatin1Char('\n') + GraphTexts::levelText(chart.levels[i]) +
                          QStringLiteral("dB"));
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
    // Printed dates carry four-digit years, whatever the locale's short date.
    if (auto* plot = graph->findChild<QCustomPlot*>()) {
        auto ticker = QSharedPointer<PESGraphDateTimeTicker>::create(plot->xAxis);
        ticker->setFourDigitYears(true);
        plot->xAxis->setTicker(ticker);
    }
    return graph;
}

namespace {
constexpr int kTitleMostLines = 4;
constexpr int kNotesMostLinesOnFirstPage = 5;
constexpr double kLeastChartHeight = 220.0;
constexpr double kDistributionHeight = 250.0;

// The lines a text breaks into at `width` in the painter's font: at word
// boundaries, and inside a word only when it is wider than a line. Line
// breaks in the text are kept.
QStringList wrapped(const QPainter& painter, const QString& text, double width)
{
    QStringList lines;
    for (const QString& paragraph : text.split(QLatin1Char('\n'))) {
        QTextLayout layout(paragraph, painter.font(), painter.device());
        QTextOption option;
        option.setWrapMode(QTextOption::WrapAtWordBoundaryOrAnywhere);
        layout.setTextOption(option);
        layout.beginLayout();
        for (QTextLine line = layout.createLine(); line.isValid(); line = layout.createLine()) {
            line.setLineWidth(width);
            lines << paragraph.mid(line.textStart(), line.textLength()).trimmed();
        }
        layout.endLayout();
        if (paragraph.isEmpty())
            lines << QString();
    }
    return lines;
}

double lineHeight(const QPainter& painter, double spacing = 1.2)
{
    return QFontMetricsF(painter.font(), painter.device()).height() * spacing;
}

// At most `most` lines; the last one shown ends in an ellipsis when more
// were cut.
QStringList atMost(const QPainter& painter, QStringList lines, int most, double width)
{
    if (lines.size() <= most)
        return lines;
    lines = lines.mid(0, most);
    const QFontMetricsF metrics(painter.font(), painter.device());
    lines.last() =
        metrics.elidedText(lines.last() + QStringLiteral(" \u2026"), Qt::ElideRight, width);
    if (!lines.last().endsWith(QChar(0x2026)))
        lines.last() += QChar(0x2026);
    return lines;
}

// The title, wrapped; then the series' facts in two columns, then the
// consultant's details, label and text, the text wrapped. Returns the
// height used; draws only when `draw`.
double drawHeader(QPainter& painter, const QRectF& area, const NoiseReport& report, bool draw,
                  bool* notesCut)
{
    double y = area.top();
    painter.setFont(pageFont(17, true));
    const double titleLine = lineHeight(painter, 1.1);
    for (const QString& line : atMost(painter, wrapped(painter, report.title, area.width()),
                                      kTitleMostLines, area.width())) {
        if (draw)
            painter.drawText(QRectF(area.left(), y, area.width(), titleLine),
                             Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, line);
        y += titleLine;
    }

    const QList<std::pair<QString, QString>> facts = {
        {QStringLiteral("Meter"),
         report.meterModel.isEmpty() ? QStringLiteral("QV58M") : report.meterModel},
        {QStringLiteral("Weighting"), report.weighting},
        {QStringLiteral("Start"), report.page.startTime},
        {QStringLiteral("End"), report.page.endTime},
        {QStringLiteral("Interval"),
         report.interval.isEmpty() ? QString() : report.interval + QStringLiteral(" s")},
        {QStringLiteral("Points"), report.whole.dataNo},
    };
    painter.setFont(pageFont(9.5));
    const double line = lineHeight(painter, 1.25);
    const double column = area.width() / 2;
    const double label = 80;
    y += 6;
    if (draw) {
        for (qsizetype i = 0; i < facts.size(); ++i) {
            const double x = area.left() + double(i % 2) * column;
            const double rowY = y + double(i / 2) * line;
            painter.setPen(Qt::darkGray);
            drawCut(painter, QRectF(x, rowY, label, line), Qt::AlignLeft | Qt::AlignVCenter,
                    facts.at(i).first);
            painter.setPen(Qt::black);
            drawCut(painter, QRectF(x + label, rowY, column - label - 8, line),
                    Qt::AlignLeft | Qt::AlignVCenter, facts.at(i).second);
        }
    }
    y += double((facts.size() + 1) / 2) * line;

    // The details over the whole width: their texts are longer.
    const double textWidth = area.width() - label;
    for (const ReportDetails::Line& detail : report.details.pageLines()) {
        QStringList lines = wrapped(painter, detail.text, textWidth);
        if (detail.label == QLatin1String("Notes") && lines.size() > kNotesMostLinesOnFirstPage) {
            lines = atMost(painter, lines, kNotesMostLinesOnFirstPage - 1, textWidth);
            lines << QStringLiteral("(the notes continue after the figures)");
            if (notesCut)
                *notesCut = true;
        }
        if (draw) {
            painter.setPen(Qt::darkGray);
            drawCut(painter, QRectF(area.left(), y, label, line), Qt::AlignLeft | Qt::AlignVCenter,
                    detail.label);
            painter.setPen(Qt::black);
        }
        for (const QString& text : lines) {
            if (draw)
                painter.drawText(QRectF(area.left() + label, y, textWidth, line),
                                 Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
            y += line;
        }
    }
    if (draw) {
        painter.setPen(QPen(kRule, 1));
        painter.drawLine(QPointF(area.left(), y + 3), QPointF(area.right(), y + 3));
        painter.setPen(Qt::black);
    }
    return y + 4 - area.top();
}

// A section of the pages after the first: a heading and paragraphs that
// flow on to the next page where the page ends, then a table or the level
// distribution's chart.
struct FlowSection
{
    QString heading;
    QStringList paragraphs;
    std::optional<ReportGrid> grid;
    bool distribution = false;
};

// The sections after the first page, in their order: the notes cut from
// the first page, the tables of the acoustic figures, the method.
QList<FlowSection> sectionsAfterFirstPage(const NoiseReport& report, bool notesCut)
{
    QList<FlowSection> sections;
    if (notesCut)
        sections.append({QStringLiteral("Notes"), {report.details.notes}, std::nullopt});
    if (report.sections.made) {
        const ReportGrid periods = report.periodGrid();
        sections.append({QStringLiteral("Period levels"), report.periodNote(),
                         periods.rows.isEmpty() ? std::nullopt : std::optional(periods)});
        const ReportGrid den = report.denGrid();
        if (!den.rows.isEmpty())
            sections.append({QStringLiteral("Day, evening and night"), report.denNote(), den});
        const ReportGrid events = report.eventGrid();
        sections.append({QStringLiteral("Exceedance events"), report.eventNote(),
                         events.rows.isEmpty() ? std::nullopt : std::optional(events)});
        if (report.sections.distributed > 0)
            sections.append({QStringLiteral("Level distribution"), report.distributionNote(),
                             std::nullopt, true});
    }
    sections.append({QStringLiteral("Method"), report.methodNote(), std::nullopt});
    return sections;
}

// The widths of a table's columns over `width`: each what its widest text
// needs, the room left shared out evenly; scaled down when they need more.
QList<double> columnWidths(QPainter& painter, const ReportGrid& grid, double width)
{
    constexpr double kPad = 12.0;
    QList<double> widths(grid.columns.size(), 0.0);
    painter.setFont(pageFont(8.5, true));
    const QFontMetricsF bold(painter.font(), painter.device());
    for (qsizetype c = 0; c < grid.columns.size(); ++c)
        widths[c] = bold.horizontalAdvance(grid.columns.at(c)) + kPad;
    painter.setFont(pageFont(8.5));
    const QFontMetricsF plain(painter.font(), painter.device());
    for (const ReportGrid::Row& row : grid.rows)
        for (qsizetype c = 0; c < row.cells.size() && c < widths.size(); ++c)
            widths[c] = std::max(
                widths[c], (row.total ? bold : plain).horizontalAdvance(row.cells.at(c)) + kPad);
    double sum = 0.0;
    for (const double w : widths)
        sum += w;
    if (sum <= 0.0)
        return widths;
    for (double& w : widths)
        w = sum > width ? w * width / sum : w + (width - sum) / double(widths.size());
    return widths;
}

// A step of a scale that gives at most `most` labels over `span`.
double niceStep(double span, int most)
{
    for (const double step : {1.0, 2.0, 5.0, 10.0, 20.0, 25.0, 50.0})
        if (span / step <= most)
            return step;
    return 100.0;
}

void drawDistribution(QPainter& painter, const QRectF& box, const ReportSections& sections)
{
    const std::vector<qsizetype>& counts = sections.classCounts;
    if (counts.empty() || sections.distributed <= 0)
        return;
    painter.save();
    painter.setFont(pageFont(7.5));
    const QFontMetricsF metrics(painter.font(), painter.device());
    const double textHeight = metrics.height();
    // At least 10 dB wide, the classes in the middle.
    const int classes = int(counts.size());
    const int shownClasses = std::max(10, classes + 2);
    const double low = sections.firstClassDb - (shownClasses - classes) / 2;
    const double high = low + shownClasses;
    double most = 0.0;
    for (const qsizetype count : counts)
        most = std::max(most, 100.0 * double(count) / double(sections.distributed));
    const double barStep = niceStep(most, 5);
    const double barTop = std::max(barStep, std::ceil(most / barStep) * barStep);

    const double left = box.left() + metrics.horizontalAdvance(QStringLiteral("100 %")) + 10;
    const double right = box.right() - metrics.horizontalAdvance(QStringLiteral("100 %")) - 10;
    const QRectF plot(left, box.top() + 1.8 * textHeight, right - left,
                      box.height() - 4.0 * textHeight - 4);
    const auto xOf = [&](double db) {
        return plot.left() + (db - low) / (high - low) * plot.width();
    };
    const auto yBar = [&](double percent) {
        return plot.bottom() - percent / barTop * plot.height();
    };
    const auto yLine = [&](double percent) {
        return plot.bottom() - percent / 100.0 * plot.height();
    };

    // Grid and scales: bars left, the line's 0..100 % right.
    painter.setPen(QPen(QColor(225, 225, 225), 0.6));
    for (double p = 0.0; p <= barTop + 1e-9; p += barStep) {
        painter.drawLine(QPointF(plot.left(), yBar(p)), QPointF(plot.right(), yBar(p)));
    }
    painter.setPen(Qt::darkGray);
    for (double p = 0.0; p <= barTop + 1e-9; p += barStep)
        painter.drawText(
            QRectF(box.left(), yBar(p) - textHeight / 2, left - box.left() - 4, textHeight),
            Qt::AlignRight | Qt::AlignVCenter,
            QLocale().toString(p, 'f', 0) + QStringLiteral(" %"));
    painter.setPen(QColor(200, 30, 30));
    for (double p = 0.0; p <= 100.0; p += 25.0)
        painter.drawText(QRectF(plot.right() + 4, yLine(p) - textHeight / 2,
                                box.right() - plot.right() - 4, textHeight),
                         Qt::AlignLeft | Qt::AlignVCenter,
                         QLocale().toString(p, 'f', 0) + QStringLiteral(" %"));

    // The bars.
    for (int c = 0; c < classes; ++c) {
        const double percent =
            100.0 * double(counts[std::size_t(c)]) / double(sections.distributed);
        const double x0 = xOf(sections.firstClassDb + c);
        const double x1 = xOf(sections.firstClassDb + c + 1);
        const QRectF bar(x0 + 0.5, yBar(percent), std::max(0.8, x1 - x0 - 1.0),
                         plot.bottom() - yBar(percent));
        painter.fillRect(bar, QColor(20, 60, 170, 170));
    }
    // The share at or above each class's lower edge.
    QPolygonF line;
    qsizetype above = sections.distributed;
    for (int c = 0; c <= classes; ++c) {
        line << QPointF(xOf(sections.firstClassDb + c),
                        yLine(100.0 * double(above) / double(sections.distributed)));
        if (c < classes)
            above -= counts[std::size_t(c)];
    }
    painter.setPen(QPen(QColor(200, 30, 30), 1.4));
    painter.drawPolyline(line);

    // The level scale, its labels as far apart as they need.
    painter.setPen(QPen(kRule, 0.8));
    painter.drawRect(plot);
    const double labelWidth = metrics.horizontalAdvance(QStringLiteral("000")) + 10;
    const double step = niceStep(high - low, std::max(1, int(plot.width() / labelWidth)));
    painter.setPen(Qt::darkGray);
    for (double db = std::ceil(low / step) * step; db <= high + 1e-9; db += step) {
        const double x = xOf(db);
        painter.drawLine(QPointF(x, plot.bottom()), QPointF(x, plot.bottom() + 3));
        painter.drawText(QRectF(x - labelWidth / 2, plot.bottom() + 3, labelWidth, textHeight),
                         Qt::AlignCenter, QLocale().toString(db, 'f', 0));
    }
    painter.drawText(
        QRectF(plot.left(), plot.bottom() + 3 + textHeight, plot.width(), textHeight * 1.2),
        Qt::AlignCenter, QStringLiteral("Level, dB (1 dB classes)"));
    painter.drawText(QRectF(plot.left(), box.top(), plot.width() / 2, textHeight),
                     Qt::AlignLeft | Qt::AlignVCenter, QStringLiteral("Readings in the class"));
    painter.setPen(QColor(200, 30, 30));
    painter.drawText(QRectF(plot.center().x(), box.top(), plot.width() / 2, textHeight),
                     Qt::AlignRight | Qt::AlignVCenter, QStringLiteral("Readings at or above"));
    painter.restore();
}

// Where the drawing of the pages stands: the page's area, the page number
// and the cursor; without a device (counting) nothing is drawn.
class PageFlow
{
public:
    // started(n) is called as page n begins, when drawing.
    PageFlow(QPainter& painter, QPagedPaintDevice* device, const QRectF& area,
             std::function<void(int)> started = {})
        : painter_(painter), device_(device), area_(area), y_(area.top()),
          started_(std::move(started))
    {
    }

    [[nodiscard]] int pages() const { return pages_; }
    [[nodiscard]] bool drawing() const { return device_ != nullptr; }

    void newPage()
    {
        if (device_ && pages_ > 0)
            device_->newPage();
        ++pages_;
        y_ = area_.top();
        if (device_ && started_)
            started_(pages_);
    }

    // Room for `height` below the cursor, else the next page.
    void need(double height)
    {
        if (y_ + height > area_.bottom() && y_ > area_.top())
            newPage();
    }

    // The table of the first page, when the first page has no room for it.
    void table(const NoiseReport& report, const QList<ReportTableRow>& rows)
    {
        const double rowHeight = tableRowHeight(painter_);
        const double height = rowHeight * double(rows.size() + 1);
        need(height);
        if (drawing())
            drawTable(painter_, QRectF(area_.left(), y_, area_.width(), height), report, rows,
                      rowHeight);
        y_ += height + kGap;
    }

    // A table: its heading row, then its rows, the heading row again at
    // the top of every page the table flows on to.
    void grid(const ReportGrid& grid)
    {
        painter_.setFont(pageFont(8.5));
        const double rowHeight = QFontMetricsF(painter_.font(), painter_.device()).height() * 1.4;
        const QList<double> widths = columnWidths(painter_, grid, area_.width());
        const auto drawRow = [&](const QStringList& cells, bool bold, const QColor& back) {
            if (!drawing())
                return;
            if (back.isValid())
                painter_.fillRect(QRectF(area_.left(), y_, area_.width(), rowHeight), back);
            painter_.setFont(pageFont(8.5, bold));
            painter_.setPen(Qt::black);
            double x = area_.left();
            for (qsizetype c = 0; c < widths.size(); ++c) {
                const bool right = grid.numeric.value(c);
                drawCut(painter_, QRectF(x + 6, y_, widths.at(c) - 12, rowHeight),
                        (right ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignVCenter,
                        cells.value(c));
                x += widths.at(c);
            }
            painter_.setPen(QPen(QColor(215, 215, 215), 0.6));
            painter_.drawLine(QPointF(area_.left(), y_ + rowHeight),
                              QPointF(area_.right(), y_ + rowHeight));
        };
        const auto heading = [&] {
            drawRow(grid.columns, true, kHeadingBack);
            y_ += rowHeight;
        };
        // The heading row never stands alone at the foot of a page.
        need(rowHeight * 2);
        heading();
        for (const ReportGrid::Row& row : grid.rows) {
            if (y_ + rowHeight > area_.bottom()) {
                newPage();
                heading();
            }
            drawRow(row.cells, row.total, row.marked ? kMarkedRow : QColor());
            y_ += rowHeight;
        }
        y_ += rowHeight * 0.6;
    }

    // The level distribution: bars of the share of readings in each 1 dB
    // class, and the share at or above each level as a line.
    void distribution(const ReportSections& sections)
    {
        need(kDistributionHeight);
        if (drawing())
            drawDistribution(painter_, QRectF(area_.left(), y_, area_.width(), kDistributionHeight),
                             sections);
        y_ += kDistributionHeight + kGap;
    }

    void section(const FlowSection& section)
    {
        painter_.setFont(pageFont(12, true));
        const double headingLine = lineHeight(painter_, 1.4);
        painter_.setFont(pageFont(9.5));
        const double line = lineHeight(painter_, 1.3);
        // A heading never stands alone at the foot of a page, and a table's
        // or chart's note stays with the start of what it explains.
        double together = headingLine + 2 * line;
        if (section.grid || section.distribution) {
            together = headingLine;
            for (const QString& paragraph : section.paragraphs)
                together +=
                    (double(wrapped(painter_, paragraph, area_.width()).size()) + 0.4) * line;
            together += section.distribution ? kDistributionHeight : 4 * line * 1.1;
            painter_.setFont(pageFont(9.5));
        }
        need(std::min(together, area_.height()));
        painter_.setPen(Qt::black);
        painter_.setFont(pageFont(12, true));
        if (drawing())
            painter_.drawText(QRectF(area_.left(), y_, area_.width(), headingLine),
                              Qt::AlignLeft | Qt::AlignVCenter, section.heading);
        y_ += headingLine;
        painter_.setFont(pageFont(9.5));
        for (const QString& paragraph : section.paragraphs) {
            for (const QString& text : wrapped(painter_, paragraph, area_.width())) {
                need(line);
                if (drawing())
                    painter_.drawText(QRectF(area_.left(), y_, area_.width(), line),
                                      Qt::AlignLeft | Qt::AlignVCenter | Qt::TextSingleLine, text);
                y_ += line;
            }
            y_ += line * 0.4;
        }
        if (section.grid)
            grid(*section.grid);
        else if (section.distribution)
            distribution(report_ ? report_->sections : ReportSections{});
        y_ += line;
    }

    void setReport(const NoiseReport* report) { report_ = report; }

private:
    QPainter& painter_;
    QPagedPaintDevice* device_;
    QRectF area_;
    double y_;
    std::function<void(int)> started_;
    int pages_ = 0;
    const NoiseReport* report_ = nullptr;
};

void drawFooter(QPainter& painter, const QRectF& footer, const NoiseReport& report, int page,
                int pages)
{
    painter.setFont(pageFont(8));
    painter.setPen(QPen(kRule, 0.8));
    painter.drawLine(footer.topLeft(), footer.topRight());
    painter.setPen(Qt::darkGray);
    const QString number = QStringLiteral("Page %1 of %2").arg(page).arg(pages);
    const double numberWidth =
        QFontMetricsF(painter.font(), painter.device()).horizontalAdvance(number) + 12;
    drawCut(painter, footer.adjusted(0, 4, -numberWidth, 0), Qt::AlignLeft | Qt::AlignVCenter,
            report.footerText());
    painter.drawText(footer.adjusted(0, 4, 0, 0), Qt::AlignRight | Qt::AlignVCenter, number);
    painter.setPen(Qt::black);
}

double footerHeight(QPainter& painter)
{
    painter.setFont(pageFont(8));
    return QFontMetricsF(painter.font(), painter.device()).height() + 6;
}
} // namespace

int drawPages(QPainter& painter, QPagedPaintDevice* device, const QRectF& page,
              const NoiseReport& report, const NoiseReportChart& chart)
{
    painter.setRenderHint(QPainter::Antialiasing);
    painter.setRenderHint(QPainter::TextAntialiasing);
    painter.setPen(Qt::black);
    const double footerSpace = footerHeight(painter);
    const QRectF body(page.left(), page.top(), page.width(), page.height() - footerSpace - kGap);
    const QRectF footer(page.left(), page.bottom() - footerSpace, page.width(), footerSpace);

    bool notesCut = false;
    const double headerHeight = drawHeader(painter, body, report, false, &notesCut);
    const QList<FlowSection> sections = sectionsAfterFirstPage(report, notesCut);
    const QList<ReportTableRow> rows = report.pageTableRows();
    const double rowHeight = tableRowHeight(painter);
    const double tableHeight = rowHeight * double(rows.size() + 1);
    // The first page: the header and details at the top, the table at the
    // bottom, the chart in what is left between them; where long details
    // leave the chart too little room, the table opens the next page.
    const double chartTop = body.top() + headerHeight + kGap;
    const bool tableOnFirstPage =
        body.bottom() - tableHeight - kGap - chartTop >= kLeastChartHeight;
    const double chartBottom =
        tableOnFirstPage ? body.bottom() - tableHeight - kGap : body.bottom();
    const QRectF chartBox(body.left(), chartTop, body.width(),
                          std::max(kLeastChartHeight / 2, chartBottom - chartTop));

    const auto flowAfterFirstPage = [&](PageFlow& flow) {
        flow.newPage();
        flow.newPage();
        if (!tableOnFirstPage)
            flow.table(report, rows);
        for (const FlowSection& section : sections)
            flow.section(section);
    };
    // Counted first, for "Page 1 of N".
    PageFlow counting(painter, nullptr, body);
    counting.setReport(&report);
    flowAfterFirstPage(counting);
    const int pages = counting.pages();

    (void)drawHeader(painter, body, report, true, nullptr);
    if (tableOnFirstPage)
        drawTable(painter,
                  QRectF(body.left(), body.bottom() - tableHeight, body.width(), tableHeight),
                  report, rows, rowHeight);
    drawChart(painter, chartBox, chart, report);
    drawFooter(painter, footer, report, 1, pages);

    PageFlow flow(painter, device, body, [&](int number) {
        if (number > 1)
            drawFooter(painter, footer, report, number, pages);
    });
    flow.setReport(&report);
    flowAfterFirstPage(flow);
    return flow.pages();
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
        outcome.lines =
            drawPages(painter, &writer, QRectF(0, 0, paint.width(), paint.height()), report, chart);
        painter.end();
    }
    if (!file.commit()) {
        outcome.error = file.errorString();
        return outcome;
    }
    outcome.kind = FileWriteOutcome::Written;
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
