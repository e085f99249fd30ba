#pragma once

// The acoustician's figures on the command line, on the series `stats`
// loads (a data set of a collection file, a text or CSV file the program
// wrote, or archive:ID, a measurement of the archive read as the text file
// it exports to; --from/--to narrow it as for stats):
//
//   audimark-cli periods FILE --period 15m|1h [--set N] [--percentiles
//     nearest-rank|interpolated] [--threshold dB [--min-duration 10s]
//     [--hysteresis 2]] [--format text|csv|json]
//   audimark-cli events FILE --threshold dB [--set N] [--min-duration 10s]
//     [--hysteresis 2] [--format text|csv|json]
//   audimark-cli dose FILE [--set N] [--exposure 8h] [--criterion 85]
//     [--exchange-rate 3|5] [--format text|json]
//
// Each also takes --archive URL|FILE or --no-archive: where archive:ID is
// read from (CliArchive's choice).
//
// JSON: the file, set, weighting, the name of the equivalent level, the
// sample counts (substituted and out-of-range ones beside the figures, not
// folded in), the percentile rule and, for logger data, the sampling note;
// then periods [{start, end, <laeq_db|lceq_db|leq_db>, lmax_db, l10_db,
// l90_db, samples, coverage, complete[, events]}], events [{start, end,
// duration_s, lmax_db, <laeq_db|lceq_db|leq_db>, sel_db}] or the dose
// {lex_8h_db, dose_percent, exchange_rate_db, criterion_db, exposure_s,
// measured_s, <laeq_db|...>, average_db}. Times are ISO 8601 with the UTC
// offset, figures are numbers (levels to 0.01 dB); a period without samples
// has null levels. CSV: a heading of the same keys, ISO times, full stops.
// Text: TAB-separated, the regional number format, four-digit years.
//
// Exit status as for stats: 0 printed, 1 the file, the archive measurement
// (or standard output) failed, 2 usage, 10 + the LoadResult when a
// collection does not decode.

#include "acoustics/DayEveningNight.h"
#include "files/formats/NoiseReport.h"
#include "tools/cli/CommandLine.h"

#include <QJsonObject>
#include <QString>

[[nodiscard]] bool isFiguresCommand(const QString& command);
[[nodiscard]] int runFiguresCommand(const CommandLine::Invocation& invocation);

// For stats: --den-hours and --den-penalties read into settings; false and
// the complaint in error when they do not read.
[[nodiscard]] bool readDenSettings(const QString& startsText, const QString& penaltiesText,
                                   DenSettings& settings, QString& error);
// The day-evening-night figures of a whole series, per day and over all,
// as stats prints them.
[[nodiscard]] QJsonObject dayEveningNightJson(const ReportSeries& series,
                                              const DenSettings& settings);
[[nodiscard]] QString dayEveningNightText(const ReportSeries& series, const DenSettings& settings,
                                          const QLocale& locale = QLocale());
