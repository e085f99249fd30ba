#include "archive/LoggerImageArchiver.h"

#include "archive/Archive.h"
#include "data/AcousticStatistics.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/LoggerMemory.h"
#include "logger/RecordDecoder.h"

#include <QCryptographicHash>

namespace LoggerImageArchiver {

namespace {
LoggerArchiveResult failed(LoggerArchiveResult result, const Archive& archive)
{
    result.stored = false;
    result.error = archive.lastError();
    return result;
}
} // namespace

QString meterModelName(int model)
{
    return QStringLiteral("QV58M model %1").arg(model);
}

QString setKey(const DataSetCollection& collection, qsizetype k, const QByteArray& image)
{
    if (k < 0 || k >= collection.count())
        return {};
    const DataSetHeader header = collection.headers().at(k);
    if (header.recordOffset < 0 || header.recordEnd < header.recordOffset ||
        header.recordEnd >= image.size())
        return {};
    const QByteArray record =
        image.mid(header.recordOffset, qsizetype(header.recordEnd) - header.recordOffset + 1);
    return QStringLiteral("logger-set:") +
           QString::fromLatin1(
               QCryptographicHash::hash(record, QCryptographicHash::Sha256).toHex());
}

Measurement measurementOf(const DataSetCollection& collection, qsizetype k, const QByteArray& image,
                          const LoggerImageSource& source, qint64 imageId)
{
    Measurement m;
    const std::optional<DataSet> set = collection.dataSet(k);
    if (!set)
        return m;
    m.key = setKey(collection, k, image);
    m.kind = source.kind;
    m.meterModel = source.meterModel;
    m.meterPort = source.meterPort;
    m.notes = source.notes;
    // The meter's clock is a wall clock without a zone: read as this
    // computer's local time, with the offset that time had.
    const QDateTime local = GraphTexts::toDateTime(set->header.startTime);
    m.start = local.toOffsetFromUtc(local.offsetFromUtc());
    m.intervalMs = qint64(set->header.intervalSeconds) * 1000;
    m.end = m.start.addMSecs(qint64(collection.valuesOf(k).size()) * m.intervalMs);
    m.weighting = weightingText(set->isAWeighting() ? AcousticWeighting::A : AcousticWeighting::C);
    m.memoryImageId = imageId;
    return m;
}

LoggerArchiveResult store(Archive& archive, const QByteArray& image,
                          const DataSetCollection& collection, const LoggerImageSource& source)
{
    LoggerArchiveResult result;
    // One commit for the image and all its sets: a single sync, and a
    // memory stored whole or not at all.
    Archive::WriteBatch batch(archive);
    if (!batch.started())
        return failed(result, archive);
    const std::optional<qint64> imageId = archive.storeMemoryImage(image);
    if (!imageId)
        return failed(result, archive);
    result.imageId = *imageId;
    for (qsizetype k = 0; k < collection.count(); ++k) {
        const Measurement m = measurementOf(collection, k, image, source, *imageId);
        if (!m.start.isValid())
            continue;
        std::optional<qint64> id = archive.addMeasurement(m);
        if (!id)
            return failed(result, archive);
        std::optional<Measurement> kept = archive.measurement(*id);
        if (!kept)
            return failed(result, archive);
        const std::span<const double> times = collection.timesOf(k);
        const std::span<const float> values = collection.valuesOf(k);
        if (kept->unfinished) {
            // The samples go in with one commit; a set found unfinished with
            // other samples than these was not stored by this code: made anew.
            if (kept->sampleCount != 0 && kept->sampleCount != qint64(values.size())) {
                if (!archive.deleteMeasurement(*id) || !(id = archive.addMeasurement(m)))
                    return failed(result, archive);
                kept->sampleCount = 0;
            }
            if (kept->sampleCount == 0 && !archive.appendSamples(*id, times, values))
                return failed(result, archive);
            if (!archive.finish(*id, m.end))
                return failed(result, archive);
            ++result.added;
        }
        result.measurementIds.push_back(*id);
    }
    if (!batch.commit())
        return failed(LoggerArchiveResult(), archive);
    result.stored = true;
    return result;
}

LoggerArchiveResult storeMemory(Archive& archive, const QByteArray& image, qint32 memoryEnd,
                                const QDateTime& now, const LoggerImageSource& source)
{
    LoggerMemory memory;
    memory.memoryImage() = image;
    memory.setMemoryEnd(memoryEnd);
    DataSetCollection collection;
    if (decodeImage(memory, collection, now) != LoadResult::Ok)
        return store(archive, image, DataSetCollection(), source);
    return store(archive, image, collection, source);
}

} // namespace LoggerImageArchiver
