#pragma once

// The offer to keep a file that Open has shown in the program's archive:
// made only while an archive is in use and only for a file that reads and
// is not all in it yet (a collection saved after a download, whose sets the
// download kept, is not offered again). Keeping goes through ArchiveImport,
// so the command line's `archive import` and the program store the same
// measurements under the same keys.
//
// Main thread only; QtCore and QtSql.

#include <QDateTime>
#include <QString>

class ArchiveSession;

namespace ArchiveFileOffer {

inline const QString KeepText = QStringLiteral("Keep in the archive");

// "<file> is not in the archive."
[[nodiscard]] QString offerText(const QString& path);

// Whether the window that shows path offers to keep it.
[[nodiscard]] bool offered(ArchiveSession* session, const QString& path, const QDateTime& now);

struct Result
{
    bool kept = false;
    QString text; // what happened, for the user
};

// Keeps path in the session's archive. A failure's text names the archive
// (or the file, when it no longer reads); a success ends the session's
// silence after a write failure.
[[nodiscard]] Result keep(ArchiveSession* session, const QString& path, const QDateTime& now);

} // namespace ArchiveFileOffer
