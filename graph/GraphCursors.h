#pragma once

// The program's mouse pointer for placing a cross: 32 x 32, a thick diagonal
// cross whose centre lies 15 pixels right of and below the hot spot (0, 0),
// so that the window shifts the click position to the centre of the picture.

#include <QCursor>

namespace GraphCursors {
inline constexpr int kCrossCentreOffset = 15;
[[nodiscard]] QCursor cross();
} // namespace GraphCursors
