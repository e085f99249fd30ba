#include "files/windows/GridPrinter.h"

#include "files/formats/GridPrintout.h"
#include "files/formats/TabularTable.h"

#include <QFontDatabase>
#include <QFontMetrics>
#include <QPainter>
#include <QPrinter>

#include <algorithm>

namespace GridPrinter {

namespace {
constexpr int kFontPoints = 8;
constexpr int kLeft = 1;
const QString kMeasuredText = QStringLiteral("String Grid Printout");
} // namespace

QFont font()
{
    QFont fixed = QFontDatabase::systemFont(QFontDatabase::FixedFont);
    fixed.setStyleHint(QFont::Monospace);
    fixed.setFixedPitch(true);
    fixed.setPointSize(kFontPoints);
    return fixed;
}

PageLayout pageLayout(QPrinter& printer)
{
    const QFontMetrics metrics(font(), &printer);
    const int gap = std::max(1, qRound(printer.logicalDpiY() / 100.0));
    PageLayout layout;
    layout.linePitch = metrics.boundingRect(kMeasuredText).height() + gap;
    layout.linePitch = std::max(layout.linePitch, metrics.height() + gap);
    // y is a baseline: the last line's descent must still be on the page.
    layout.linesPerPage =
        GridPrintout::linesPerPage(printer.height() - metrics.descent(), layout.linePitch);
    return layout;
}

bool print(const TabularTable& table, QPrinter& printer)
{
    const PageLayout layout = pageLayout(printer);
    QPainter painter;
    if (!painter.begin(&printer))
        return false;
    painter.setFont(font());
    painter.setPen(Qt::black);
    int page = 0;
    for (int row = 0; row < table.gridRowCount(); ++row) {
        const GridPrintout::Placement at =
            GridPrintout::place(row, layout.linesPerPage, layout.linePitch);
        if (at.page != page) {
            printer.newPage();
            page = at.page;
        }
        painter.drawText(kLeft, at.y, GridPrintout::line(table, row));
    }
    painter.end();
    return true;
}

} // namespace GridPrinter
