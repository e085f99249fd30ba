// "Output Tabular to graph" on an imported text or CSV file: the checks of
// the first and last rows, then every data row read back as a point, as the
// command fills the graph.

#include "TabularInput.h"

#include "files/formats/TabularConversion.h"

#include <QDate>

#include <cmath>

using FuzzInput::require;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const QDate today(2026, 12, 7);
    TabularTable table;
    const QLocale locale = TabularInput::import(data, size, table).locale;

    const TabularConversion::Ends ends = TabularConversion::ends(table, locale, today);
    require(!ends.noData || ends.error == TabularConversion::NoDataMessage,
            "no data without its message");
    if (!ends.error.isEmpty())
        return 0;
    require(ends.count == table.dataRowCount(), "a point count other than the rows");
    require(std::isfinite(ends.first) && std::isfinite(ends.last), "an end that is not a time");
    for (int row = 1; row <= ends.count; ++row)
        if (const auto point = TabularConversion::point(table, row, locale, today))
            require(std::isfinite(point->x), "a point whose time is not a number");
    return 0;
}
