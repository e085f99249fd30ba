#pragma once

// The one-page PDF noise report: the title, the meter and the series'
// start, end, interval and weighting, the graph of the series drawn by the
// program's chart (PESGraph, offscreen) with the cursor span shaded and the
// annotations, the table of the statistics and acoustic figures for the
// whole series and the cursor span, and a footer with the program version
// and the time of creation. A4 or Letter as the report says. Whatever the
// data, it is one page: the texts are cut to their boxes and the graph
// takes the height the table leaves.
//
// Needs a QApplication (the chart is a widget, laid out but never shown).

#include "files/formats/FileWriteOutcome.h"
#include "files/formats/NoiseReport.h"
#include "graph/PESGraphContent.h"

#include <QRectF>
#include <QString>

#include <memory>
#include <optional>
#include <span>
#include <vector>

class PESGraph;
class QPainter;
class TfrmGraph;

// What the report's graph shows.
struct NoiseReportChart
{
    std::span<const double> times;
    std::span<const float> levels;
    double intervalSeconds = 0.0;
    // Cursor A at span->first, cursor B at span->last, the points between
    // shaded; none: no cursors.
    std::optional<ReportSpan> cursors;
    std::vector<PESGraphAnnotation> annotations;
};

namespace NoiseReportPrinter {

// Writes the report to path through OutputFile: complete or not at all.
[[nodiscard]] FileWriteOutcome writePdf(const QString& path, const NoiseReport& report,
                                        const NoiseReportChart& chart);

// Draws the page into `page` (device pixels of the painter, which should
// have about screen resolution).
void drawPage(QPainter& painter, const QRectF& page, const NoiseReport& report,
              const NoiseReportChart& chart);

// The report's chart: a printable look, the series, scales from the first
// point to the end of the last interval and 30..130 dB, the cursor lines
// and the annotations; laid out at `size` pixels.
[[nodiscard]] std::unique_ptr<PESGraph> makeChart(const NoiseReportChart& chart, QSize size);

// What a graph window shows, for its report: its series (the points its
// figures cover), its statistic fields as they stand, its weighting,
// interval and threshold, the cursors when they are on samples, and the
// annotations.
struct GraphWindowReport
{
    ReportSeries series;
    NoiseReport report;
    std::vector<PESGraphAnnotation> annotations;

    // The chart of the report; valid while this object lives unchanged.
    [[nodiscard]] NoiseReportChart chart() const;
};
[[nodiscard]] GraphWindowReport reportOfGraphWindow(const TfrmGraph& window);

} // namespace NoiseReportPrinter
