#pragma once

// Keeps a decoded logger memory in the archive: the memory image once per
// content, and one finished measurement per data set with all its samples,
// its start as the local wall clock of this computer gives it (with that
// clock's UTC offset), its interval and weighting.
//
// Nothing is stored twice: a data set's key is made from the bytes of its
// record (header, samples and end marker), so loading the same memory again,
// or a later memory that still holds some of the same sets, adds only the
// sets that are new. A set cut off by a crash while it was being stored is
// completed.
//
// store() takes the sets as the record decoder left them after an Ok decode
// of image; storeMemory() decodes a downloaded memory itself.

#include "archive/Measurement.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

#include <vector>

class Archive;
class DataSetCollection;

struct LoggerImageSource
{
    MeasurementKind kind = MeasurementKind::Logger; // Logger, AutoLoad, or Import (a file)
    QString meterModel;                             // see LoggerImageArchiver::meterModelName
    QString meterPort;
    QString notes; // given to each new measurement (an imported file's name)
};

struct LoggerArchiveResult
{
    bool stored = false; // the image and every set are in the archive
    qint64 imageId = 0;
    std::vector<qint64> measurementIds; // one per set stored, in set order
    int added = 0;                      // sets that were not in the archive before
    QString error;                      // the archive's message when !stored
};

namespace LoggerImageArchiver {

// The meter model as the archive and the noise report name it: "QV58M model
// 842".
[[nodiscard]] QString meterModelName(int model);

// The key of data set k of the collection; empty when its record does not
// lie inside image.
[[nodiscard]] QString setKey(const DataSetCollection& collection, qsizetype k,
                             const QByteArray& image);

// The measurement of data set k (no id, no samples, imageId as its memory).
[[nodiscard]] Measurement measurementOf(const DataSetCollection& collection, qsizetype k,
                                        const QByteArray& image, const LoggerImageSource& source,
                                        qint64 imageId);

[[nodiscard]] LoggerArchiveResult store(Archive& archive, const QByteArray& image,
                                        const DataSetCollection& collection,
                                        const LoggerImageSource& source);

// Decodes a downloaded memory (image and memoryEnd as the download left them,
// now for records without a valid date) and stores it with its sets. A
// memory that does not decode is still stored, as an image without sets: its
// bytes may be repaired later.
[[nodiscard]] LoggerArchiveResult storeMemory(Archive& archive, const QByteArray& image,
                                              qint32 memoryEnd, const QDateTime& now,
                                              const LoggerImageSource& source);

} // namespace LoggerImageArchiver
