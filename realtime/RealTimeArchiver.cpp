#include "realtime/RealTimeArchiver.h"

#include "archive/Archive.h"
#include "archive/ArchiveRecording.h"
#include "meter/MeterClock.h"
#include "realtime/RealTimeRecorder.h"

#include <QUuid>

#include <cmath>
#include <span>

RealTimeArchiver::RealTimeArchiver(RealTimeRecorder& recorder, MeterClock& clock, QObject* parent)
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
    setInArchive(false);
}

void RealTimeArchiver::followArchive()
{
    Archive* now = archive_ ? archive_() : nullptr;
    if (now == recordingArchive_)
        return;
    // What the old archive held back is among allX_: the new one gets it.
    recording_.reset();
    recordingArchive_ = now;
    measurementId_ = 0;
}

bool RealTimeArchiver::startInArchive()
{
    const std::optional<qint64> id = recordingArchive_->addMeasurement(*measurement_);
    if (!id)
        return false;
    const std::optional<Measurement> there = recordingArchive_->measurement(*id);
    if (!there)
        return false;
    measurementId_ = *id;
    storedWeighting_ = there->weighting;
    if (!storeWeighting())
        return false;
    const size_t from = size_t(there->sampleCount);
    if (there->unfinished && from < allX_.size() &&
        !recordingArchive_->appendSamples(*id, std::span(allX_).subspan(from),
                                          std::span(allY_).subspan(from)))
        return false; // tried again from the archive's count with the next sample
    recording_ = std::make_unique<ArchiveRecording>(*recordingArchive_, *id);
    return true;
}

bool RealTimeArchiver::storeWeighting()
{
    if (storedWeighting_ == measurement_->weighting)
        return true;
    if (!recordingArchive_->updateWeighting(measurementId_, measurement_->weighting))
        return false;
    storedWeighting_ = measurement_->weighting;
    return true;
}

bool RealTimeArchiver::write(const std::function<bool()>& attempt)
{
    if (attempt())
        return true;
    Archive* failed = recordingArchive_;
    // Told first: the one who gives the archive may give another one now.
    wrote(false);
    followArchive();
    if (!recordingArchive_ || recordingArchive_ == failed)
        return false;
    if (attempt())
        return true;
    wrote(false);
    return false;
}

void RealTimeArchiver::sampleTaken(double time, float level, AcousticWeighting weighting)
{
    if (!running_)
        return;
    allX_.push_back(time);
    allY_.push_back(level);
    if (!measurement_) {
        Measurement m;
        // The key goes with the recording to whichever archive takes it.
        m.key = QStringLiteral("realtime:") + QUuid::createUuid().toString(QUuid::WithoutBraces);
        m.kind = MeasurementKind::RealTime;
        if (meter_) {
            const Meter meter = meter_();
            m.meterModel = meter.model;
            m.meterPort = meter.port;
        }
        m.start = start_;
        m.intervalMs = std::llround(double(interval_) * 1000.0);
        measurement_ = m;
    }
    // The meter switched between dBA and dBC: the measurement is "mixed".
    measurement_->weighting = weightingText(weighting);
    followArchive();
    if (!recordingArchive_)
        return;
    // After a failure every sample tries the held ones again: true is a
    // write that succeeded.
    const bool ok = write([&] {
        return recording_ ? recording_->add(time, level) && storeWeighting() : startInArchive();
    });
    if (ok && !inArchive_)
        wrote(true);
}

void RealTimeArchiver::finishRecording()
{
    if (measurement_) {
        followArchive();
        if (recordingArchive_) {
            const QDateTime end = clock_.currentDateTime();
            if (write([&] {
                    return (recording_ || startInArchive()) && storeWeighting() &&
                           recording_->finish(end);
                }))
                wrote(true);
        }
    }
    recording_.reset();
    measurement_.reset();
    allX_.clear();
    allY_.clear();
}
