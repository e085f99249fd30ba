#pragma once

// The logger dump file of the scheduled auto-loading: the newest data set of
// a downloaded memory image as CSV, in the data directory, named after the
// set's start: four-digit year, then the BCD month, day, hour and minute
// bytes as two hexadecimal digits each, then ".CSV" (23:59 on 31 December
// 2009 -> 200912312359.CSV). An existing file of that name is replaced.
//
// Line per sample: date ", " hh:mm:ss.ms "," value - date with a four-digit
// year, the separator always a comma whatever the decimal separator.

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/LoadResult.h"

#include <QDateTime>
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

} // namespace DumpFile
