#include "data/GeneratedDataSets.h"

#include "data/LoggerMemory.h"

#include <cmath>

namespace GeneratedDataSets {

namespace {
constexpr qint32 kRecordHeaderBytes = 14;
constexpr qint32 kEndMarkerBytes = 2;
} // namespace

double level(qint64 i)
{
    const double t = double(i);
    return 70.0 + 15.0 * std::sin(t / 97.0) + 6.0 * std::sin(t / 13.0) + 3.0 * std::sin(t * 1.7);
}

Image image(const QList<PlannedSet>& sets)
{
    Image result;
    result.memoryImage = QByteArray(LoggerMemory::kFirstRecordOffset, '\0');
    for (const PlannedSet& planned : sets) {
        DataSetHeader header;
        header.startTime = planned.startTime;
        header.intervalSeconds = planned.intervalSeconds;
        header.sampleCount = planned.sampleCount;
        header.statusByte = planned.aWeighting ? 0x08 : 0x00;
        header.recordOffset = qint32(result.memoryImage.size());
        // The record head is left zero: only the samples are read back.
        result.memoryImage.append(QByteArray(kRecordHeaderBytes, '\0'));
        for (qint32 i = 0; i < planned.sampleCount; ++i) {
            const int tenths = int(std::lround(level(i) * 10.0));
            result.memoryImage.append(char((tenths >> 8) & 0x0F));
            result.memoryImage.append(char(tenths & 0xFF));
        }
        result.memoryImage.append(QByteArray(kEndMarkerBytes, char(0xFF)));
        header.recordEnd = qint32(result.memoryImage.size() - 1);
        result.headers.append(header);
    }
    return result;
}

DataSetCollection collection(const QList<PlannedSet>& sets)
{
    const Image made = image(sets);
    DataSetCollection c;
    c.replace(made.headers, made.memoryImage);
    return c;
}

} // namespace GeneratedDataSets
