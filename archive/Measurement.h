#pragma once

// One measurement of the archive as the program hands it over and gets it
// back: what was measured, with which meter, when, and the user's texts.

#include <QDateTime>
#include <QString>

#include <optional>
#include <vector>

enum class MeasurementKind
{
    RealTime,
    Logger,
    AutoLoad,
    Import
};

// "realtime", "logger", "autoload", "import": the names stored and shown.
[[nodiscard]] QString measurementKindName(MeasurementKind kind);
[[nodiscard]] std::optional<MeasurementKind> measurementKindFromName(const QString& name);

struct Measurement
{
    qint64 id = 0; // given by the archive
    QString key;   // the same key is the same measurement; empty: a new one is made
    MeasurementKind kind = MeasurementKind::RealTime;
    QString meterModel;
    QString meterPort;
    // Instants; the start's offset from UTC is kept, and both come back with
    // it (the local time of the place where it was measured).
    QDateTime start;
    QDateTime end;
    qint64 intervalMs = 0; // the meter's interval between samples
    QString weighting;     // "A", "C" or "mixed"
    QString site;
    QString notes;
    qint64 memoryImageId = 0; // the logger memory it came from, 0: none

    // Kept by the archive.
    qint64 sampleCount = 0;
    bool unfinished = true;      // no finish() yet: still recording, or cut off
    std::optional<double> leqDb; // energy mean of the samples, none without samples
};

// Which measurements a listing shows: all criteria given must hold.
struct MeasurementFilter
{
    QDateTime from; // start at or after, when valid
    QDateTime to;   // start before, when valid
    std::optional<MeasurementKind> kind;
    QString text; // in the site, the notes, the meter model or port; any case
};

// The points of a measurement as a graph shows them: x in days since 30
// December 1899 (local wall clock), y in dB.
struct ArchiveSeries
{
    std::vector<double> x;
    std::vector<float> y;
};
