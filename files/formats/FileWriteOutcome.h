#pragma once

// How a file write ended. Every writer writes through OutputFile: only a
// Written outcome replaces the file of that name; a cancelled or failed
// write leaves an earlier file of that name as it was (a pipe or a device,
// written directly, keeps what it was sent).

#include <QString>

struct FileWriteOutcome
{
    enum Kind
    {
        Written,
        Cancelled, // the user cancelled in the progress dialog
        Failed     // the file could not be created or written
    };
    Kind kind = Failed;
    int lines = 0;       // lines written (a cancelled write discards them)
    QString error;       // Failed: the system's reason

    [[nodiscard]] bool written() const { return kind == Written; }
};
