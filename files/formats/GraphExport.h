#pragma once

// The text and CSV export of a graph series: one graph export line
// (ExportText) per point of the range, stopping before the first point whose
// X is exactly 0 (a point that holds no sample).

#include "files/formats/ExportRange.h"
#include "files/formats/FileWriteOutcome.h"

#include <QChar>
#include <QIODevice>
#include <QLocale>
#include <functional>
#include <optional>
#include <span>

namespace GraphExport {

// Called after each written line with the number of lines written so far;
// returns false to cancel the export.
using Progress = std::function<bool(int linesWritten)>;

// Writes points range.from .. range.to (1-based, clamped to the series) of
// x/y (same length) to path, complete or not at all.
[[nodiscard]] FileWriteOutcome write(const QString& path, std::span<const double> x,
                                     std::span<const float> y, ExportRange range,
                                     QChar separator, const QLocale& locale,
                                     const Progress& progress = {});

// The same lines written to an open device (a file, standard output): Written
// with the number of lines, Cancelled when progress said so, Failed when the
// device refused a write. Nothing is committed or closed here.
[[nodiscard]] FileWriteOutcome writeLines(QIODevice& device, std::span<const double> x,
                                          std::span<const float> y, ExportRange range,
                                          QChar separator, const QLocale& locale,
                                          const Progress& progress = {});

// The separator the graph save uses for a file name: TAB for ".txt", comma
// for ".csv" (case-insensitive); nothing for other extensions.
[[nodiscard]] std::optional<QChar> separatorForExtension(const QString& fileName);

} // namespace GraphExport
