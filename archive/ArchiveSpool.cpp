#include "archive/ArchiveSpool.h"

#include <QCryptographicHash>
#include <QDir>
#include <QFileInfo>
#include <QSqlQuery>
#include <QUuid>

#include <algorithm>
#include <map>

namespace ArchiveSpool {

namespace {

// A second, plain connection to the spool file for what Archive does not
// list: its memory images. The spool's WAL journal lets both work at once.
class SpoolTables
{
public:
    explicit SpoolTables(const QString& path)
        : m_name(QStringLiteral("audimark-spool-") + QUuid::createUuid().toString())
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(path);
        db.setConnectOptions(
            QStringLiteral("QSQLITE_BUSY_TIMEOUT=%1").arg(Archive::kBusyTimeoutMs));
        m_open = db.open();
    }
    ~SpoolTables() { QSqlDatabase::removeDatabase(m_name); }
    SpoolTables(const SpoolTables&) = delete;
    SpoolTables& operator=(const SpoolTables&) = delete;

    std::optional<std::vector<qint64>> imageIds()
    {
        if (!m_open)
            return std::nullopt;
        QSqlQuery q(database());
        if (!q.exec(QStringLiteral("SELECT id FROM memory_images ORDER BY id")))
            return std::nullopt;
        std::vector<qint64> ids;
        while (q.next())
            ids.push_back(q.value(0).toLongLong());
        return ids;
    }

    std::optional<qint64> rowCount()
    {
        if (!m_open)
            return std::nullopt;
        QSqlQuery q(database());
        if (!q.exec(QStringLiteral("SELECT (SELECT COUNT(*) FROM measurements) + "
                                   "(SELECT COUNT(*) FROM memory_images)")) ||
            !q.next())
            return std::nullopt;
        return q.value(0).toLongLong();
    }

    // Removes an image no measurement of the spool refers to any more.
    bool dropImageUnlessUsed(qint64 id)
    {
        QSqlQuery q(database());
        if (!q.prepare(QStringLiteral("DELETE FROM memory_images WHERE id = ? AND NOT EXISTS "
                                      "(SELECT 1 FROM measurements WHERE memory_image_id = ?)")))
            return false;
        q.addBindValue(id);
        q.addBindValue(id);
        return q.exec();
    }

private:
    QSqlDatabase database() const { return QSqlDatabase::database(m_name, false); }

    QString m_name;
    bool m_open = false;
};

ArchiveForwardResult failed(ArchiveForwardResult result, const Archive& archive)
{
    result.ok = false;
    result.error = archive.lastError();
    return result;
}

// Sends one measurement of the spool; true when the server has all of it.
bool sendMeasurement(Archive& spool, Archive& server, const Measurement& kept, qint64 serverImageId,
                     const Archive*& failing, bool& serverFinished)
{
    Measurement copy = kept;
    copy.id = 0;
    copy.memoryImageId = serverImageId;
    failing = &server;
    const std::optional<qint64> id = server.addMeasurement(copy);
    if (!id)
        return false;
    const std::optional<Measurement> there = server.measurement(*id);
    if (!there)
        return false;
    if (there->unfinished) {
        if (kept.sampleCount > there->sampleCount) {
            failing = &spool;
            const std::optional<ArchiveSeries> samples = spool.readSamples(kept.id);
            if (!samples)
                return false;
            failing = &server;
            const size_t from = size_t(there->sampleCount);
            if (samples->x.size() > from &&
                !server.appendSamples(*id, std::span(samples->x).subspan(from),
                                      std::span(samples->y).subspan(from)))
                return false;
        }
        if (!kept.unfinished && !server.finish(*id, kept.end))
            return false;
    }
    serverFinished = !there->unfinished || !kept.unfinished;
    // Site and notes may have been written while the measurement waited here.
    if ((there->site != kept.site || there->notes != kept.notes) &&
        !server.updateSiteNotes(*id, kept.site, kept.notes))
        return false;
    // So may a recording's weighting, once the meter switched between dBA and dBC.
    if (there->weighting != kept.weighting && !server.updateWeighting(*id, kept.weighting))
        return false;
    return true;
}

} // namespace

QString fileName(const ArchiveLocation& server)
{
    const QString identity =
        QStringLiteral("%1:%2/%3").arg(server.host.toLower()).arg(server.port).arg(server.database);
    const QByteArray hash =
        QCryptographicHash::hash(identity.toUtf8(), QCryptographicHash::Sha256).toHex().left(12);
    return QStringLiteral("archive-spool-%1.sqlite").arg(QString::fromLatin1(hash));
}

ArchiveLocation location(const ArchiveLocation& server, const QString& dataDirectory)
{
    ArchiveLocation spool;
    spool.filePath = QDir(dataDirectory).absoluteFilePath(fileName(server));
    return spool;
}

ArchiveOpenResult open(const ArchiveLocation& server, const QString& dataDirectory)
{
    if (dataDirectory.isEmpty())
        return {nullptr, QStringLiteral("The archive %1 has no local folder to keep "
                                        "measurements in until it is back.")
                             .arg(server.displayName())};
    return Archive::open(location(server, dataDirectory));
}

bool holdsData(const ArchiveLocation& server, const QString& dataDirectory)
{
    const QString path = location(server, dataDirectory).filePath;
    if (dataDirectory.isEmpty() || QFileInfo(path).size() == 0)
        return false;
    SpoolTables tables(path);
    return tables.rowCount().value_or(0) > 0;
}

ArchiveForwardResult forward(Archive& spool, Archive& server)
{
    ArchiveForwardResult result;
    SpoolTables tables(spool.location().filePath);
    const std::optional<std::vector<qint64>> images = tables.imageIds();
    if (!images) {
        result.error =
            QStringLiteral("The archive %1 cannot be read.").arg(spool.location().displayName());
        return result;
    }
    // Images first: a measurement refers to its image by the server's id.
    std::map<qint64, qint64> serverImage;
    for (const qint64 id : *images) {
        const std::optional<QByteArray> bytes = spool.memoryImage(id);
        if (!bytes)
            return failed(result, spool);
        const std::optional<qint64> there = server.storeMemoryImage(*bytes);
        if (!there)
            return failed(result, server);
        serverImage[id] = *there;
    }
    std::optional<std::vector<Measurement>> kept = spool.listMeasurements();
    if (!kept)
        return failed(result, spool);
    // Oldest first, so that the server gets the backlog in order.
    std::reverse(kept->begin(), kept->end());
    for (const Measurement& m : *kept) {
        qint64 imageId = 0;
        if (m.memoryImageId > 0) {
            const auto found = serverImage.find(m.memoryImageId);
            if (found == serverImage.end()) {
                result.error = QStringLiteral("The archive %1 holds no logger memory %2.")
                                   .arg(spool.location().displayName())
                                   .arg(m.memoryImageId);
                return result;
            }
            imageId = found->second;
        }
        const Archive* failing = nullptr;
        bool serverFinished = false;
        if (!sendMeasurement(spool, server, m, imageId, failing, serverFinished))
            return failed(result, *failing);
        // Another program may still be writing it here: kept until it is
        // finished here or on the server.
        if (!serverFinished) {
            ++result.kept;
            continue;
        }
        if (!spool.deleteMeasurement(m.id))
            return failed(result, spool);
        ++result.measurements;
    }
    for (const auto& sent : serverImage) {
        if (!tables.dropImageUnlessUsed(sent.first)) {
            result.error = QStringLiteral("The archive %1 cannot be emptied.")
                               .arg(spool.location().displayName());
            return result;
        }
    }
    result.ok = true;
    return result;
}

} // namespace ArchiveSpool
