#pragma once

// The look of a chart: everything the customisation dialog edits and the
// customisation block carries (colours, fonts, titles, line styles and the
// behaviour switches). Data, scales, annotations and cursor lines are not
// part of it (see PESGraphContent).

#include <QColor>
#include <QString>
#include <vector>

// How the grid lines are drawn.
enum class PESGridStyle : int
{
    Thin = 0,
    Thick = 1,
    Dot = 2,
    Dash = 3,
    OnePixel = 4
};

// Which grid lines are drawn.
enum class PESGridLines : int
{
    Both = 0,
    YOnly = 1,
    XOnly = 2,
    None = 3
};

// Line type of a series.
enum class PESLineType : int
{
    ThinSolid = 0,
    Dash = 1,
    Dot = 2,
    DashDot = 3,
    DashDotDot = 4,
    MediumSolid = 5,
    ThickSolid = 6
};

// Zoom directions allowed for the rubber band.
enum class PESZoomMode : int
{
    None = 0,
    Horizontal = 1,
    Vertical = 2,
    Both = 3
};

// The mouse pointer over the chart: 1 arrow, 2 text (I-beam). A custom
// pointer is set with PESGraph::setCustomCursor.
enum class PESArrowCursor : int
{
    Arrow = 1,
    Text = 2
};

// A font described by value so that it serialises the same on every system.
struct PESFontSpec
{
    QString family;
    double pointSize = 9.0;
    bool bold = false;
    bool italic = false;
    friend bool operator==(const PESFontSpec&, const PESFontSpec&) = default;
};

struct PESGraphLook
{
    // Texts
    QString mainTitle;
    QString subTitle;
    QString xAxisLabel;
    QString yAxisLabel;

    // Colours. Foreground: axis lines, ticks, grid and plot frame. Text:
    // titles, tick labels and axis labels on the desk. Y axis colour: the Y
    // axis line, ticks and labels (invalid = foreground/text colours).
    // Annotation colour: annotations whose slot has no colour of its own.
    QColor graphForeColor;
    QColor graphBackColor;
    QColor deskColor;
    QColor textColor;
    QColor yAxisColor;
    QColor annotationColor;

    // Series styles by subset index; missing entries use a built-in palette.
    std::vector<QColor> subsetColors;
    std::vector<PESLineType> subsetLineTypes;

    PESGridStyle gridStyle = PESGridStyle::Dot;
    PESGridLines gridLines = PESGridLines::Both;

    PESFontSpec titleFont;
    PESFontSpec labelFont;
    PESFontSpec annotationFont;
    int lineAnnotationTextSize = 100;  // percent of the annotation font
    int graphAnnotationTextSize = 100; // percent of the annotation font

    // X axis: date-time labels from days since 30 December 1899 (local
    // wall-clock time) when on; plain numbers otherwise. X values are always
    // held in 64 bits; usingXDataII is kept for callers that set it.
    bool dateTimeMode = true;
    bool usingXDataII = true;

    // Behaviour switches.
    bool showGraphAnnotations = true;
    bool showVertLineAnnotations = true;
    bool allowDataHotSpots = false;
    bool allowVertLineAnnotHotSpots = false;
    bool allowGraphAnnotHotSpots = false;
    PESZoomMode allowZooming = PESZoomMode::Both;
    bool scrollingHorzZoom = true;
    bool scrollingVertZoom = true;
    bool allowPopup = true;
    PESArrowCursor arrowCursor = PESArrowCursor::Arrow;

    friend bool operator==(const PESGraphLook&, const PESGraphLook&) = default;

    // Colour of subset s, from subsetColors or the built-in palette.
    QColor subsetColor(int subset) const;
    PESLineType subsetLineType(int subset) const;

    // The items a chart prepared without a template gets: black plot area,
    // green foreground, black text, yellow series 0, red series 1, silver
    // desk, red Y axis, dotted grid, no main title, a blank subtitle, X axis
    // "Time" in date-time mode, zoom in both directions with scrolling, the
    // annotations and cursor lines shown and their text at 100 %, the arrow
    // pointer. Everything else (fonts, Y axis label, grid lines, hot-spot
    // switches but the cursor lines', popup, annotation colour) stays.
    void setProgramItems();

    // A neutral look: white plot on a light desk, dark text.
    static PESGraphLook neutral();
    // The program's graph look: the neutral look with the program's items
    // (setProgramItems) and white annotations.
    static PESGraphLook programDefault();
};

// Converts a colour value in the Windows layout 0x00BBGGRR.
QColor colorFromBgr(quint32 bgr);
