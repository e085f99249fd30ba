#pragma once

// Where a command that reads one series takes it from: a file the program
// wrote (a collection, a text or a CSV file, see loadReportSeries), or a
// measurement of the archive named "archive:ID". A measurement is read as
// the file `archive export ID --format txt` writes, so that a command gives
// the same figures for it as for that file. The archive is the one
// CliArchive chooses (AUDIMARK_ARCHIVE, else the program's own).

#include "files/formats/NoiseReport.h"
#include "tools/cli/CliArchive.h"

#include <QString>

#include <optional>

namespace SeriesInput {

inline const QString ArchivePrefix = QStringLiteral("archive:");

// The argument names a measurement of the archive ("archive:..."). Such an
// argument holds one series, like a text file.
[[nodiscard]] bool isArchive(const QString& argument);

// The series of argument: set (from 1) applies to a collection file only.
// An archive that cannot be opened, an ID that is not a number or that the
// archive does not hold: no series, status 1, one line in error.
[[nodiscard]] ReportSeriesLoad load(const QString& argument, int set, const QDateTime& now,
                                    const QLocale& locale = QLocale(),
                                    const ArchiveChoice& archive = {});

} // namespace SeriesInput
