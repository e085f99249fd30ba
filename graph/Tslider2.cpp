#include "graph/Tslider2.h"

#include <QMouseEvent>
#include <QPainter>
#include <QPolygon>

#include <algorithm>
#include <limits>

namespace {
int toInt(qint64 v)
{
    return int(
        std::clamp<qint64>(v, std::numeric_limits<int>::min(), std::numeric_limits<int>::max()));
}
} // namespace

Tslider2::Tslider2(QWidget* parent)
    : QWidget(parent), m_trackColor(palette().color(QPalette::Button)),
      m_thumbColor(palette().color(QPalette::Button))
{
    resize(sizeHint());
}

void Tslider2::SetTrackWidth(int width)
{
    if (width == m_trackWidth)
        return;
    m_trackWidth = width;
    update();
}

void Tslider2::SetTrackColor(const QColor& color)
{
    if (color == m_trackColor)
        return;
    m_trackColor = color;
    update();
}

void Tslider2::SetThumbHeight(int height)
{
    if (height == m_thumbHeight)
        return;
    m_thumbHeight = height;
    update();
}

void Tslider2::SetThumbWidth(int width)
{
    if (width == m_thumbWidth)
        return;
    m_thumbWidth = width;
    update();
}

void Tslider2::SetThumbColor(const QColor& color)
{
    if (color == m_thumbColor)
        return;
    m_thumbColor = color;
    update();
}

void Tslider2::SetOrientation(TSliderOrientation orientation)
{
    if (orientation == m_orientation)
        return;
    m_orientation = orientation;
    update();
}

void Tslider2::SetMin(int minimum)
{
    if (minimum == m_minimum)
        return;
    m_minimum = minimum;
    if (m_value1 < minimum)
        SetValue1(minimum);
    if (m_value2 < m_minimum)
        SetValue2(m_minimum);
    update();
}

void Tslider2::SetMax(int maximum)
{
    if (maximum == m_maximum)
        return;
    m_maximum = maximum;
    if (m_value1 > maximum)
        SetValue1(maximum);
    if (m_value2 > m_maximum)
        SetValue2(m_maximum);
    update();
}

int Tslider2::clamped(int value) const
{
    if (value < m_minimum)
        return m_minimum;
    if (value > m_maximum)
        return m_maximum;
    return value;
}

void Tslider2::SetValue1(int value)
{
    value = clamped(value);
    if (value == m_value1)
        return;
    const QRect before = thumbRect1();
    m_value1 = value;
    emit valueChange1();
    thumbMoved(before, thumbRect1());
}

void Tslider2::SetValue2(int value)
{
    value = clamped(value);
    if (value == m_value2)
        return;
    const QRect before = thumbRect2();
    m_value2 = value;
    emit valueChange2();
    thumbMoved(before, thumbRect2());
}

void Tslider2::thumbMoved(const QRect& before, const QRect& after)
{
    // Only the strips the thumb leaves and enters need drawing again; the
    // backing store keeps everything else, track included.
    if (m_paintedOnce)
        update(QRegion(before) + QRegion(after));
}

int Tslider2::trackLength() const
{
    return m_orientation == slHoriz ? width() : height();
}

int Tslider2::positionOf(int value) const
{
    const qint64 travel = qint64(trackLength()) - m_thumbHeight;
    const qint64 range = qint64(m_maximum) - m_minimum;
    if (range == 0 || travel <= 0)
        return 0;
    return toInt(travel * (qint64(value) - m_minimum) / range);
}

QRect Tslider2::thumbRectAt(int value) const
{
    const int pos = positionOf(value);
    if (m_orientation == slHoriz)
        return QRect(pos, 0, m_thumbHeight, height());
    const int bottom = height() - pos;
    return QRect(0, bottom - m_thumbHeight, width(), m_thumbHeight);
}

int Tslider2::draggedValue(const Drag& drag, QPoint position) const
{
    const qint64 range = qint64(m_maximum) - m_minimum;
    const qint64 travel = qint64(trackLength()) - m_thumbHeight;
    if (range == 0 || travel <= 0)
        return drag.startValue;
    // Product first, then a division that truncates toward zero.
    const qint64 moved = m_orientation == slHoriz
                             ? range * (position.x() - drag.start.x()) / travel
                             : (qint64(drag.start.y()) - position.y()) * range / travel;
    return toInt(moved + drag.startValue);
}

void Tslider2::mousePressEvent(QMouseEvent* event)
{
    const QPoint at = event->position().toPoint();
    if (event->button() == Qt::LeftButton) {
        Drag* grabbed = nullptr;
        int value = 0;
        if (thumbRect1().contains(at)) {
            grabbed = &m_drag1;
            value = m_value1;
        } else if (thumbRect2().contains(at)) {
            grabbed = &m_drag2;
            value = m_value2;
        }
        if (grabbed) {
            *grabbed = Drag{true, at, value};
            event->accept();
            return;
        }
    }
    emit mouseDown(event->button(), at);
    QWidget::mousePressEvent(event);
}

void Tslider2::mouseMoveEvent(QMouseEvent* event)
{
    if (!m_drag1.active && !m_drag2.active) {
        QWidget::mouseMoveEvent(event);
        return;
    }
    const QPoint at = event->position().toPoint();
    if (m_drag1.active)
        SetValue1(draggedValue(m_drag1, at));
    if (m_drag2.active)
        SetValue2(draggedValue(m_drag2, at));
    event->accept();
}

void Tslider2::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton) {
        m_drag1.active = false;
        m_drag2.active = false;
    }
    QWidget::mouseReleaseEvent(event);
}

void Tslider2::paintEvent(QPaintEvent* /*event*/)
{
    m_paintedOnce = true;
    QPainter painter(this);
    painter.fillRect(rect(), palette().color(QPalette::Window));
    drawTrack(painter);
    // Thumb 1 on top: it is the one a press on the overlap grabs.
    drawThumb(painter, thumbRect2());
    drawThumb(painter, thumbRect1());
}

void Tslider2::drawTrack(QPainter& painter) const
{
    QRect track;
    if (m_orientation == slHoriz)
        track = QRect(0, (height() - m_trackWidth) / 2, width(), m_trackWidth);
    else
        track = QRect((width() - m_trackWidth) / 2, 0, m_trackWidth, height());
    if (track.isEmpty())
        return;
    painter.setPen(palette().color(QPalette::Light));
    painter.setBrush(m_trackColor);
    painter.drawRect(track.adjusted(0, 0, -1, -1));
    // Shadow on the top and left edges makes it a sunken groove.
    painter.setPen(palette().color(QPalette::Dark));
    painter.drawLine(track.topLeft(), track.topRight());
    painter.drawLine(track.topLeft(), track.bottomLeft());
}

void Tslider2::drawThumb(QPainter& painter, const QRect& r) const
{
    if (r.width() <= 0 || r.height() <= 0)
        return;
    const int left = r.left();
    const int top = r.top();
    const int right = r.right();
    const int bottom = r.bottom();
    if (m_orientation == slHoriz) {
        // A pointer: the lower third narrows to the middle of the bottom edge.
        const int shoulder = top + (r.height() * 2) / 3;
        const QPoint tip(left + r.width() / 2, bottom);
        painter.setPen(Qt::NoPen);
        painter.setBrush(m_thumbColor);
        painter.drawPolygon(QPolygon({QPoint(left, top), QPoint(right, top),
                                      QPoint(right, shoulder), tip, QPoint(left, shoulder)}));
        painter.setPen(Qt::white);
        painter.drawLine(left, top, right, top);
        painter.drawLine(left, top, left, shoulder);
        painter.setPen(palette().color(QPalette::Shadow));
        painter.drawLine(right, top, right, shoulder);
        painter.drawLine(QPoint(right, shoulder), tip);
        painter.drawLine(QPoint(left, shoulder), tip);
        return;
    }
    painter.setPen(palette().color(QPalette::Light));
    painter.setBrush(m_thumbColor);
    painter.drawRect(r.adjusted(0, 0, -1, -1));
    painter.setPen(palette().color(QPalette::Dark));
    if (r.width() > 2 && r.height() > 2) {
        painter.drawLine(left + 1, top + 1, right - 1, top + 1);
        painter.drawLine(left + 1, top + 1, left + 1, bottom - 1);
    }
    painter.drawLine(left, bottom, right, bottom);
    painter.drawLine(right, top, right, bottom);
}
