#pragma once

// Data sets made up for demonstrations and tests, built the way a download
// builds them: a memory image with one record per set, decoded into a
// DataSetCollection. Levels wander smoothly between about 45 and 95 dB.

#include "data/DataSetCollection.h"

#include <QList>

namespace GeneratedDataSets {

struct PlannedSet
{
    double startTime = 0.0; // date-time of the first sample
    qint32 intervalSeconds = 1;
    qint32 sampleCount = 0;
    bool aWeighting = true;
};

// The memory image and header columns for the given sets.
struct Image
{
    QByteArray memoryImage;
    DataSetHeaderColumns headers;
};
[[nodiscard]] Image image(const QList<PlannedSet>& sets);

// The collection decoded from image(sets).
[[nodiscard]] DataSetCollection collection(const QList<PlannedSet>& sets);

// The level the generator gives sample i of a set (before the 0.1 dB rounding).
[[nodiscard]] double level(qint64 i);

} // namespace GeneratedDataSets
