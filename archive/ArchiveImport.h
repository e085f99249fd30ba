#pragma once

// Keeps a file in the archive as measurements of kind import, for the
// program's File > Open and for `audimark-cli archive import`:
//   collection files (*.rec, the logger memory image): one measurement per
//     data set, through LoggerImageArchiver (a set already kept by a
//     download is the same set and is not added again);
//   text and CSV files (*.txt, *.csv, the graph export or a logger dump):
//     one measurement of the file's points;
//   graph files (*.ghf): one measurement per series of the chart that holds
//     points, its interval the points' mean spacing; a graph file does not
//     say which weighting was measured, so that stays empty.
// Each measurement's notes hold the file's name.
//
// The same file kept twice is stored once: a series' key is made from the
// file's bytes (and, in a graph file, the series' number), a data set's from
// its record. A file that does not read stores nothing.
//
// QtCore and QtSql; one thread, the Archive's.

#include "archive/Measurement.h"
#include "logger/LoadResult.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

#include <optional>
#include <vector>

class Archive;

namespace ArchiveImport {

enum class FileKind
{
    Collection,
    Series, // text or CSV
    Graph
};

// By the extension: .ghf a graph file, .txt and .csv text, anything else a
// collection (a collection reader does not look at the name).
[[nodiscard]] FileKind kindOf(const QString& path);

struct Outcome
{
    bool stored = false; // every measurement of the file is in the archive
    FileKind kind = FileKind::Collection;
    std::vector<qint64> ids; // one per measurement of the file, in file order
    int added = 0;           // not in the archive before
    // When !stored: why, naming the file or the archive.
    QString error;
    // A collection that did not decode; error then holds a general text.
    std::optional<LoadResult> decodeResult;
};

// Keeps path in the archive. now: the start given to a data set whose clock
// bytes do not read, the date of a text file's times of day.
[[nodiscard]] Outcome keep(Archive& archive, const QString& path, const QDateTime& now,
                           const QLocale& locale = QLocale());

struct Presence
{
    bool kept = false;    // every measurement of the file is complete in the archive
    bool readable = true; // false: the file does not read (nothing to keep)
    QString error;        // the archive could not be asked
};

// Whether keep() would add nothing, without storing anything.
[[nodiscard]] Presence presence(Archive& archive, const QString& path, const QDateTime& now,
                                const QLocale& locale = QLocale());

} // namespace ArchiveImport
