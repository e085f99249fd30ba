#pragma once

// Brings a chart's screen up to date after a recording added samples,
// without drawing the chart again: when nothing but the series' new end
// changed since the plot was last drawn (same look, annotations, cursor
// lines, ranges and size), the line from the last sample drawn to the newest
// is added to the paint buffer of the series' own layer, and only the pixels
// it touched are repainted. Anything else asks for a full replot.

#include "graph/PESGraphContent.h"
#include "graph/PESGraphLook.h"

#include <qcustomplot.h>

class PESGraphEnvelopeGraph;

class PESGraphTailDrawer
{
public:
    explicit PESGraphTailDrawer(QCustomPlot* plot) : plot_(plot) {}

    // The plot was drawn with this look and content (after each replot).
    void replotted(const PESGraphLook& look, const PESGraphContent& content);

    // Adds the new end of `graph`'s line to the screen; false when a full
    // replot is needed instead (then nothing was drawn).
    [[nodiscard]] bool drawTail(const PESGraphLook& look, const PESGraphContent& content,
                                PESGraphEnvelopeGraph& graph);

private:
    struct Shown
    {
        PESGraphLook look;
        std::map<int, PESGraphAnnotation> annotations;
        std::map<int, PESGraphVertLine> vertLines;
        QCPRange x;
        QCPRange y;
        QSize size;
        QRect plotting;
    };
    [[nodiscard]] bool unchangedSince(const PESGraphLook& look,
                                      const PESGraphContent& content) const;

    QCustomPlot* plot_;
    std::optional<Shown> shown_;
};
