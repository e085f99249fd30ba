#pragma once

// Decoding of the logger memory image: the walk over the data set records
// with their marker checks (the header pass), and decodeImage, which on
// success replaces the data set collection.
//
// Record at p: A5 5A | status | BCD yy mm dd hh nn ss | interval minutes
// (low nibble) | interval seconds BCD | 3-byte count n | 2n sample bytes |
// 5A A5, the last byte at e = p + 15 + 2n; the next record starts at e + 1.
//
// Positions outside the image hold no byte: they match no marker, and a
// marker missing there is never forgiven by the 256-byte boundary rule, so
// a walk that runs off the image ends in DataError. Header bytes outside the
// image count as 0.

#include "data/DataSetCollection.h"
#include "data/DataSetHeaderColumns.h"
#include "data/LoggerMemory.h"
#include "logger/LoadResult.h"

#include <QByteArray>
#include <QDateTime>

struct RecordWalk
{
    LoadResult result = LoadResult::NoData;
    DataSetHeaderColumns headers;      // every set, on Ok
    DecodeErrorPosition errorPosition; // on DataError
};

// The header pass over at most 4000 records. `now` is the start time given to
// a record whose BCD date and time do not form a valid date and time.
[[nodiscard]] RecordWalk walkRecords(const QByteArray& image, qint32 memoryEnd,
                                     const QDateTime& now);

// The whole decode of memory.memoryImage() with memory.memoryEnd(): on Ok the
// collection is replaced (headers, samples and statistics), on DataError the
// memory's error position is set; otherwise nothing changes.
[[nodiscard]] LoadResult decodeImage(LoggerMemory& memory, DataSetCollection& collection,
                                     const QDateTime& now);
