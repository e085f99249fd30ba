#pragma once

// The seven-segment digit pictures "LCD0" to "LCD15" of the program's
// resources, 17 x 28 pixels each: digits 0 to 9, a blank (10), the dash
// (11, 12), L (13), E (14) and r (15). Loaded once by the main window and
// shared by every control panel it creates.

#include <QPixmap>
#include <QSize>

#include <array>

class DigitImages
{
public:
    static constexpr int Count = 16;
    static constexpr QSize ImageSize{17, 28};

    // Loads all sixteen pictures; false when one is missing or has the wrong
    // size (the others are still loaded).
    [[nodiscard]] bool load();

    // The picture of an index 0..15; a null pixmap for any other index.
    [[nodiscard]] const QPixmap& at(int index) const;

private:
    std::array<QPixmap, Count> images_;
};
