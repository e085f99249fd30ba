#include "app/LoggerArchiving.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"

namespace LoggerArchiving {

namespace {
// Stores into the session's archive. A store that fails because a server's
// connection went is tried once more in the archive the session hands over
// to (a fresh connection or the local spool), so that a loaded memory is
// not lost; only a store failing there too is reported as failed.
std::optional<LoggerArchiveResult> stored(ArchiveSession& session,
                                          const std::function<LoggerArchiveResult(Archive&)>& store)
{
    Archive* archive = session.archive();
    if (!archive)
        return std::nullopt;
    LoggerArchiveResult result = store(*archive);
    if (!result.stored) {
        // Told first: the session finds out whether the server is gone.
        session.reportWriteFailure(result.error);
        Archive* now = session.archive();
        if (!now || now == archive)
            return result;
        result = store(*now);
        if (!result.stored) {
            session.reportWriteFailure(result.error);
            return result;
        }
    }
    session.reportWriteSuccess();
    return result;
}
} // namespace

LoggerImageSource sourceOf(MeasurementKind kind, const MeterSource& meter)
{
    LoggerImageSource source;
    source.kind = kind;
    const ArchiveMeter known = meter ? meter() : ArchiveMeter();
    if (known.model > 0)
        source.meterModel = LoggerImageArchiver::meterModelName(known.model);
    source.meterPort = known.port;
    return source;
}

std::optional<LoggerArchiveResult> keepSets(ArchiveSession& session, const QByteArray& image,
                                            const DataSetCollection& sets,
                                            const LoggerImageSource& source)
{
    return stored(session, [&](Archive& archive) {
        return LoggerImageArchiver::store(archive, image, sets, source);
    });
}

std::optional<LoggerArchiveResult> keepMemory(ArchiveSession& session, const QByteArray& image,
                                              qint32 memoryEnd, const QDateTime& now,
                                              const LoggerImageSource& source)
{
    return stored(session, [&](Archive& archive) {
        return LoggerImageArchiver::storeMemory(archive, image, memoryEnd, now, source);
    });
}

} // namespace LoggerArchiving
