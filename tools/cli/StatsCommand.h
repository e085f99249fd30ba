#pragma once

// `audimark-cli stats FILE [--set N] [--from TIME --to TIME]
// [--threshold dB] [--format text|json]`: the statistics of one series - a
// data set of a collection file (N from 1, default 1), or the series of a
// text or CSV file the program wrote (graph export or logger dump) - as the
// graph window shows them (start time, sampling rate, points, Avg, Maximum
// and Minimum with their times), and its acoustic figures (the equivalent
// level named by the weighting, L5, L10, L50, L90, L95, Lmax, Lmin, duration
// and time above the threshold, default 85 dB, taken at its 0.1 dB step),
// for the whole series and, with --from/--to, for the points from --from up
// to, not including, --to. A TIME is a time of day (hh:mm[:ss]) or a date
// and time (yyyy-mm-ddThh:mm[:ss]); see reportSpanOfTimes.
//
// After the table, the day-evening-night levels per day and over the whole
// series (FiguresCommand); in JSON under day_evening_night {lday_db,
// levening_db, lnight_db, lden_db, ldn_db, day_coverage, evening_coverage,
// night_coverage, samples, day_start, evening_start, night_start,
// evening_penalty_db, night_penalty_db, days [{date, start, ...}]}, beside
// counts {samples, not_finite, out_of_range, possible_stand_ins,
// rows_without_level} and percentile_rule.
//
// JSON keys: file, set, meter, weighting, leq_name, start, end, start_iso,
// end_iso, interval_s, threshold_db, rows_without_level, whole {statistics
// {start_time, sampling_rate, data_no, avg, max, max_time, min, min_time,
// start_time_iso, points, avg_db, max_db, max_time_iso, min_db,
// min_time_iso}, acoustic {samples, duration_s, leq_db, l5_db, l10_db,
// l50_db, l90_db, l95_db, lmax_db, lmin_db, seconds_above, percent_above}},
// span (null, or {first_index, last_index, statistics {cursor_a,
// cursor_a_time, cursor_b, cursor_b_time, data_no, avg, max, max_time, min,
// min_time, cursor_a_db, cursor_a_time_iso, cursor_b_db, cursor_b_time_iso,
// points, avg_db, max_db, max_time_iso, min_db, min_time_iso}, acoustic
// {...}}). The statistic texts are the window's texts (the locale's date and
// decimal format); beside them the same figures as numbers (levels to
// 0.1 dB, averages to 0.01 dB) and the times in ISO 8601 with the UTC offset
// (IsoTime); acoustic figures are numbers, levels to 0.01 dB; threshold_db
// is the step counted with.
//
// Exit status: 0 printed; 2 usage (also a time or threshold that does not
// read, a span without points); 1 file unreadable, no such set, no points,
// times that run backwards (the line or point is named);
// 10 + the LoadResult value when a collection does not decode. One line on
// stderr.

#include "files/formats/NoiseReport.h"
#include "tools/cli/CliArchive.h"

#include <QString>

struct StatsOptions
{
    QString file;
    int set = 1; // 1-based; text and CSV files hold one series
    QString fromText;
    QString toText;
    QString thresholdText; // empty: the default threshold
    QString denStartsText; // --den-hours; empty: 07:00,19:00,23:00
    QString denPenaltiesText; // --den-penalties; empty: 5,10
    ArchiveChoice archive;    // where archive:ID is read from
    bool json = false;
};

[[nodiscard]] int runStatsCommand(const StatsOptions& options);

// Shared with the report command: the series of options.file and the
// report on it. 0, or the exit status with a message for stderr.
struct LoadedReport
{
    int status = 0;
    QString error;
    ReportSeries series;
    NoiseReport report;
};
[[nodiscard]] LoadedReport loadStatsReport(const StatsOptions& options);
