#pragma once

// The line of one series on screen. A series with more points than the
// chart has half-pixels across is drawn through the entries that hold each
// pixel column's first, lowest, highest and last level (PixelColumnEnvelope):
// the same picture as the line through every point, at a cost that follows
// the chart's width instead of the series' length. The envelope is kept up to
// date entry by entry while the container grows at its end, and built afresh
// when the visible X range or the plot's width changes or forgetEnvelope()
// says the container changed otherwise. Vector output (printing, PDF) is
// drawn by the plot's own line, as before. The container itself stays
// complete: hot spots, ranges, files and statistics read the full data.
//
// While a recording only adds entries, drawTail() adds the line from the
// last entry drawn on screen to the newest one to what is already drawn, so
// that the rest of the chart need not be drawn again for a sample.

#include "graph/PixelColumnEnvelope.h"

#include <qcustomplot.h>
#include <vector>

class PESGraphEnvelopeGraph : public QCPGraph
{
public:
    PESGraphEnvelopeGraph(QCPAxis* keyAxis, QCPAxis* valueAxis);

    // To be called when entries of the container were changed, removed or
    // inserted other than by adding them at its end.
    void forgetEnvelope()
    {
        envelopeValid_ = false;
        onlyAddedSinceShown_ = false;
    }

    // Whether drawTail() can bring the screen up to date: entries were only
    // added at the end since the graph was last drawn on screen, and it
    // draws a plain line.
    [[nodiscard]] bool tailDrawable() const;
    // Draws the line through the entries added since, from the last entry
    // drawn, onto `painter` (the graph's layer as the plot last drew it);
    // returns the pixels touched.
    QRect drawTail(QCPPainter* painter);

    // How many entries the last drawing of the line took, and whether they
    // came from the envelope (not from every visible point).
    [[nodiscard]] int lastLineEntries() const { return lastLineEntries_; }
    [[nodiscard]] bool lastLineFromEnvelope() const { return lastLineFromEnvelope_; }

protected:
    void draw(QCPPainter* painter) override;
    void getOptimizedLineData(QVector<QCPGraphData>* lineData,
                              const QCPGraphDataContainer::const_iterator& begin,
                              const QCPGraphDataContainer::const_iterator& end) const override;

private:
    // Where the key axis puts the columns.
    struct Columns
    {
        double lower = 0.0;
        double upper = 0.0;
        int left = 0;
        int width = 0;
        bool operator==(const Columns&) const = default;
    };
    [[nodiscard]] bool envelopeDrawable(int visibleEntries, Columns& columns) const;
    void bringEnvelopeUpToDate(const Columns& columns) const;
    [[nodiscard]] int columnOf(double key, const Columns& columns) const;
    [[nodiscard]] bool plainLine() const; // a line alone: no dots, fill or selection

    bool everyPoint_ = false; // drawing for vector output
    mutable PixelColumnEnvelope envelope_;
    mutable Columns envelopeColumns_;
    mutable bool envelopeValid_ = false;
    mutable bool envelopeUsable_ = true; // false once a gap (NaN) was added
    mutable std::vector<int> entries_;
    mutable int lastLineEntries_ = 0;
    mutable bool lastLineFromEnvelope_ = false;
    int shownEntries_ = 0; // entries of the container when last drawn on screen
    bool onlyAddedSinceShown_ = false;
    bool shownAsPlainLine_ = false;
};
