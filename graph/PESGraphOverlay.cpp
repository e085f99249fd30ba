#include "graph/PESGraphOverlay.h"

#include "graph/PESGraphTime.h"

#include <QRegularExpression>

#include <algorithm>

namespace {
constexpr double kTextPadding = 3.0;
constexpr double kCrossHalfSize = 5.0;
constexpr double kLineGrabDistance = 4.0;

QColor contrastingTextColor(const QColor& background)
{
    return qGray(background.rgb()) > 140 ? Qt::black : Qt::white;
}

QSizeF textSize(const QFont& font, const QString& text)
{
    const QFontMetricsF metrics(font);
    return metrics.size(0, text) + QSizeF(2 * kTextPadding, 2 * kTextPadding);
}
} // namespace

PESGraphOverlay::PESGraphOverlay(QCustomPlot* plot, QCPAxisRect* axisRect, const PESGraphLook& look,
                                 const PESGraphContent& content, const PESGraphMarks& marks)
    : QCPLayerable(plot), axisRect_(axisRect), look_(look), content_(content), marks_(marks)
{
}

QString PESGraphOverlay::displayText(const QString& text, bool* atBottom)
{
    QString shown = text;
    bool bottom = false;
    if (shown.startsWith(QLatin1String("|t"))) {
        shown.remove(0, 2);
    } else if (shown.startsWith(QLatin1String("|b"))) {
        shown.remove(0, 2);
        bottom = true;
    }
    if (atBottom)
        *atBottom = bottom;
    static const QRegularExpression breaks(QStringLiteral("\r\n|\r"));
    shown.replace(breaks, QStringLiteral("\n"));
    return shown;
}

double PESGraphOverlay::keyOf(double x) const
{
    return look_.dateTimeMode ? PESGraphTime::daysToKey(x) : x;
}

QFont PESGraphOverlay::fontPercent(int percent) const
{
    QFont font(look_.annotationFont.family);
    font.setPointSizeF(std::max(4.0, look_.annotationFont.pointSize * percent / 100.0));
    font.setBold(look_.annotationFont.bold);
    font.setItalic(look_.annotationFont.italic);
    return font;
}

void PESGraphOverlay::applyDefaultAntialiasingHint(QCPPainter* painter) const
{
    applyAntialiasingHint(painter, true, QCP::aeItems);
}

QRect PESGraphOverlay::clipRect() const
{
    return axisRect_->rect();
}

std::vector<PESGraphOverlay::LineShape> PESGraphOverlay::lineShapes() const
{
    std::vector<LineShape> shapes;
    if (!look_.showVertLineAnnotations)
        return shapes;
    const QRectF area = axisRect_->rect();
    const QFont font = fontPercent(look_.lineAnnotationTextSize);
    std::vector<QRectF> placed;
    for (const auto& [index, line] : content_.vertLines) {
        const double px = axisRect_->axis(QCPAxis::atBottom)->coordToPixel(keyOf(line.x));
        if (!(px >= area.left() - 1 && px <= area.right() + 1))
            continue;
        bool atBottom = false;
        LineShape shape{index,
                        px,
                        line.color.isValid() ? line.color : look_.annotationColor,
                        displayText(line.text, &atBottom),
                        {}};
        if (!shape.text.isEmpty()) {
            const QSizeF size = textSize(font, shape.text);
            double left = px + 2;
            if (left + size.width() > area.right())
                left = px - 2 - size.width();
            double top = atBottom ? area.bottom() - 2 - size.height() : area.top() + 2;
            QRectF box(QPointF(left, top), size);
            // Keep the flags of nearby lines from covering each other.
            for (bool moved = true; moved;) {
                moved = false;
                for (const QRectF& other : placed) {
                    if (box.intersects(other)) {
                        box.moveTop(atBottom ? other.top() - size.height() - 2
                                             : other.bottom() + 2);
                        moved = true;
                    }
                }
            }
            placed.push_back(box);
            shape.textBox = box;
        }
        shapes.push_back(shape);
    }
    return shapes;
}

std::vector<PESGraphOverlay::AnnotationShape> PESGraphOverlay::annotationShapes() const
{
    std::vector<AnnotationShape> shapes;
    if (!look_.showGraphAnnotations)
        return shapes;
    const QFont font = fontPercent(look_.graphAnnotationTextSize);
    const QCPAxis* xAxis = axisRect_->axis(QCPAxis::atBottom);
    const QCPAxis* yAxis = axisRect_->axis(QCPAxis::atLeft);
    for (const auto& [slot, a] : content_.annotations) {
        const bool cross = a.type == PESAnnotationType::Cross;
        if (!cross && a.text.isEmpty())
            continue;
        const QPointF at(xAxis->coordToPixel(keyOf(a.x)), yAxis->coordToPixel(a.y));
        AnnotationShape shape{slot,
                              at,
                              cross,
                              a.color.isValid() ? a.color : look_.annotationColor,
                              displayText(a.text),
                              {}};
        if (!shape.text.isEmpty()) {
            const QSizeF size = textSize(font, shape.text);
            const double left = cross ? at.x() + kCrossHalfSize + 2 : at.x();
            shape.textBox = QRectF(QPointF(left, at.y() - size.height() / 2), size);
        }
        shapes.push_back(shape);
    }
    return shapes;
}

void PESGraphOverlay::drawMarks(QCPPainter* painter) const
{
    const QRectF area = axisRect_->rect();
    const QCPAxis* xAxis = axisRect_->axis(QCPAxis::atBottom);
    QColor shade = marks_.color;
    shade.setAlpha(60);
    painter->setPen(Qt::NoPen);
    painter->setBrush(shade);
    for (const auto& [from, to] : marks_.spans) {
        double left = xAxis->coordToPixel(keyOf(from));
        double right = xAxis->coordToPixel(keyOf(to));
        if (left > right)
            std::swap(left, right);
        if (right < area.left() || left > area.right())
            continue;
        // At least a pixel wide, so that a short span stays visible zoomed out.
        left = std::max(left, area.left());
        right = std::min(std::max(right, left + 1.0), area.right() + 1.0);
        painter->drawRect(QRectF(left, area.top(), right - left, area.height()));
    }
    painter->setBrush(Qt::NoBrush);
    if (!marks_.level)
        return;
    const double y = axisRect_->axis(QCPAxis::atLeft)->coordToPixel(*marks_.level);
    if (y < area.top() || y > area.bottom())
        return;
    painter->setPen(QPen(marks_.color, 1.5, Qt::DashLine));
    painter->drawLine(QPointF(area.left(), y), QPointF(area.right(), y));
    if (marks_.levelText.isEmpty())
        return;
    const QFont font = fontPercent(look_.lineAnnotationTextSize);
    const QSizeF size = textSize(font, marks_.levelText);
    const QRectF box(QPointF(area.right() - size.width() - 2, y - size.height() - 1), size);
    painter->setFont(font);
    painter->setPen(marks_.color);
    painter->drawText(box.adjusted(kTextPadding, kTextPadding, 0, 0), Qt::AlignLeft | Qt::AlignTop,
                      marks_.levelText);
}

void PESGraphOverlay::draw(QCPPainter* painter)
{
    drawMarks(painter);
    const QRectF area = axisRect_->rect();
    const QFont annotationFont = fontPercent(look_.graphAnnotationTextSize);
    QColor backdrop = look_.graphBackColor;
    backdrop.setAlpha(170);
    for (const AnnotationShape& shape : annotationShapes()) {
        if (shape.cross) {
            painter->setPen(QPen(shape.color, 2));
            const double d = kCrossHalfSize;
            painter->drawLine(shape.at + QPointF(-d, -d), shape.at + QPointF(d, d));
            painter->drawLine(shape.at + QPointF(-d, d), shape.at + QPointF(d, -d));
        }
        if (!shape.text.isEmpty()) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(backdrop);
            painter->drawRect(shape.textBox);
            painter->setBrush(Qt::NoBrush);
            painter->setFont(annotationFont);
            painter->setPen(shape.color);
            painter->drawText(shape.textBox.adjusted(kTextPadding, kTextPadding, 0, 0),
                              Qt::AlignLeft | Qt::AlignTop, shape.text);
        }
    }
    const QFont lineFont = fontPercent(look_.lineAnnotationTextSize);
    for (const LineShape& shape : lineShapes()) {
        painter->setPen(QPen(shape.color, 1.5));
        painter->drawLine(QPointF(shape.px, area.top()), QPointF(shape.px, area.bottom()));
        if (!shape.text.isEmpty()) {
            painter->setPen(Qt::NoPen);
            painter->setBrush(shape.color);
            painter->drawRect(shape.textBox);
            painter->setBrush(Qt::NoBrush);
            painter->setFont(lineFont);
            painter->setPen(contrastingTextColor(shape.color));
            painter->drawText(shape.textBox.adjusted(kTextPadding, kTextPadding, 0, 0),
                              Qt::AlignLeft | Qt::AlignTop, shape.text);
        }
    }
}

std::optional<int> PESGraphOverlay::vertLineAt(const QPointF& pos) const
{
    const QRectF area = axisRect_->rect();
    if (!area.adjusted(-kLineGrabDistance, 0, kLineGrabDistance, 0).contains(pos))
        return std::nullopt;
    std::optional<int> best;
    double bestDistance = kLineGrabDistance + 0.5;
    for (const LineShape& shape : lineShapes()) {
        const double distance = std::abs(pos.x() - shape.px);
        if (distance < bestDistance || shape.textBox.contains(pos)) {
            bestDistance = shape.textBox.contains(pos) ? 0.0 : distance;
            best = shape.index;
        }
    }
    return best;
}

std::optional<int> PESGraphOverlay::annotationAt(const QPointF& pos) const
{
    if (!QRectF(axisRect_->rect()).contains(pos))
        return std::nullopt;
    std::optional<int> found;
    for (const AnnotationShape& shape : annotationShapes()) {
        const QRectF crossBox(shape.at - QPointF(kCrossHalfSize + 1, kCrossHalfSize + 1),
                              QSizeF(2 * kCrossHalfSize + 2, 2 * kCrossHalfSize + 2));
        if ((shape.cross && crossBox.contains(pos)) || shape.textBox.contains(pos))
            found = shape.slot; // the last drawn lies on top
    }
    return found;
}
