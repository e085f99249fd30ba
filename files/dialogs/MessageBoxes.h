#pragma once

// Message boxes wide enough for their title. A box sizes itself to its text
// alone; under a window manager a short text ("invalid integer") gives a box
// whose title bar, beside its icon and buttons, has room for "…" only.

#include <QMessageBox>

class QFont;

namespace MessageBoxes {

// The least width in pixels that shows this title in a window manager's
// title bar, with room for the bar's icon and buttons.
[[nodiscard]] int minimumWidthFor(const QString& title, const QFont& font);

// Keeps the box at least minimumWidthFor(its title) wide. Call it once the
// box's texts and buttons are set: some of the box's setters lay it out anew.
void widen(QMessageBox& box);

// A modal box of this icon, title, text and buttons, widened; the button
// chosen (Cancel or the escape button when the box was closed).
QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                 const QString& text,
                                 QMessageBox::StandardButtons buttons = QMessageBox::Ok);

} // namespace MessageBoxes
