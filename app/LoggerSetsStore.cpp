#include "app/LoggerSetsStore.h"

#include "archive/Archive.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/SampleEncoding.h"
#include "logger/RecordDecoder.h"

#include <QCryptographicHash>

namespace LoggerSetsStore {

QString setKey(const QByteArray& record)
{
    return QStringLiteral("logger-set:") +
           QString::fromLatin1(
               QCryptographicHash::hash(record, QCryptographicHash::Sha256).toHex());
}

namespace {

void failed(LoggerSetsStoreOutcome& outcome, const QString& error)
{
    if (outcome.ok)
        outcome.error = error;
    outcome.ok = false;
}

// Stores set k; false with the archive's error on failure.
bool storeSet(Archive& archive, const QByteArray& image, const DataSetCollection& sets,
              qsizetype k, MeasurementKind kind, const Meter& meter, qint64 imageId,
              LoggerSetsStoreOutcome& outcome)
{
    const std::optional<DataSet> set = sets.dataSet(k);
    if (!set || !set->hasSamples)
        return true;
    const DataSetHeader& header = set->header;
    const std::span<const double> x = sets.timesOf(k);
    const std::span<const float> y = sets.valuesOf(k);

    Measurement m;
    const qsizetype recordLength = qsizetype(header.recordEnd) - header.recordOffset + 1;
    m.key = setKey(image.mid(header.recordOffset, std::max<qsizetype>(recordLength, 0)));
    m.kind = kind;
    m.meterModel = meter.model;
    m.meterPort = meter.port;
    m.start = GraphTexts::toDateTime(header.startTime);
    m.intervalMs = qint64(header.intervalSeconds) * 1000;
    m.end = m.start.addMSecs(m.intervalMs * qint64(x.size()));
    m.weighting = set->isAWeighting() ? QStringLiteral("A") : QStringLiteral("C");
    m.memoryImageId = imageId;

    const std::optional<qint64> id = archive.addMeasurement(m);
    if (!id)
        return false;
    const std::optional<Measurement> kept = archive.measurement(*id);
    if (!kept)
        return false;
    if (!kept->unfinished) {
        ++outcome.alreadyKept;
        return true;
    }
    // A store cut off before: what is there stays, the rest follows.
    const qsizetype done = std::min<qsizetype>(kept->sampleCount, qsizetype(x.size()));
    if (!archive.appendSamples(*id, x.subspan(done), y.subspan(done)))
        return false;
    if (!archive.finish(*id, m.end))
        return false;
    ++outcome.added;
    return true;
}

} // namespace

LoggerSetsStoreOutcome store(Archive& archive, const QByteArray& image,
                             const DataSetCollection& sets, MeasurementKind kind,
                             const Meter& meter)
{
    LoggerSetsStoreOutcome outcome;
    if (!image.isEmpty()) {
        if (const std::optional<qint64> id = archive.storeMemoryImage(image))
            outcome.imageId = *id;
        else
            failed(outcome, archive.lastError());
    }
    for (qsizetype k = 0; k < sets.count(); ++k) {
        if (!storeSet(archive, image, sets, k, kind, meter, outcome.imageId, outcome))
            failed(outcome, archive.lastError());
    }
    return outcome;
}

LoggerSetsStoreOutcome storeImage(Archive& archive, const QByteArray& image, qint32 memoryEnd,
                                  const QDateTime& now, MeasurementKind kind, const Meter& meter)
{
    DataSetCollection sets;
    const RecordWalk walk = walkRecords(image, memoryEnd, now);
    if (walk.result == LoadResult::Ok)
        sets.replace(walk.headers, image);
    return store(archive, image, sets, kind, meter);
}

} // namespace LoggerSetsStore
