#pragma once

// What a chart shows besides its look: the series, the scales, the numbered
// annotation slots and the vertical cursor lines. Plain data; the chart
// (PESGraph) keeps one and the whole-chart block carries it.

#include <QColor>
#include <QString>
#include <map>
#include <optional>
#include <utility>
#include <vector>

// One series. X counts days since 30 December 1899 (local wall-clock time)
// in date-time mode; a point whose X is exactly 0 holds no sample and is not
// drawn. Y is a level in dB.
struct PESGraphSeries
{
    std::vector<double> x;
    std::vector<float> y;
    friend bool operator==(const PESGraphSeries&, const PESGraphSeries&) = default;
};

// Annotation symbol of a graph annotation slot.
enum class PESAnnotationType : int
{
    TextOnly = 0,
    Cross = 2
};

struct PESGraphAnnotation
{
    double x = 0.0;
    double y = 0.0;
    PESAnnotationType type = PESAnnotationType::TextOnly;
    QString text;
    QColor color; // invalid: the look's annotation colour
    friend bool operator==(const PESGraphAnnotation&, const PESGraphAnnotation&) = default;
};

// A vertical line across the plot at X. Its text may begin with the marker
// "|t" (text at the top of the line, the default) or "|b" (at the bottom);
// the marker is not drawn. Line breaks: LF, CR or CR LF.
struct PESGraphVertLine
{
    double x = 0.0;
    QString text;
    QColor color; // invalid: the look's annotation colour
    friend bool operator==(const PESGraphVertLine&, const PESGraphVertLine&) = default;
};

// Manual scale control of one axis: which ends are fixed.
enum class PESManualScale : int
{
    None = 0,
    Min = 1,
    Max = 2,
    MinMax = 3
};

struct PESGraphScale
{
    PESManualScale control = PESManualScale::None;
    double min = 0.0;
    double max = 1.0;
    friend bool operator==(const PESGraphScale&, const PESGraphScale&) = default;
};

// Marks an owner lays over the plot for a while, not part of the content
// (never saved with the chart): spans of X (chart units, from <= to) shaded
// across the plot's height, and a level drawn as a dashed line with its
// text at the right end.
struct PESGraphMarks
{
    std::vector<std::pair<double, double>> spans;
    std::optional<double> level;
    QString levelText;
    QColor color = QColor(0xE0, 0x60, 0x00);
    friend bool operator==(const PESGraphMarks&, const PESGraphMarks&) = default;
};

struct PESGraphContent
{
    int points = 0;                                // every series has this many points
    std::vector<PESGraphSeries> series;            // one per subset
    std::map<int, PESGraphAnnotation> annotations; // by slot; absent slots read as default
    std::map<int, PESGraphVertLine> vertLines;     // by index (0 = cursor A, 1 = cursor B)
    PESGraphScale scaleX;
    PESGraphScale scaleY;
    friend bool operator==(const PESGraphContent&, const PESGraphContent&) = default;
};
