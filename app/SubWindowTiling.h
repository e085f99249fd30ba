#pragma once

// Window > Tile for a work area that holds one window of fixed size (the
// control panel): that window keeps its place and size, and the others are
// tiled over the rest of the work area beside it.

#include <QList>
#include <QRect>

class QMdiArea;
class QMdiSubWindow;

namespace SubWindowTiling {

// `count` rectangles that cover `area` without gaps: ceil(sqrt(count))
// columns of equal width, left to right, each split into equal heights; the
// leftmost columns take one window more when the count does not divide.
// Empty for a count below 1 or an empty area.
[[nodiscard]] QList<QRect> tiles(const QRect& area, int count);

// The part of the work area (in viewport coordinates) left for the other
// windows: the wider of the strips right and left of `fixed` (the right one
// when they are equal), the whole area when `fixed` leaves no room.
[[nodiscard]] QRect areaBeside(const QRect& workArea, const QRect& fixed);

// Tiles the visible, not minimised subwindows of `area` in the order it
// lists them, above the captions of minimised windows along the bottom;
// `fixed` (may be null, hidden or minimised: then it takes no room) stays
// where it is.
void tileAround(QMdiArea& area, const QMdiSubWindow* fixed);

} // namespace SubWindowTiling
