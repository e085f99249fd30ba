#pragma once

// The archive a command of audimark-cli stores into or reads from, first
// match wins: --no-archive (none), --archive URL|FILE, the environment
// variable AUDIMARK_ARCHIVE, else archive.sqlite in the program's data
// directory. download and autoload go on without an archive that cannot be
// opened (one line on standard error says why); the archive command fails.
//
// A PostgreSQL server that cannot be reached does not lose what download,
// autoload and record store: it goes to the server's local spool in the data
// directory (one warning line says so) and is sent to the server by the
// first command that finds it back.

#include "archive/Archive.h"
#include "archive/LoggerImageArchiver.h"
#include "archive/SpooledArchive.h"

#include <QString>
#include <QTextStream>

#include <memory>

struct ArchiveChoice
{
    bool off = false; // --no-archive
    QString location; // --archive, empty: not given
};

namespace CliArchive {

inline constexpr const char* EnvironmentVariable = "AUDIMARK_ARCHIVE";

// The archive's location as text, or empty when choice says none.
[[nodiscard]] QString locationText(const ArchiveChoice& choice);

// The archive opened, or null after a warning line on err (also null,
// silently, under --no-archive). A server out of reach gives its spool,
// after a warning line; a server that answers first gets what its spool
// holds.
[[nodiscard]] std::unique_ptr<Archive> openOrWarn(const ArchiveChoice& choice, QTextStream& err);

// The same for a command that records over a long time (the archive it
// gives changes when the server goes or comes back: see SpooledArchive).
[[nodiscard]] std::unique_ptr<SpooledArchive> openSpooledOrWarn(const ArchiveChoice& choice,
                                                                QTextStream& err);

// archive is the spool of the chosen server and the server answers again:
// the spool is forwarded (a line on err unless quiet) and archive becomes
// the server. True when it did.
bool preferServer(std::unique_ptr<Archive>& archive, const ArchiveChoice& choice, QTextStream& err,
                  bool quiet);

// Stores a decoded logger memory (LoggerImageArchiver) and says so on err
// unless quiet; a failure is a warning line. True when stored.
bool storeLoggerImage(Archive& archive, const QByteArray& image,
                      const DataSetCollection& collection, const LoggerImageSource& source,
                      QTextStream& err, bool quiet);
// As storeLoggerImage; when archive is a server whose connection is gone,
// archive becomes a new connection or, out of reach, its spool, and the
// memory is stored there.
bool storeLoggerImage(std::unique_ptr<Archive>& archive, const ArchiveChoice& choice,
                      const QByteArray& image, const DataSetCollection& collection,
                      const LoggerImageSource& source, QTextStream& err, bool quiet);

// A message of the archive on one line (a server's may span several).
[[nodiscard]] QString oneLine(const QString& message);

} // namespace CliArchive
