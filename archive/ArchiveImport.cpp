#include "archive/ArchiveImport.h"

#include "archive/Archive.h"
#include "archive/LoggerImageArchiver.h"
#include "data/AcousticStatistics.h"
#include "data/DataSetCollection.h"
#include "data/GraphTexts.h"
#include "data/LoggerMemory.h"
#include "files/formats/CollectionFile.h"
#include "files/formats/GraphFileSeries.h"
#include "files/formats/NoiseReport.h"
#include "files/formats/TextImport.h"
#include "logger/RecordDecoder.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

#include <algorithm>
#include <cmath>
#include <memory>

namespace ArchiveImport {

namespace {

// One series of a text, CSV or graph file, ready to be stored.
struct SeriesItem
{
    Measurement measurement;
    std::vector<double> x;
    std::vector<float> y;
};

// A file read and made into what the archive keeps, not yet stored.
struct Prepared
{
    FileKind kind = FileKind::Collection;
    QString error; // the file does not read
    std::optional<LoadResult> decodeResult;
    // Collection
    QByteArray image;
    std::unique_ptr<DataSetCollection> collection;
    // Text, CSV, graph
    std::vector<SeriesItem> series;

    [[nodiscard]] bool readable() const { return error.isEmpty(); }
};

QString shown(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

std::optional<QByteArray> fileHash(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = shown(path) + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    QCryptographicHash hash(QCryptographicHash::Sha256);
    if (!hash.addData(&file)) {
        error = shown(path) + QStringLiteral(": ") + file.errorString();
        return std::nullopt;
    }
    return hash.result().toHex();
}

// The measurement of points already read; times in days, local wall clock.
SeriesItem seriesItem(const QString& key, const QString& path, std::vector<double> x,
                      std::vector<float> y, double intervalSeconds,
                      std::optional<AcousticWeighting> weighting, const QString& meterModel)
{
    Measurement m;
    m.key = key;
    m.kind = MeasurementKind::Import;
    m.meterModel = meterModel;
    const QDateTime first = GraphTexts::toDateTime(x.front());
    m.start = first.toOffsetFromUtc(first.offsetFromUtc());
    m.intervalMs = std::llround(intervalSeconds * 1000.0);
    const QDateTime last = GraphTexts::toDateTime(x.back());
    m.end = last.toOffsetFromUtc(last.offsetFromUtc()).addMSecs(m.intervalMs);
    if (weighting)
        m.weighting = weightingText(*weighting);
    m.notes = QFileInfo(path).fileName();
    return {m, std::move(x), std::move(y)};
}

void prepareSeries(Prepared& p, const QString& path, const QDateTime& now, const QLocale& locale)
{
    const ReportSeriesLoad load = loadReportSeries(path, 1, now, locale);
    if (!load.series) {
        p.error = load.error;
        return;
    }
    ReportSeries series = *load.series;
    if (series.times.empty()) {
        p.error = shown(path) + QStringLiteral(": no points");
        return;
    }
    const std::optional<QByteArray> hash = fileHash(path, p.error);
    if (!hash)
        return;
    p.series.push_back(seriesItem(QStringLiteral("import:") + QString::fromLatin1(*hash), path,
                                  std::move(series.times), std::move(series.levels),
                                  series.intervalSeconds, series.weighting, series.meterModel));
}

void prepareGraph(Prepared& p, const QString& path)
{
    GraphFileSeries::Read read = GraphFileSeries::read(path);
    if (!read.series) {
        p.error = read.error;
        return;
    }
    const std::optional<QByteArray> hash = fileHash(path, p.error);
    if (!hash)
        return;
    for (size_t s = 0; s < read.series->size(); ++s) {
        GraphFileSeries::Series& one = (*read.series)[s];
        if (one.x.empty())
            continue;
        const double interval =
            ReportSeries::fromPoints(one.x, one.y, GraphStatisticTexts()).intervalSeconds;
        // The series' number keeps two series of one file apart.
        const QString key =
            QStringLiteral("import:%1:%2").arg(QString::fromLatin1(*hash)).arg(qulonglong(s));
        p.series.push_back(seriesItem(key, path, std::move(one.x), std::move(one.y), interval,
                                      std::nullopt, QString()));
    }
    if (p.series.empty())
        p.error = shown(path) + QStringLiteral(": no points");
}

void prepareCollection(Prepared& p, const QString& path, const QDateTime& now)
{
    const CollectionFile::ImageRead read = CollectionFile::readImage(path);
    if (!read.opened) {
        p.error = shown(path) + QStringLiteral(": ") + read.error;
        return;
    }
    LoggerMemory memory;
    memory.memoryImage() = read.image;
    memory.setMemoryEnd(memory.memoryEndFromImage());
    auto collection = std::make_unique<DataSetCollection>();
    const LoadResult result = decodeImage(memory, *collection, now);
    if (result != LoadResult::Ok) {
        p.decodeResult = result;
        p.error =
            QStringLiteral("%1 is not a data set collection file or is damaged.").arg(shown(path));
        return;
    }
    p.image = read.image;
    p.collection = std::move(collection);
}

Prepared prepare(const QString& path, const QDateTime& now, const QLocale& locale)
{
    Prepared p;
    p.kind = kindOf(path);
    switch (p.kind) {
    case FileKind::Series:
        prepareSeries(p, path, now, locale);
        break;
    case FileKind::Graph:
        prepareGraph(p, path);
        break;
    case FileKind::Collection:
        prepareCollection(p, path, now);
        break;
    }
    return p;
}

QStringList keysOf(const Prepared& p)
{
    QStringList keys;
    if (p.collection) {
        for (qsizetype k = 0; k < p.collection->count(); ++k)
            keys << LoggerImageArchiver::setKey(*p.collection, k, p.image);
    }
    for (const SeriesItem& item : p.series)
        keys << item.measurement.key;
    return keys;
}

// Stores one series unless it is there; a series cut off while it was
// being stored (added, no samples) is completed.
bool storeSeries(Archive& archive, const SeriesItem& item, Outcome& outcome)
{
    const std::optional<qint64> id = archive.addMeasurement(item.measurement);
    const std::optional<Measurement> kept = id ? archive.measurement(*id) : std::nullopt;
    if (!kept)
        return false;
    const bool empty = kept->unfinished && kept->sampleCount == 0;
    if (empty && !archive.appendSamples(*id, item.x, item.y))
        return false;
    if (kept->unfinished && !archive.finish(*id, item.measurement.end))
        return false;
    outcome.ids.push_back(*id);
    if (empty)
        ++outcome.added;
    return true;
}

} // namespace

FileKind kindOf(const QString& path)
{
    if (QFileInfo(path).suffix().compare(QLatin1String("ghf"), Qt::CaseInsensitive) == 0)
        return FileKind::Graph;
    return TextImport::separatorForExtension(path) ? FileKind::Series : FileKind::Collection;
}

Outcome keep(Archive& archive, const QString& path, const QDateTime& now, const QLocale& locale)
{
    const Prepared p = prepare(path, now, locale);
    Outcome outcome;
    outcome.kind = p.kind;
    outcome.decodeResult = p.decodeResult;
    if (!p.readable()) {
        outcome.error = p.error;
        return outcome;
    }
    if (p.collection) {
        const LoggerImageSource source{MeasurementKind::Import,
                                       LoggerImageArchiver::meterModelName(842), QString(),
                                       QFileInfo(path).fileName()};
        const LoggerArchiveResult stored =
            LoggerImageArchiver::store(archive, p.image, *p.collection, source);
        outcome.stored = stored.stored;
        outcome.ids = stored.measurementIds;
        outcome.added = stored.added;
        outcome.error = stored.error;
        return outcome;
    }
    for (const SeriesItem& item : p.series) {
        if (!storeSeries(archive, item, outcome)) {
            outcome.error = archive.lastError();
            return outcome;
        }
    }
    outcome.stored = true;
    return outcome;
}

Presence presence(Archive& archive, const QString& path, const QDateTime& now,
                  const QLocale& locale)
{
    const Prepared p = prepare(path, now, locale);
    Presence presence;
    if (!p.readable()) {
        presence.readable = false;
        return presence;
    }
    const QStringList keys = keysOf(p);
    const std::optional<std::vector<Measurement>> found = archive.measurementsWithKeys(keys);
    if (!found) {
        presence.error = archive.lastError();
        return presence;
    }
    presence.kept = qsizetype(found->size()) == keys.size() &&
                    std::none_of(found->begin(), found->end(),
                                 [](const Measurement& m) { return m.unfinished; });
    return presence;
}

} // namespace ArchiveImport
