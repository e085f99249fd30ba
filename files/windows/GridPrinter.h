#pragma once

// Paints a list window's table on a printer: one line of GridPrintout per
// grid row in a fixed-pitch font of 8 points, the heading row first. The
// line pitch is measured on the printer itself (the font's height plus a
// gap of a hundredth of an inch), so text size and pitch agree at any
// printer resolution; a page holds as many lines as fit whole.

#include <QFont>

class QPrinter;
class TabularTable;

namespace GridPrinter {

struct PageLayout
{
    int linePitch = 1;    // h, printer pixels
    int linesPerPage = 1; // L
};

[[nodiscard]] QFont font();
[[nodiscard]] PageLayout pageLayout(QPrinter& printer);
// Prints the whole table as one job; false when the printer could not be
// started (nothing printed).
[[nodiscard]] bool print(const TabularTable& table, QPrinter& printer);

} // namespace GridPrinter
