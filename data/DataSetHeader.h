#pragma once

// The header values of one data set record, as the record decoder reads them.

#include <QtGlobal>

struct DataSetHeader
{
    double startTime = 0.0;     // date-time of the first sample
    qint32 intervalSeconds = 0; // 0..60; see SampleEncoding::normalizeIntervalSeconds
    qint32 sampleCount = 0;     // samples in the record
    quint8 statusByte = 0;      // kept whole; bit 3 = A weighting
    qint32 recordOffset = 0;    // first byte of the record in the memory image
    qint32 recordEnd = 0;       // last byte of the record's end marker

    friend bool operator==(const DataSetHeader&, const DataSetHeader&) = default;
};
