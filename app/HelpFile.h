#pragma once

// The help page QV58M.htm. It is installed with the program (share/audimark)
// and opened from the data directory, where the program keeps its files; a
// copy there is refreshed from the installed page when that one is newer.

#include <QString>
#include <QStringList>

class HelpFile
{
public:
    static inline const QString FileName = QStringLiteral("QV58M.htm");

    // Where an installed copy may lie, best first: beside the program, the
    // program's share/audimark, and the system's data directories.
    [[nodiscard]] static QStringList installedCandidates();
    // Copies the first existing candidate into dataDirectory when the copy
    // there is missing or older. Returns false only when a copy was needed
    // and failed; no candidate at all is not an error.
    static bool installInto(const QString& dataDirectory, const QStringList& candidates);
    // The page in the data directory.
    [[nodiscard]] static QString pathIn(const QString& dataDirectory);
};
