#pragma once

// `audimark-cli archive list|export|delete|import`: the measurements of the
// archive (CliArchive chooses which one) from the command line.
//   list [--from DATE --to DATE] [--kind K] [--text T] [--format text|json]
//        newest first; JSON: an array of objects with the keys id, kind
//        (realtime, logger, autoload, import), start and end (ISO 8601 with
//        the UTC offset the measurement was made at), interval_s, samples,
//        weighting, meter, site, notes and leq_db (null without samples)
//   export ID --format csv|txt [--out PATH]
//        the points as the graph window's text and CSV export writes them
//   delete ID --yes
//   import FILE...
//        collection files (each data set), text and CSV files the program
//        wrote, graph files (each series); a file or a data set already in
//        the archive is not added again
// A DATE is yyyy-mm-dd (for --to: up to the end of that day) or a date and
// time yyyy-mm-ddThh:mm[:ss] (local, or with a UTC offset); --to is not
// included.
//
// Exit status: 0 done; 1 the archive cannot be opened or read, holds no
// such measurement, a file cannot be read or the output cannot be written;
// 2 usage (also delete without --yes, CSV under a decimal comma).

#include "archive/Measurement.h"
#include "tools/cli/CliArchive.h"
#include "tools/cli/CommandLine.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>

struct ArchiveCommandOptions
{
    enum class Action
    {
        List,
        Export,
        Delete,
        Import
    };
    Action action = Action::List;
    ArchiveChoice archive;
    MeasurementFilter filter; // list
    bool json = false;        // list
    qint64 id = 0;            // export, delete
    bool csv = false;         // export
    QString outFile;          // export; empty: standard output
    QStringList files;        // import
};

// The options of an `archive` invocation; nothing, with error set (a usage
// error), when they do not read.
[[nodiscard]] std::optional<ArchiveCommandOptions>
archiveCommandOptions(const CommandLine::Invocation& invocation, QString& error);

[[nodiscard]] int runArchiveCommand(const ArchiveCommandOptions& options);
