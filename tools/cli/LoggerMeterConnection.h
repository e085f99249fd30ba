#pragma once

// The start of every logger command of the command line: search the ports
// (the given ones, else those the system lists) for a meter, insist on a
// model 842, start its live link and wait for a first frame, so that the
// recording flag is known before a logger command looks at it. Failures are
// told on `err` in one line each; so is a meter that sends no live frame
// (MeterLink::RecordingKnown() then stays false, and the commands that must
// not act on an unknown recording state hold back).

#include "tools/cli/ConsoleLoggerUi.h"

#include <QStringList>

class MeterLink;
class QTextStream;

namespace LoggerMeterConnection {

// True when a model 842 answers and its live link runs. Quiet leaves out
// the line naming the meter's port; verbose adds the ports searched.
[[nodiscard]] bool connect(MeterLink& link, const QStringList& requestedPorts, QTextStream& err,
                           Verbosity verbosity = Verbosity::Normal);

} // namespace LoggerMeterConnection
