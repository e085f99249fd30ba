#include "graph/PESGraphEnvelopeGraph.h"

#include <cmath>

PESGraphEnvelopeGraph::PESGraphEnvelopeGraph(QCPAxis* keyAxis, QCPAxis* valueAxis)
    : QCPGraph(keyAxis, valueAxis)
{
}

void PESGraphEnvelopeGraph::draw(QCPPainter* painter)
{
    // A printer or a PDF resolves far finer than a screen pixel column.
    everyPoint_ = painter->modes().testFlag(QCPPainter::pmVectorized);
    QCPGraph::draw(painter);
    everyPoint_ = false;
    // Exports draw with other modes, elsewhere than on screen.
    if (painter->modes() == QCPPainter::pmDefault) {
        shownEntries_ = data()->size();
        onlyAddedSinceShown_ = true;
        shownAsPlainLine_ = plainLine();
    }
}

bool PESGraphEnvelopeGraph::plainLine() const
{
    return lineStyle() == lsLine && brush().style() == Qt::NoBrush && scatterStyle().isNone() &&
           !selected();
}

bool PESGraphEnvelopeGraph::tailDrawable() const
{
    // A lone point's dot, drawn last time, must go with the second point.
    return onlyAddedSinceShown_ && shownAsPlainLine_ && plainLine() && shownEntries_ > 0 &&
           data()->size() > shownEntries_ && realVisibility();
}

QRect PESGraphEnvelopeGraph::drawTail(QCPPainter* painter)
{
    if (!tailDrawable())
        return {};
    const QCPGraphDataContainer& container = *data();
    const QVector<QCPGraphData> stretch(container.constBegin() + (shownEntries_ - 1),
                                        container.constEnd());
    shownEntries_ = container.size();
    const QVector<QPointF> lines = dataToLines(stretch);
    // As the layer draws its children: clipped to the plotting rectangle.
    const QRect clip = clipRect().translated(0, -1);
    painter->save();
    painter->setClipRect(clip);
    painter->setPen(pen());
    painter->setBrush(Qt::NoBrush);
    applyDefaultAntialiasingHint(painter);
    drawLinePlot(painter, lines);
    painter->restore();
    const int margin = int(std::ceil(pen().widthF())) + 2; // antialiased edges
    return QPolygonF(lines).boundingRect().toAlignedRect().adjusted(-margin, -margin, margin,
                                                                    margin) &
           clip;
}

bool PESGraphEnvelopeGraph::envelopeDrawable(int visibleEntries, Columns& columns) const
{
    const QCPAxis* axis = keyAxis();
    if (everyPoint_ || !axis || !axis->axisRect() || axis->scaleType() != QCPAxis::stLinear ||
        axis->rangeReversed() || axis->orientation() != Qt::Horizontal)
        return false;
    const QRect rect = axis->axisRect()->rect();
    columns = Columns{axis->range().lower, axis->range().upper, rect.left(), rect.width()};
    // Below this the line through every point costs no more.
    return columns.width > 0 && visibleEntries > 2 * columns.width;
}

int PESGraphEnvelopeGraph::columnOf(double key, const Columns& columns) const
{
    const double pixel = keyAxis()->coordToPixel(key) - columns.left;
    if (!(pixel >= 0.0))
        return -1;
    return pixel >= columns.width ? columns.width : int(pixel);
}

void PESGraphEnvelopeGraph::bringEnvelopeUpToDate(const Columns& columns) const
{
    const QCPGraphDataContainer& container = *data();
    if (!envelopeValid_ || !(columns == envelopeColumns_) ||
        envelope_.entriesAdded() > container.size()) {
        envelope_.reset(columns.width);
        envelopeColumns_ = columns;
        envelopeValid_ = true;
        envelopeUsable_ = true;
    }
    auto it = container.constBegin() + envelope_.entriesAdded();
    for (const auto end = container.constEnd(); it != end; ++it) {
        if (std::isnan(it->value))
            envelopeUsable_ = false;
        envelope_.add(columnOf(it->key, columns), it->value);
    }
}

void PESGraphEnvelopeGraph::getOptimizedLineData(
    QVector<QCPGraphData>* lineData, const QCPGraphDataContainer::const_iterator& begin,
    const QCPGraphDataContainer::const_iterator& end) const
{
    if (!lineData)
        return;
    Columns columns;
    lastLineFromEnvelope_ = false;
    if (envelopeDrawable(int(end - begin), columns)) {
        bringEnvelopeUpToDate(columns);
        lastLineFromEnvelope_ = envelopeUsable_;
    }
    if (!lastLineFromEnvelope_) {
        QCPGraph::getOptimizedLineData(lineData, begin, end);
        lastLineEntries_ = int(lineData->size());
        return;
    }
    entries_.clear();
    envelope_.entriesToDraw(entries_);
    const auto first = data()->constBegin();
    const int lo = int(begin - first);
    const int hi = int(end - first);
    lineData->clear();
    lineData->reserve(int(entries_.size()));
    for (int entry : entries_)
        if (entry >= lo && entry < hi)
            lineData->append(*(first + entry));
    lastLineEntries_ = int(lineData->size());
}
