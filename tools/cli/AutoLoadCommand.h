#pragma once

// `audimark-cli autoload`: empties the meter's logger as the program's
// scheduled auto-loading does, on the same core (AutoLoadSchedule,
// AutoLoadCycle): every data set to its own dump file, the memory image
// beside them as a collection file, the erase only when all of that was
// written and read back correct, the meter recording again afterwards.
//   --once        one cycle at once, then exit (--every is then optional)
//   --every H     a cycle every H hours (whole number 1..24), the first one
//                 H hours after the start, until Ctrl-C; the meter is told to
//                 record when it is idle, as Start Auto Loading does
//   --dir DIR     where the files and autoload.log go (default: the
//                 program's data directory, $AUDIMARK_HOME or
//                 ~/.local/share/RX840/Audimark)
// Each memory a cycle downloads also goes to the archive (CliArchive) before
// anything is erased: the image once, each data set as an "autoload"
// measurement. An archive that cannot be opened or written is a warning on
// standard error; the cycles run as without it.
// One line per cycle on standard output (the autoload.log line), the reason
// of a cycle that erased nothing on standard error. Ctrl-C during a cycle
// ends the program after that cycle.
//
// Exit status: 0 when every cycle wrote, checked and erased everything (for
// --once: that one cycle; a schedule stopped before its first cycle is 0);
// 3 when a cycle erased nothing (also when no live frame told whether the
// meter records: then nothing is erased and the meter is not touched); 4
// when the erase was sent but the meter did not confirm it; 5 when a cycle
// emptied the logger but the meter's frames did not show it recording
// again; 1 when no model 842 answered; 2 for usage errors.

#include "tools/cli/CliArchive.h"
#include "tools/cli/ConsoleLoggerUi.h"

#include <QString>
#include <QStringList>

struct AutoLoadOptions
{
    QStringList ports;  // empty: every port the system lists
    int everyHours = 0; // 0: not given
    bool once = false;
    QString directory; // empty: the program's data directory
    // Quiet: only the cycle lines and errors; verbose: also the ports
    // searched and each file a cycle wrote.
    Verbosity verbosity = Verbosity::Normal;
    ArchiveChoice archive;
};

constexpr int AutoLoadNothingErased = 3;
constexpr int AutoLoadEraseUnconfirmed = 4;
constexpr int AutoLoadNotRecordingAgain = 5;

[[nodiscard]] int runAutoLoadCommand(const AutoLoadOptions& options);

// The program's data directory as the windowed program chooses it.
[[nodiscard]] QString programDataDirectory();
