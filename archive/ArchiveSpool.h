#pragma once

// The local archive that holds what was meant for a PostgreSQL server while
// the server cannot be reached: an SQLite archive file in the program's data
// directory, one per server (host, port and database; any user), named
// archive-spool-<hash>.sqlite.
//
// forward() sends what the spool holds to the server and removes it from
// the spool. Every step is one the server does not repeat: a measurement is
// added under its key (the server gives back the one it has), only the
// samples past the server's count are appended, it is finished only when
// the spool's copy is and the server's is not, and memory images are stored
// once per content. A forward cut off at any point (the server gone again, a
// crash) and run again therefore stores nothing twice.
//
// An unfinished measurement is sent as far as it goes but stays in the spool
// until it is finished there or on the server: another program may still be
// recording into it, and its next forward sends the rest.

#include "archive/Archive.h"

#include <QString>

struct ArchiveForwardResult
{
    bool ok = false;      // everything the spool holds is on the server now
    int measurements = 0; // measurements sent and removed from the spool
    int kept = 0;         // unfinished ones, sent as far as they go and kept
    QString error;        // which archive failed, when !ok
};

namespace ArchiveSpool {

// The spool's file name for a server location.
[[nodiscard]] QString fileName(const ArchiveLocation& server);
[[nodiscard]] ArchiveLocation location(const ArchiveLocation& server, const QString& dataDirectory);

// Opens (or creates) the spool of server in dataDirectory.
[[nodiscard]] ArchiveOpenResult open(const ArchiveLocation& server, const QString& dataDirectory);

// The spool of server holds something: its file exists and is not empty of
// measurements and memory images. False also when it cannot be read.
[[nodiscard]] bool holdsData(const ArchiveLocation& server, const QString& dataDirectory);

[[nodiscard]] ArchiveForwardResult forward(Archive& spool, Archive& server);

} // namespace ArchiveSpool
