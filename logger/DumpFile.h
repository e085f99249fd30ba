#pragma once

// The logger dump file of the scheduled auto-loading: the newest data set of
// a downloaded memory image as CSV, in the data directory, named after the
// set's start: four-digit year, then the BCD month, day, hour and minute
// bytes as two hexadecimal digits each, then ".CSV" (23:59 on 31 December
// 2009 -> 200912312359.CSV). An existing file of that name is replaced.
//
// Line per sample: date ", " hh:mm:ss.mmm "," value - date with a four-digit
// year, milliseconds as three digits, the separator always a comma whatever
// the decimal separator.

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/LoadResult.h"

#include <QDateTime>
#include <QList>
#include <QLocale>
#include <QString>

namespace DumpFile {

[[nodiscard]] QString line(double dateTime, float value, const QLocale& locale);

struct Outcome
{
    // The header pass's result: Ok, DataError (error position set in the
    // memory), MemoryError (more than 4000 sets) or NoData.
    LoadResult result = LoadResult::NoData;
    bool written = false; // the dump file was written completely
    QString path;         // the dump file's path (set when result is Ok)
    QString error;        // result Ok but not written: the system's reason
};

// The header pass over memory.memoryImage() with memory.memoryEnd(); on Ok
// the collection's header columns are replaced and the newest set is written
// to its dump file in dataDirectory. Nothing is written unless the header
// pass succeeded.
[[nodiscard]] Outcome exportNewestDataSet(LoggerMemory& memory, DataSetCollection& collection,
                                          const QString& dataDirectory, const QDateTime& now,
                                          const QLocale& locale);

// Every data set of an image, each in its own dump file, and the image
// itself beside them: what the scheduled emptying of the logger keeps before
// it erases the meter's memory.
struct WrittenDump
{
    QString path;
    qint32 samples = 0; // lines in the file
};

struct AllSetsOutcome
{
    // The header pass's result; nothing is written unless it is Ok.
    LoadResult result = LoadResult::NoData;
    DecodeErrorPosition errorPosition; // on DataError
    qsizetype setCount = 0;            // sets found by the header pass
    // The dump files written and read back correct, in set order (on a
    // failure, those written before it).
    QList<WrittenDump> dumps;
    QString imagePath; // the collection file of the image, when written
    // Every set's dump and the image file written and read back correct:
    // only then may the memory be erased.
    bool complete = false;
    QString error; // result Ok but not complete: what failed, with the reason
};

// A name in directory that no file has and that is not in `taken`: the
// name itself, else its base name with "-2", "-3", ... before the extension
// (201004141530.CSV -> 201004141530-2.CSV).
[[nodiscard]] QString unusedName(const QString& directory, const QString& name,
                                 const QStringList& taken = {});

// The header pass over image with memoryEnd; on Ok every set k is written to
// its dump file (named after its start, never replacing a file: unusedName),
// then the image to "<newest set's dump base name>.rec" as a data set
// collection file. Every file goes through OutputFile and is read back: a
// dump must hold exactly its set's lines (one per sample), the image file
// exactly the collection file's bytes. Stops at the first failure. Does not
// touch the data set collection.
[[nodiscard]] AllSetsOutcome exportAllDataSets(const QByteArray& image, qint32 memoryEnd,
                                               const QString& dataDirectory, const QDateTime& now,
                                               const QLocale& locale);

} // namespace DumpFile
