#pragma once

// `audimark-cli live`: finds the meter like the program does, then prints one
// line per decoded reading, answering every frame with "X". A meter that
// stops answering is reported once on standard error, and once more when it
// is back; a device that went away is opened again when it returns.

#include <QStringList>

struct LiveOptions
{
    QStringList ports; // empty: every port the system lists
    int count = 0;     // 0: until interrupted
    bool csv = false;
    // Seconds without a reading (meter silent or device gone) after which
    // the command ends with status 1; 0: never.
    int giveUpAfterSeconds = 0;
};

// Returns the process exit status.
[[nodiscard]] int runLiveCommand(const LiveOptions& options);
