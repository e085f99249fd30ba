#include "app/ChildWindowIcons.h"

#include <QChildEvent>
#include <QMdiArea>
#include <QMdiSubWindow>

ChildWindowIcons::ChildWindowIcons(QMdiArea& area, QIcon icon)
    : QObject(&area), icon_(std::move(icon))
{
    // The subwindows are children of the viewport; a child is polished,
    // complete, before it is first shown.
    area.viewport()->installEventFilter(this);
}

bool ChildWindowIcons::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::ChildPolished) {
        auto* window = qobject_cast<QMdiSubWindow*>(static_cast<QChildEvent*>(event)->child());
        if (window && !window->testAttribute(Qt::WA_SetWindowIcon))
            window->setWindowIcon(icon_);
    }
    return QObject::eventFilter(watched, event);
}
