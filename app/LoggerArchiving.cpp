#include "app/LoggerArchiving.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"

namespace LoggerArchiving {

namespace {
LoggerArchiveResult reported(ArchiveSession& session, LoggerArchiveResult result)
{
    if (result.stored)
        session.reportWriteSuccess();
    else
        session.reportWriteFailure(result.error);
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
    Archive* archive = session.archive();
    if (!archive)
        return std::nullopt;
    return reported(session, LoggerImageArchiver::store(*archive, image, sets, source));
}

std::optional<LoggerArchiveResult> keepMemory(ArchiveSession& session, const QByteArray& image,
                                              qint32 memoryEnd, const QDateTime& now,
                                              const LoggerImageSource& source)
{
    Archive* archive = session.archive();
    if (!archive)
        return std::nullopt;
    return reported(session,
                    LoggerImageArchiver::storeMemory(*archive, image, memoryEnd, now, source));
}

} // namespace LoggerArchiving
