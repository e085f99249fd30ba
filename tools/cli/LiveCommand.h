#pragma once

// `audimark-cli live`: finds the meter like the program does, then prints one
// line per decoded reading, answering every frame with "X".

#include <QStringList>

struct LiveOptions
{
    QStringList ports; // empty: every port the system lists
    int count = 0;     // 0: until interrupted
    bool csv = false;
};

// Returns the process exit status.
[[nodiscard]] int runLiveCommand(const LiveOptions& options);
