#pragma once

// The arithmetic of the list window's printout: one line per grid row (the
// heading row first), L lines per page, line i on page i / L at
// y = (i mod L) * h + h. A line holds the cells of columns 0 to 5 (column 6
// is never printed); each cell of fewer than w characters (w = 17 for the
// Time column 2, else 10) is followed by (w - length) copies of two blanks.

#include "files/formats/TabularTable.h"

#include <QString>

namespace GridPrintout {

[[nodiscard]] int fieldWidth(int column);
[[nodiscard]] QString line(const TabularTable& table, int gridRow);
// Lines per page for a page height and a line pitch (both in device pixels); at least 1.
[[nodiscard]] int linesPerPage(int pageHeight, int linePitch);

struct Placement
{
    int page = 0; // 0-based
    int y = 0;    // baseline offset from the page top, device pixels
};
[[nodiscard]] Placement place(int gridRow, int linesPerPage, int linePitch);

} // namespace GridPrintout
