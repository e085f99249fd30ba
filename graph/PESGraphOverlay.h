#pragma once

// Draws the chart's marks (shaded spans, a level line), vertical cursor
// lines and graph annotations over the plot area, and finds the lines and
// annotations under a pixel for the hot-spot reports. It reads the look,
// content and marks of its PESGraph, which outlives it.

#include "graph/PESGraphContent.h"
#include "graph/PESGraphLook.h"

#include <optional>
#include <qcustomplot.h>

class PESGraphOverlay : public QCPLayerable
{
public:
    PESGraphOverlay(QCustomPlot* plot, QCPAxisRect* axisRect, const PESGraphLook& look,
                    const PESGraphContent& content, const PESGraphMarks& marks);

    // Hot spots at a pixel of the plot widget.
    std::optional<int> vertLineAt(const QPointF& pos) const;
    std::optional<int> annotationAt(const QPointF& pos) const;

    // The text drawn for a vertical line: the position marker removed and
    // line breaks unified. Also tells whether it goes at the bottom.
    static QString displayText(const QString& text, bool* atBottom = nullptr);

protected:
    void applyDefaultAntialiasingHint(QCPPainter* painter) const override;
    QRect clipRect() const override;
    void draw(QCPPainter* painter) override;

private:
    struct LineShape
    {
        int index;
        double px;
        QColor color;
        QString text;
        QRectF textBox;
    };
    struct AnnotationShape
    {
        int slot;
        QPointF at;
        bool cross;
        QColor color;
        QString text;
        QRectF textBox;
    };

    double keyOf(double x) const;
    QFont fontPercent(int percent) const;
    std::vector<LineShape> lineShapes() const;
    std::vector<AnnotationShape> annotationShapes() const;
    void drawMarks(QCPPainter* painter) const;

    QCPAxisRect* axisRect_;
    const PESGraphLook& look_;
    const PESGraphContent& content_;
    const PESGraphMarks& marks_;
};
