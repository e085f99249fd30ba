#include "files/dialogs/MessageBoxes.h"

#include "files/dialogs/BusyCursor.h"

#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>

namespace MessageBoxes {
namespace {
// The title bar's own icon and its three buttons, with some air.
constexpr int TitleBarDecoration = 170;
constexpr int LeastWidth = 280;
} // namespace

int minimumWidthFor(const QString& title, const QFont& font)
{
    return std::max(LeastWidth, QFontMetrics(font).horizontalAdvance(title) + TitleBarDecoration);
}

void widen(QMessageBox& box)
{
    // The box fixes its own size from its layout's least size when shown,
    // so a minimum width set on the box itself would be overruled; a
    // spacer as wide as needed across the layout's columns is not.
    auto* grid = qobject_cast<QGridLayout*>(box.layout());
    if (!grid)
        return;
    const int width = minimumWidthFor(box.windowTitle(), box.font());
    grid->addItem(new QSpacerItem(width, 0, QSizePolicy::Fixed, QSizePolicy::Minimum),
                  grid->rowCount(), 0, 1, grid->columnCount());
}

QMessageBox::StandardButton show(QWidget* parent, QMessageBox::Icon icon, const QString& title,
                                 const QString& text, QMessageBox::StandardButtons buttons)
{
    const BusyCursor::Pause arrow;
    QMessageBox box(icon, title, text, buttons, parent);
    widen(box);
    const int result = box.exec();
    const QMessageBox::StandardButton chosen = box.standardButton(box.clickedButton());
    if (chosen != QMessageBox::NoButton)
        return chosen;
    return result == QMessageBox::NoButton ? QMessageBox::Cancel
                                           : QMessageBox::StandardButton(result);
}

} // namespace MessageBoxes
