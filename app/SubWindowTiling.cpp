#include "app/SubWindowTiling.h"

#include <QMdiArea>
#include <QMdiSubWindow>

#include <algorithm>
#include <cmath>

namespace SubWindowTiling {

QList<QRect> tiles(const QRect& area, int count)
{
    QList<QRect> result;
    if (count < 1 || area.isEmpty())
        return result;
    const int columns = int(std::ceil(std::sqrt(double(count))));
    const int shortRows = count / columns;
    const int tallerColumns = count % columns;
    for (int column = 0; column < columns; ++column) {
        const int rows = shortRows + (column < tallerColumns ? 1 : 0);
        if (rows == 0)
            continue;
        // Edges from the area's extent, so that rounding leaves no gap.
        const int left = area.left() + area.width() * column / columns;
        const int right = area.left() + area.width() * (column + 1) / columns;
        for (int row = 0; row < rows; ++row) {
            const int top = area.top() + area.height() * row / rows;
            const int bottom = area.top() + area.height() * (row + 1) / rows;
            result << QRect(left, top, right - left, bottom - top);
        }
    }
    return result;
}

QRect areaBeside(const QRect& workArea, const QRect& fixed)
{
    QRect right = workArea;
    right.setLeft(fixed.right() + 1);
    QRect left = workArea;
    left.setRight(fixed.left() - 1);
    const int rightWidth = right.isEmpty() ? 0 : right.width();
    const int leftWidth = left.isEmpty() ? 0 : left.width();
    if (rightWidth == 0 && leftWidth == 0)
        return workArea;
    return rightWidth >= leftWidth ? right : left;
}

void tileAround(QMdiArea& area, const QMdiSubWindow* fixed)
{
    const bool fixedTakesRoom = fixed && fixed->isVisible() && !fixed->isMinimized();
    QList<QMdiSubWindow*> others;
    for (QMdiSubWindow* window : area.subWindowList())
        if (window != fixed && window->isVisible() && !window->isMinimized())
            others << window;
    QRect workArea = area.viewport()->rect();
    // Minimised windows keep their captions along the bottom, uncovered.
    for (const QMdiSubWindow* window : area.subWindowList())
        if (window->isVisible() && window->isMinimized() && window->y() > workArea.center().y())
            workArea.setBottom(std::min(workArea.bottom(), window->y() - 1));
    const QRect room = fixedTakesRoom ? areaBeside(workArea, fixed->geometry()) : workArea;
    const QList<QRect> places = tiles(room, int(others.size()));
    for (int i = 0; i < others.size(); ++i) {
        if (others[i]->isMaximized())
            others[i]->showNormal();
        others[i]->setGeometry(places[i]);
    }
}

} // namespace SubWindowTiling
