#pragma once

// `audimark-cli info | set-clock | set-interval MM:SS | erase`: the logger
// setup of the program's "Data Logger Setup" window, on the same core
// (LoggerSetup), against the model 842 found on --port (or on the ports the
// system lists).
//   info [--format text|json]  firmware, meter time, recording interval,
//                              data sets, memory available and the memory
//                              test; JSON keys firmware, meter_time (ISO
//                              8601), meter_time_iso (with milliseconds
//                              and the UTC offset), interval_s, data_sets,
//                              memory_available, memory_test ("OK",
//                              "False", "Skipped", "Skipped (recording)"
//                              or "Skipped (no live frame)"); a value the
//                              meter did not give is null
//   set-clock                  the meter clock to the computer's
//   set-interval MM:SS         00:01 to 01:00
//   erase --yes                erases the logger (refused without --yes)
// The meter's own messages go to standard output after a success and to
// standard error after a failure.
//
// Exit status: 0 done; 1 no model 842 answered; 2 usage errors (an interval
// outside 00:01..01:00, erase without --yes); 3 the meter did not confirm
// the operation or refused it (recording), the reason on standard error.

#include <QString>
#include <QStringList>

struct SetupCommandOptions
{
    enum class Operation
    {
        Info,
        SetClock,
        SetInterval,
        Erase
    };
    Operation operation = Operation::Info;
    QStringList ports; // empty: every port the system lists
    bool json = false;
    QString interval; // MM:SS for set-interval
    bool yes = false;
    // A usage error found on the command line; empty when there is none.
    QString error;
};

constexpr int SetupNotConfirmed = 3;

[[nodiscard]] int runSetupCommand(const SetupCommandOptions& options);
