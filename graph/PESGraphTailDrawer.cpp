#include "graph/PESGraphTailDrawer.h"

#include "graph/PESGraphEnvelopeGraph.h"

namespace {
// The paint buffer a layer of its own draws into; the plot keeps it for the
// layer between replots.
struct LayerPaintBuffer : QCPLayer
{
    static QSharedPointer<QCPAbstractPaintBuffer> of(QCPLayer* layer)
    {
        return (layer->*(&LayerPaintBuffer::mPaintBuffer)).toStrongRef();
    }
};
} // namespace

void PESGraphTailDrawer::replotted(const PESGraphLook& look, const PESGraphContent& content)
{
    shown_ = Shown{look,
                   content.annotations,
                   content.vertLines,
                   plot_->xAxis->range(),
                   plot_->yAxis->range(),
                   plot_->size(),
                   plot_->axisRect()->rect()};
}

bool PESGraphTailDrawer::unchangedSince(const PESGraphLook& look,
                                        const PESGraphContent& content) const
{
    return shown_ && shown_->size == plot_->size() &&
           shown_->plotting == plot_->axisRect()->rect() && shown_->x == plot_->xAxis->range() &&
           shown_->y == plot_->yAxis->range() && shown_->look == look &&
           shown_->annotations == content.annotations && shown_->vertLines == content.vertLines;
}

bool PESGraphTailDrawer::drawTail(const PESGraphLook& look, const PESGraphContent& content,
                                  PESGraphEnvelopeGraph& graph)
{
    QCPLayer* layer = graph.layer();
    if (!graph.tailDrawable() || !layer || layer->mode() != QCPLayer::lmBuffered ||
        !unchangedSince(look, content))
        return false;
    const QSharedPointer<QCPAbstractPaintBuffer> buffer = LayerPaintBuffer::of(layer);
    if (!buffer || buffer->invalidated() || buffer->size() != plot_->size())
        return false;
    QCPPainter* painter = buffer->startPainting();
    if (!painter)
        return false;
    QRect touched;
    if (painter->isActive())
        touched = graph.drawTail(painter);
    delete painter;
    buffer->donePainting();
    if (touched.isEmpty())
        return !graph.tailDrawable(); // drawn off the plot, or not at all
    plot_->update(touched);
    return true;
}
