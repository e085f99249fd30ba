#pragma once

// Waiting for the window system before the main thread blocks. Under X11 a
// window shown just now can be painted only once the window system reports
// it exposed, and a window shown maximised gets its maximised size a little
// later still; both take passes of the event loop. A start-up that blocks
// before then leaves unpainted rectangles, laid out for the wrong size.

class QWidget;

namespace WindowOnScreen {

// The longest wait for the exposure, and the further wait for a maximised
// window's size once it is exposed (a desktop without a window manager never
// maximises anything).
inline constexpr int ExposeLimitMs = 1000;
inline constexpr int MaximiseLimitMs = 300;

// Runs the event loop, user input and socket notifications held back, until
// the top-level window is exposed and, when it is to be maximised, fills the
// available screen area; at most the limits above. Returns true when the
// window got there. The caller paints afterwards.
[[nodiscard]] bool waitUntilShown(QWidget& window);

// Whether the window's frame covers the available area of its screen.
[[nodiscard]] bool fillsAvailableScreen(const QWidget& window);

} // namespace WindowOnScreen
