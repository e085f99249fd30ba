// A text or CSV file opened into the list window: the import into the
// window's table and every cell the window's grid shows.

#include "TabularInput.h"

using FuzzInput::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    TabularTable table;
    (void)TabularInput::import(data, size, table);
    require(table.rowCount() == table.dataRowCount() && table.columnCount() == TabularTable::ColumnCount,
            "a model other than the grid");
    for (int row = 0; row < table.gridRowCount(); ++row)
        for (int column = 0; column < TabularTable::ColumnCount; ++column) {
            const QString text = table.cell(row, column);
            require(text.size() <= TextImport::MaxLineLength, "a cell longer than a line");
            if (row > 0)
                require(table.data(table.index(row - 1, column)).toString() == text,
                        "the model shows another text than the grid's cell");
        }
    return 0;
}
