#include "realtime/RealTimeArchiver.h"

#include "archive/Archive.h"
#include "archive/ArchiveRecording.h"
#include "meter/MeterClock.h"
#include "realtime/RealTimeRecorder.h"

#include <cmath>

RealTimeArchiver::RealTimeArchiver(RealTimeRecorder& recorder, MeterClock& clock,
                                   QObject* parent)
    : QObject(parent), recorder_(recorder), clock_(clock)
{
    connect(&recorder_, &RealTimeRecorder::recordingStarted, this,
            &RealTimeArchiver::recordingStarted);
    connect(&recorder_, &RealTimeRecorder::runningChanged, this,
            &RealTimeArchiver::recordingChanged);
    connect(&recorder_, &RealTimeRecorder::sampleTaken, this, &RealTimeArchiver::sampleTaken);
}

RealTimeArchiver::~RealTimeArchiver()
{
    // Still recording at the end: what there is, is kept and marked complete.
    finishRecording();
}

void RealTimeArchiver::setInArchive(bool inArchive)
{
    if (inArchive_ == inArchive)
        return;
    inArchive_ = inArchive;
    emit inArchiveChanged(inArchive_);
}

void RealTimeArchiver::wrote(bool ok)
{
    if (ok) {
        setInArchive(true);
        emit writeSucceeded();
        return;
    }
    setInArchive(false);
    emit writeFailed(recordingArchive_->lastError());
}

void RealTimeArchiver::recordingChanged(bool running)
{
    if (running || !running_)
        return;
    running_ = false;
    finishRecording();
}

void RealTimeArchiver::recordingStarted()
{
    // A recording still running ends here: its graph was reset.
    finishRecording();
    running_ = true;
    recordingArchive_ = archive_ ? archive_() : nullptr;
    start_ = clock_.currentDateTime();
    interval_ = recorder_.interval();
    measurementId_ = 0;
    heldX_.clear();
    heldY_.clear();
    setInArchive(false);
}

void RealTimeArchiver::sampleTaken(double time, float level, AcousticWeighting weighting)
{
    if (!running_ || !recordingArchive_)
        return;
    if (!recording_) {
        heldX_.push_back(time);
        heldY_.push_back(level);
        Measurement m;
        m.kind = MeasurementKind::RealTime;
        if (meter_) {
            const Meter meter = meter_();
            m.meterModel = meter.model;
            m.meterPort = meter.port;
        }
        m.start = start_;
        m.intervalMs = std::llround(double(interval_) * 1000.0);
        m.weighting = weightingText(weighting);
        const std::optional<qint64> id = recordingArchive_->addMeasurement(m);
        if (!id) {
            wrote(false);
            return;
        }
        measurementId_ = *id;
        recording_ = std::make_unique<ArchiveRecording>(*recordingArchive_, *id);
        bool ok = true;
        for (size_t i = 0; i < heldX_.size(); ++i)
            ok = recording_->add(heldX_[i], heldY_[i]) && ok;
        heldX_.clear();
        heldY_.clear();
        wrote(ok);
        return;
    }
    // After a failure every sample tries the held ones again: true is a
    // write that succeeded.
    const bool ok = recording_->add(time, level);
    if (!ok || !inArchive_)
        wrote(ok);
}

void RealTimeArchiver::finishRecording()
{
    if (!recording_) {
        heldX_.clear();
        heldY_.clear();
        return;
    }
    const bool ok = recording_->finish(clock_.currentDateTime());
    recording_.reset();
    wrote(ok);
}
