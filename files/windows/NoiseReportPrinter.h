#pragma once

// The PDF noise report. The first page: the title (wrapped, up to four
// lines), the meter and the series' start, end, interval and weighting,
// the consultant's details (site, position, client, operator, instrument,
// calibration with its drift, weather, notes), the graph of the series
// drawn by the program's chart (PESGraph, offscreen) with its level axis
// fitted to the levels, the threshold line, the cursor span shaded and the
// annotations, and the table of the statistics and acoustic figures for
// the whole series and the cursor span; the exceedance events shaded on
// the chart. The pages after it: notes too long for the first page, the
// period table, the day-evening-night table, the events list, the level
// distribution (NoiseReport::makeSections; left out when not made), then
// the method note. Tables flow on to further pages with their heading
// row repeated. Every page has a footer with
// the program version, the time of creation and "Page n of N". A4 or
// Letter as the report says.
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
class QPagedPaintDevice;
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
// The outcome's lines are the pages.
[[nodiscard]] FileWriteOutcome writePdf(const QString& path, const NoiseReport& report,
                                        const NoiseReportChart& chart);

// Draws the pages, each into `page` (device pixels of the painter, which
// should have about screen resolution), starting each after the first on
// `device`; returns the number of pages.
int drawPages(QPainter& painter, QPagedPaintDevice* device, const QRectF& page,
              const NoiseReport& report, const NoiseReportChart& chart);

// The report's chart: a printable look, the series, scales from the first
// point to the end of the last interval and the levels' fitted axis
// (ReportLevelAxis), the cursor lines and the annotations; laid out at
// `size` pixels.
// With a threshold, the axis also shows it when it lies near the levels
// (ReportLevelAxis::showing).
[[nodiscard]] std::unique_ptr<PESGraph> makeChart(const NoiseReportChart& chart, QSize size,
                                                  std::optional<double> thresholdDb = {});

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
