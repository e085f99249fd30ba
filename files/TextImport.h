#pragma once

// The text and CSV import of the list window. Lines are read one at a time
// (CR LF or LF); a line longer than 179 characters keeps its first 179 and
// the rest of that line is dropped, then reading goes on. The first line
// without the separator ends the import. A line fills the grid row of its
// number: the text before each separator goes to the next column, the rest
// after the last separator (when not empty) to the column after; a line with
// more than six fields fills six and the rest is dropped.

#include "files/TabularTable.h"

#include <QChar>
#include <QString>
#include <functional>
#include <optional>

namespace TextImport {

inline constexpr int MaxLineLength = 179;

// Called after each line is counted, with its number n (1, 2, ...) before
// the line fills its row; returns false to cancel (the row is not filled).
using Progress = std::function<bool(int lineNumber)>;

// The six field texts of one line (fewer when the line has fewer fields).
[[nodiscard]] QStringList splitLine(const QString& line, QChar separator);

struct Outcome
{
    bool opened = false; // false: the file could not be opened, table untouched
    bool cancelled = false;
    int lines = 0; // lines read into the table
};

// Reads path into table (which is filled afresh).
Outcome read(const QString& path, QChar separator, TabularTable& table,
             const Progress& progress = {});

// The separator an open uses for a file name: TAB for ".txt", comma for
// ".csv" (case-insensitive); nothing for other extensions.
[[nodiscard]] std::optional<QChar> separatorForExtension(const QString& fileName);

} // namespace TextImport
