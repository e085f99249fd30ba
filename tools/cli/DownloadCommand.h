#pragma once

// `audimark-cli download`: finds the meter, loads its logger memory exactly
// as the program's "Load Data" does (answering Retry up to --retry times,
// then, with --repair, OK to the data error question, which runs the
// program's repair), writes the data set collection file and, on request,
// one CSV file per data set in the logger dump line format. With
// --keep-damaged, a memory image that was read whole but did not decode is
// written to the collection file all the same: it may be the only copy of
// the sets the repair drops. Progress and messages on stderr; nothing is
// written to a temporary directory, so an interrupt leaves none behind.
// The memory image and its data sets also go to the archive (CliArchive);
// an image that did not decode but is kept with --keep-damaged goes there
// alone. An archive that cannot be opened or written is a warning: the
// files are written all the same and the exit status does not change.
//
// Exit status: 0 when the load ended Ok; 10 + the LoadResult value of the
// first failed load when none ended Ok (why, in a sentence on stderr); 1 when no model
// 842 answered or a file could not be written; 2 for usage errors.

#include "tools/cli/CliArchive.h"
#include "tools/cli/ConsoleLoggerUi.h"

#include <QString>
#include <QStringList>

struct DownloadOptions
{
    QStringList ports; // empty: every port the system lists
    QString outFile;
    QString csvDirectory; // empty: no CSV files
    int retries = 0;
    bool repair = false;      // answer OK to the data error question
    bool keepDamaged = false; // write an image that does not decode as well
    Verbosity verbosity = Verbosity::Normal;
    ArchiveChoice archive;
};

constexpr int LoadResultExitBase = 10;

[[nodiscard]] int runDownloadCommand(const DownloadOptions& options);
