#include "app/ArchiveFileOffer.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"
#include "archive/ArchiveImport.h"

#include <QFileInfo>

namespace ArchiveFileOffer {

namespace {
QString nameOf(const QString& path)
{
    return QFileInfo(path).fileName();
}
} // namespace

QString offerText(const QString& path)
{
    return QStringLiteral("%1 is not in the archive.").arg(nameOf(path));
}

bool offered(ArchiveSession* session, const QString& path, const QDateTime& now)
{
    Archive* archive = session ? session->archive() : nullptr;
    if (!archive)
        return false;
    const ArchiveImport::Presence presence = ArchiveImport::presence(*archive, path, now);
    // An archive that cannot be asked now says so when something is stored.
    return presence.readable && presence.error.isEmpty() && !presence.kept;
}

Result keep(ArchiveSession* session, const QString& path, const QDateTime& now)
{
    Archive* archive = session ? session->archive() : nullptr;
    if (!archive)
        return {false, QStringLiteral("%1 was not kept: no archive is in use.").arg(nameOf(path))};
    const ArchiveImport::Outcome outcome = ArchiveImport::keep(*archive, path, now);
    if (!outcome.stored) {
        // Told where it was asked for, not in a message box as well.
        const QString error = outcome.error.isEmpty() ? archive->lastError() : outcome.error;
        return {false,
                QStringLiteral("%1 was not kept in the archive: %2").arg(nameOf(path), error)};
    }
    session->reportWriteSuccess();
    const auto count = qsizetype(outcome.ids.size());
    const QString what = outcome.kind == ArchiveImport::FileKind::Collection
                             ? (count == 1 ? QStringLiteral("1 data set")
                                           : QStringLiteral("%1 data sets").arg(count))
                             : (count == 1 ? QStringLiteral("1 measurement")
                                           : QStringLiteral("%1 measurements").arg(count));
    return {true, QStringLiteral("%1 is kept in the archive %2 (%3).")
                      .arg(nameOf(path), session->displayName(), what)};
}

} // namespace ArchiveFileOffer
