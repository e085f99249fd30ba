#pragma once

// Keeps a downloaded logger memory in the archive: the image itself (once
// per content) and one finished measurement per data set, with the set's
// samples exactly as the DataLogger window shows them.
//
// A data set is known by the bytes of its record: the same set loaded again,
// also from a later image that holds more sets after it, is not stored
// twice. A set whose storing was cut off (a crash) is completed.

#include "archive/Measurement.h"

#include <QByteArray>
#include <QDateTime>
#include <QString>

class Archive;
class DataSetCollection;

struct LoggerSetsStoreOutcome
{
    bool ok = true;
    qint64 imageId = 0;  // 0 when the image could not be stored
    int added = 0;       // data sets stored now
    int alreadyKept = 0; // data sets the archive held before
    QString error;       // the first failure, naming the archive
};

namespace LoggerSetsStore {

struct Meter
{
    QString model; // "842"
    QString port;
};

// The key of a data set: a hash of its record's bytes.
[[nodiscard]] QString setKey(const QByteArray& record);

// Stores image and the data sets sets was decoded from it into.
[[nodiscard]] LoggerSetsStoreOutcome store(Archive& archive, const QByteArray& image,
                                           const DataSetCollection& sets, MeasurementKind kind,
                                           const Meter& meter);

// Decodes image (memoryEnd as the download left it; now for records without
// a valid date) and stores it with its sets. An image that does not decode
// is still stored, without sets.
[[nodiscard]] LoggerSetsStoreOutcome storeImage(Archive& archive, const QByteArray& image,
                                                qint32 memoryEnd, const QDateTime& now,
                                                MeasurementKind kind, const Meter& meter);

} // namespace LoggerSetsStore
