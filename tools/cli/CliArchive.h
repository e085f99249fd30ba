#pragma once

// The archive a command of audimark-cli stores into or reads from, first
// match wins: --no-archive (none), --archive URL|FILE, the environment
// variable AUDIMARK_ARCHIVE, else archive.sqlite in the program's data
// directory. download and autoload go on without an archive that cannot be
// opened (one line on standard error says why); the archive command fails.

#include "archive/Archive.h"
#include "archive/LoggerImageArchiver.h"

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
// silently, under --no-archive).
[[nodiscard]] std::unique_ptr<Archive> openOrWarn(const ArchiveChoice& choice, QTextStream& err);

// Stores a decoded logger memory (LoggerImageArchiver) and says so on err
// unless quiet; a failure is a warning line. True when stored.
bool storeLoggerImage(Archive& archive, const QByteArray& image,
                      const DataSetCollection& collection, const LoggerImageSource& source,
                      QTextStream& err, bool quiet);

// A message of the archive on one line (a server's may span several).
[[nodiscard]] QString oneLine(const QString& message);

} // namespace CliArchive
