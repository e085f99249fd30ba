#pragma once

// `audimark-cli download`: finds the meter, loads its logger memory exactly
// as the program's "Load Data" does (answering Retry up to --retry times),
// writes the data set collection file and, on request, one CSV file per data
// set in the logger dump line format. Progress and messages on stderr.
//
// Exit status: 0 when the load ended Ok; 10 + the LoadResult value when it
// ended otherwise (its name on stderr); 1 when no model 842 answered or a
// file could not be written; 2 for usage errors.

#include <QString>
#include <QStringList>

struct DownloadOptions
{
    QStringList ports; // empty: every port the system lists
    QString outFile;
    QString csvDirectory; // empty: no CSV files
    int retries = 0;
};

constexpr int LoadResultExitBase = 10;

[[nodiscard]] int runDownloadCommand(const DownloadOptions& options);
