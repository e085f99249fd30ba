#pragma once

// The program's own directory for the files it keeps beside itself: the
// graph template, the temporary data set file, the logger dump files and the
// help page. Chosen, first match wins, by the --data-dir option, the
// environment variable AUDIMARK_HOME, or the platform's application data
// location (~/.local/share/RX840/Audimark on Linux).

#include <QString>

class DataDirectory
{
public:
    static inline const char* const EnvironmentVariable = "AUDIMARK_HOME";

    // The directory to use, as an absolute path; optionValue is the value of
    // --data-dir (empty when not given). The directory is not created.
    [[nodiscard]] static QString choose(const QString& optionValue);
    // Creates the directory when needed; false when it cannot be created.
    [[nodiscard]] static bool ensureExists(const QString& path);
};
