#pragma once

// Writes a real-time recording into the archive while it records: the
// measurement (kind realtime, the meter's model and port, the start with its
// offset from UTC, the interval and the weighting) is added with the first
// sample, its weighting becomes "mixed" when the meter switches between dBA
// and dBC while recording, the samples follow through an
// ArchiveRecording (committed at least once a second of sample time), and
// the measurement is finished when recording stops by any cause. A crash
// leaves it unfinished with all but the last second.
//
// A failed write is reported through writeFailed() and the samples are kept
// for the next attempt; the recording itself goes on in the graph whatever
// the archive does. inArchive() tells whether every sample so far is stored.
//
// The archive is asked again with every sample: when it gives another one
// (a server gone, its local spool in its place, or the server back), the
// recording continues there under the same measurement key, with every
// sample the new archive does not have yet, so that the spool forwarded to
// the server later adds just what the server lacks.
//
// Main thread only; QtCore and QtSql.

#include "archive/Measurement.h"
#include "data/AcousticStatistics.h"

#include <QDateTime>
#include <QObject>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class Archive;
class ArchiveRecording;
class MeterClock;
class RealTimeRecorder;

class RealTimeArchiver : public QObject
{
    Q_OBJECT

public:
    struct Meter
    {
        QString model;
        QString port;
    };

    RealTimeArchiver(RealTimeRecorder& recorder, MeterClock& clock, QObject* parent = nullptr);
    ~RealTimeArchiver() override;

    // Where each recording goes, asked at its start and with each sample;
    // null: nowhere. An archive it gave must outlive the recording.
    void setArchive(std::function<Archive*()> archive) { archive_ = std::move(archive); }
    void setMeter(std::function<Meter()> meter) { meter_ = std::move(meter); }

    // The running (or last) recording is kept in the archive: no write of
    // it has failed since the last one that succeeded.
    [[nodiscard]] bool inArchive() const { return inArchive_; }
    // The measurement of the running or last recording; 0 when none was added.
    [[nodiscard]] qint64 measurementId() const { return measurementId_; }

signals:
    void writeFailed(const QString& error);
    void writeSucceeded();
    void inArchiveChanged(bool inArchive);

private:
    void recordingStarted();
    void recordingChanged(bool running);
    void sampleTaken(double time, float level, AcousticWeighting weighting);
    void finishRecording();
    void setInArchive(bool inArchive);
    void wrote(bool ok);
    // The archive given now, when it is not the one written to.
    void followArchive();
    // Adds the measurement to the archive and every sample it lacks.
    [[nodiscard]] bool startInArchive();
    // Brings the stored measurement's weighting up to the recording's.
    [[nodiscard]] bool storeWeighting();
    // Runs a write; when it fails and the archive given changes because of
    // that (writeFailed() told), runs it again in the new one.
    [[nodiscard]] bool write(const std::function<bool()>& attempt);

    RealTimeRecorder& recorder_;
    MeterClock& clock_;
    std::function<Archive*()> archive_;
    Archive* recordingArchive_ = nullptr;
    std::function<Meter()> meter_;
    // Between recordingStarted() and the end of that recording.
    bool running_ = false;
    QDateTime start_;
    float interval_ = 0.0f;
    qint64 measurementId_ = 0;
    // The weighting the archive holds for measurementId_.
    QString storedWeighting_;
    std::unique_ptr<ArchiveRecording> recording_;
    // The recording's measurement, made with its first sample.
    std::optional<Measurement> measurement_;
    // Every sample of the recording, for an archive that lacks some.
    std::vector<double> allX_;
    std::vector<float> allY_;
    bool inArchive_ = false;
};
