#pragma once

// One data set of the collection: the entries at index `index` of every
// column, copied out. The samples stay in the collection's flat arrays, at
// sampleOffset .. sampleOffset + sampleCount - 1.

#include "data/DataSetHeader.h"
#include "data/SampleEncoding.h"

struct DataSet
{
    qsizetype index = 0;
    DataSetHeader header;
    qint64 sampleOffset = 0;

    // False after a header-only replacement changed the headers: the
    // statistics and samples then belong to an earlier decode and are not
    // given out (maxIndex, minIndex and average are 0).
    bool hasSamples = false;
    qint32 maxIndex = 0;  // first sample with the highest value
    qint32 minIndex = 0;  // first sample with the lowest value
    double average = 0.0; // arithmetic mean of the dB values

    [[nodiscard]] bool isAWeighting() const
    {
        return SampleEncoding::isAWeighting(header.statusByte);
    }
};
