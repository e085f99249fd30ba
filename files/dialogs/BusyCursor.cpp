#include "files/dialogs/BusyCursor.h"

#include <QApplication>

BusyCursor::BusyCursor(QWidget* window)
{
    QApplication::setOverrideCursor(Qt::WaitCursor);
    if (window && window->isVisible())
        window->repaint();
}

BusyCursor::~BusyCursor()
{
    QApplication::restoreOverrideCursor();
}

BusyCursor::Pause::Pause()
{
    // Only where a busy cursor is up: a question outside any blocking
    // command keeps whatever the user set.
    if (const QCursor* current = QApplication::overrideCursor();
        current && current->shape() == Qt::WaitCursor) {
        QApplication::setOverrideCursor(Qt::ArrowCursor);
        paused_ = true;
    }
}

BusyCursor::Pause::~Pause()
{
    if (paused_)
        QApplication::restoreOverrideCursor();
}
