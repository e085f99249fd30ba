#include "app/PanelClickArea.h"

#include <QMouseEvent>

PanelClickArea::PanelClickArea(const QString& name, const QRect& geometry, const QString& hint,
                               QWidget* parent)
    : QWidget(parent)
{
    setObjectName(name);
    setGeometry(geometry);
    setToolTip(hint);
    setCursor(Qt::PointingHandCursor);
}

void PanelClickArea::mousePressEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton) {
        event->ignore();
        return;
    }
    pressed_ = true;
    emit mouseDown();
}

void PanelClickArea::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !pressed_) {
        event->ignore();
        return;
    }
    pressed_ = false;
    emit mouseUp();
    if (rect().contains(event->position().toPoint()))
        emit clicked();
}
