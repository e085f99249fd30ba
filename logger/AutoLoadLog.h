#pragma once

// The trace of unattended work: what one auto-load cycle did, and the line
// it leaves in "autoload.log" in the data directory, for a person to read
// the next morning:
//   <date> <hh:mm:ss>; <result>; <n> sets, <m> samples; files <names>;
//   erased yes|no|unconfirmed[; reason: <why>]
// The date in the locale's short date format with a four-digit year; counts
// without group separators. Lines end with CR LF.

#include "logger/LoadResult.h"

#include <QDateTime>
#include <QLocale>
#include <QString>
#include <QStringList>

struct AutoLoadOutcome
{
    enum class Result
    {
        Emptied,          // every set written and checked, the memory erased
        NothingErased,    // a step before the erase failed (reason set)
        EraseUnconfirmed, // all written, the erase sent, the meter did not
                          // confirm it (reason set)
        Skipped           // not run at all (reason set)
    };

    QDateTime started;
    Result result = Result::NothingErased;
    LoadResult download = LoadResult::Ok; // of the download, when it ran
    int sets = 0;                         // data sets written and checked
    qint64 samples = 0;                   // their samples
    QStringList files;                    // names written: dumps, then the image
    QString reason;                       // empty when emptied and the meter records again
    QString logError;                     // the log line could not be written

    [[nodiscard]] bool erased() const { return result == Result::Emptied; }
};

namespace AutoLoadLog {

inline const QString FileName = QStringLiteral("autoload.log");

[[nodiscard]] QString resultText(AutoLoadOutcome::Result result);
// The log line without its line end.
[[nodiscard]] QString line(const AutoLoadOutcome& outcome, const QLocale& locale = QLocale());
// A log larger than this is left alone: nothing is appended to it.
inline constexpr qint64 MaxBytes = qint64(16) << 20;

// Appends the line to dataDirectory/autoload.log through OutputFile (the log
// is replaced only by a complete new copy). An existing log is read back
// only when it is a regular file of at most MaxBytes. The reason on failure,
// else an empty string.
[[nodiscard]] QString append(const QString& dataDirectory, const AutoLoadOutcome& outcome,
                             const QLocale& locale = QLocale());

} // namespace AutoLoadLog
