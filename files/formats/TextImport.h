#pragma once

// The text and CSV import of the list window. Lines are read one at a time
// (CR LF or LF); a line longer than 179 characters keeps its first 179 and
// the rest of that line is dropped, then reading goes on. The first line
// without the separator ends the import. A line fills the grid row of its
// number: the text before each separator goes to the next column, the rest
// after the last separator (when not empty) to the column after; a line with
// more than six fields fills six and the rest is dropped.
//
// The file is read in large pieces and each line's kept bytes go to the
// table as they are (see TabularTable), so memory stays near the file's
// size and a line of any length costs only the time to pass over it.

#include "files/formats/TabularTable.h"

#include <QByteArrayView>
#include <QChar>
#include <QString>
#include <functional>
#include <optional>

namespace TextImport {

inline constexpr int MaxLineLength = 179;

// Called after each line is counted, with its number n (1, 2, ...) before
// the line fills its row, and again with the same n for every megabyte of
// the rest of a long line that is passed over; returns false to cancel (a
// row not yet filled is not filled).
using Progress = std::function<bool(int lineNumber)>;

struct Outcome
{
    bool opened = false; // false: the file could not be opened, table untouched
    bool cancelled = false;
    int lines = 0; // lines read into the table
};

// Reads path into table (which is filled afresh). The separator is an ASCII
// character (TAB or comma).
Outcome read(const QString& path, QChar separator, TabularTable& table,
             const Progress& progress = {});

// The same reading without a table: the kept bytes of each line that the
// import would put in row n (the line as it is, a row's fields still joined
// by the separator, before the table drops a seventh and later field), in
// order, with n; returns false to end the reading there (the line then
// counts as not read). For readers that want a few fields of every line and
// no table.
using LineSink = std::function<bool(QByteArrayView kept, int lineNumber)>;
Outcome readLines(const QString& path, QChar separator, const LineSink& sink);

// The separator an open uses for a file name: TAB for ".txt", comma for
// ".csv" (case-insensitive); nothing for other extensions.
[[nodiscard]] std::optional<QChar> separatorForExtension(const QString& fileName);

} // namespace TextImport
