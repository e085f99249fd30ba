#pragma once

// The text and CSV export of a list window's table: for each grid row of the
// range, the cells of columns 1 to 6 each followed by the separator (the line
// ends with a separator; column 0 is not written), CR LF line ends.

#include "files/formats/ExportRange.h"
#include "files/formats/FileWriteOutcome.h"
#include "files/formats/TabularTable.h"

#include <QChar>
#include <functional>

namespace GridExport {

using Progress = std::function<bool(int linesWritten)>;

// Comma when the last three characters of the name are "csv" in any case,
// otherwise TAB (any other extension is written as a text file).
[[nodiscard]] QChar separatorForFileName(const QString& fileName);
[[nodiscard]] QString line(const TabularTable& table, int gridRow, QChar separator);
// Writes data rows range.from .. range.to (grid rows, 1-based), complete or not at all.
[[nodiscard]] FileWriteOutcome write(const QString& path, const TabularTable& table,
                                     ExportRange range, QChar separator,
                                     const Progress& progress = {});

} // namespace GridExport
