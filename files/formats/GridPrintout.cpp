#include "files/formats/GridPrintout.h"

#include <algorithm>

namespace GridPrintout {

namespace {
constexpr int kTimeColumn = 2;
constexpr int kPrintedColumns = TabularTable::ColumnCount - 1; // columns 0 to 5
const QString kPad = QStringLiteral("  ");
} // namespace

int fieldWidth(int column)
{
    return column == kTimeColumn ? 17 : 10;
}

QString line(const TabularTable& table, int gridRow)
{
    QString text;
    for (int column = 0; column < kPrintedColumns; ++column) {
        const QString cell = table.cell(gridRow, column);
        text += cell;
        // Every missing character is made up with two blanks.
        const qsizetype missing = fieldWidth(column) - cell.size();
        for (qsizetype k = 0; k < missing; ++k)
            text += kPad;
    }
    return text;
}

int linesPerPage(int pageHeight, int linePitch)
{
    if (linePitch <= 0)
        return 1;
    return std::max(1, pageHeight / linePitch);
}

Placement place(int gridRow, int linesPerPage, int linePitch)
{
    const int lines = std::max(1, linesPerPage);
    return Placement{gridRow / lines, (gridRow % lines) * linePitch + linePitch};
}

} // namespace GridPrintout
