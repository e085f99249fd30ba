#pragma once

// The options of the acoustician's figures that several commands share,
// read in one place with one set of complaints: durations ("10s", "1m",
// "0.5h"), levels in dB, the exceedance events' --threshold, --min-duration
// and --hysteresis, the --period of a period table and the
// day-evening-night --den-hours and --den-penalties. Used by periods,
// events, dose, stats and report.

#include "acoustics/DayEveningNight.h"
#include "acoustics/ExceedanceEvents.h"
#include "files/formats/ReportDetails.h"
#include "tools/cli/CommandLine.h"

#include <QString>

#include <optional>

namespace FigureOptions {

// A number with s, m or h; a bare number is seconds. Above 0.
[[nodiscard]] std::optional<double> secondsOf(const QString& text);
// A level with a decimal point.
[[nodiscard]] std::optional<double> decibelsOf(const QString& text);

// --threshold (required), --min-duration and --hysteresis; nothing, and
// the complaint in error, when one does not read.
[[nodiscard]] std::optional<EventCriteria> eventCriteria(const CommandLine::Invocation& invocation,
                                                         QString& error);

// --den-hours and --den-penalties (either text may be empty: the default);
// false and the complaint in error when one does not read.
[[nodiscard]] bool readDenSettings(const QString& startsText, const QString& penaltiesText,
                                   DenSettings& settings, QString& error);

// The report's --period, --min-duration, --hysteresis, --den-hours and
// --den-penalties into settings; false and the complaint in error.
[[nodiscard]] bool readReportSettings(const CommandLine::Invocation& invocation,
                                      ReportSettings& settings, QString& error);

// The complaint about a --period that does not read.
[[nodiscard]] QString periodComplaint();

} // namespace FigureOptions
