// "Output Tabular to graph" on an imported text or CSV file: the checks of
// the first and last rows, then every data row read back as a point, as the
// command fills the graph; each point, read from the cells' bytes, is the
// one their texts give (the date and time joined and read as text, the
// level as QLocale reads it).

#include "TabularInput.h"

#include "files/formats/TabularConversion.h"

#include <QDate>

#include <cmath>
#include <cstring>

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
    QLocale numbers = locale;
    numbers.setNumberOptions(numbers.numberOptions() | QLocale::RejectGroupSeparator);
    for (int row = 1; row <= ends.count; ++row) {
        const auto point = TabularConversion::point(table, row, locale, today);
        const auto time =
            TabularConversion::dateTime(table.cell(row, 1), table.cell(row, 2), locale, today);
        require(point.has_value() == time.has_value() && (!point || point->x == *time),
                "a point's time other than its cells' texts give");
        if (!point)
            continue;
        require(std::isfinite(point->x), "a point whose time is not a number");
        bool ok = false;
        const float level = numbers.toFloat(table.cell(row, 3).trimmed(), &ok);
        ok = ok && std::isfinite(level); // "nan" and "inf" are no level
        require(point->y.has_value() == ok &&
                    (!ok || std::memcmp(&*point->y, &level, sizeof(float)) == 0),
                "a point's level other than QLocale reads in its cell");
    }
    return 0;
}
