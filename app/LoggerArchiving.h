#pragma once

// Keeps what the logger gives in the program's archive: the memory image
// (once per content) and one finished measurement per data set, under the
// keys the command line uses too (LoggerImageArchiver), so a set loaded by
// either is stored once. The session hears of each success and failure; a
// store that fails because a server went away is tried once more where the
// session continues (its local spool), and reported failed only when that
// fails too.

#include "archive/LoggerImageArchiver.h"

#include <QByteArray>
#include <QDateTime>

#include <functional>
#include <optional>

class ArchiveSession;
class DataSetCollection;

// The meter as the archive records it.
struct ArchiveMeter
{
    int model = 0; // 841 or 842; 0 while unknown
    QString port;
};

namespace LoggerArchiving {

using MeterSource = std::function<ArchiveMeter()>;

// The source of a download from the meter meter gives (nothing: unknown).
[[nodiscard]] LoggerImageSource sourceOf(MeasurementKind kind, const MeterSource& meter);

// Stores image with the sets decoded from it; empty when the session keeps
// no archive.
[[nodiscard]] std::optional<LoggerArchiveResult> keepSets(ArchiveSession& session,
                                                          const QByteArray& image,
                                                          const DataSetCollection& sets,
                                                          const LoggerImageSource& source);

// Decodes a downloaded memory and stores it (LoggerImageArchiver::storeMemory).
[[nodiscard]] std::optional<LoggerArchiveResult> keepMemory(ArchiveSession& session,
                                                            const QByteArray& image,
                                                            qint32 memoryEnd, const QDateTime& now,
                                                            const LoggerImageSource& source);

} // namespace LoggerArchiving
