#include "realtime/RealTimeRecorder.h"

#include "data/GraphTexts.h"
#include "realtime/RealTimeSampleSink.h"

#include <cmath>

RealTimeRecorder::RealTimeRecorder(MeterClock& clock, QObject* parent)
    : QObject(parent), clock_(clock)
{
}

void RealTimeRecorder::start(float intervalSeconds)
{
    interval_ = intervalSeconds;
    lastGoodLevel_ = 0.0f;
    rejectedCount_ = 0;
    weighting_.reset();
    timeWeighting_.reset();
    setRunning(true);
    emit recordingStarted();
    emit rejectedCountChanged(rejectedCount_);
}

void RealTimeRecorder::stop()
{
    if (!running_)
        return;
    setRunning(false);
    if (sink_)
        sink_->finishRealTimeGraph();
}

void RealTimeRecorder::abandon()
{
    sink_ = nullptr;
    setRunning(false);
}

void RealTimeRecorder::restartSampleClock()
{
    lastSampleTime_ = clock_.now();
}

void RealTimeRecorder::setRunning(bool running)
{
    if (running_ == running)
        return;
    running_ = running;
    emit runningChanged(running_);
}

void RealTimeRecorder::sampleReading(const MeterReading& reading)
{
    if (!running_ || !sink_)
        return;
    // The reading was decoded just now: its arrival is the sample's time.
    const MeterClock::TimePoint arrived = clock_.now();
    const QDateTime stamp = clock_.currentDateTime();
    // The interval is a float (0.2f is a hair above 0.2 s): compared in whole
    // microseconds, frames exactly one interval apart are all sampled.
    const auto interval = std::chrono::microseconds(std::llround(double(interval_) * 1e6));
    if (lastSampleTime_ && arrived - *lastSampleTime_ < interval)
        return;
    lastSampleTime_ = arrived;

    float level = reading.level;
    if (level > HighestLevel || level < LowestLevel) {
        ++rejectedCount_;
        emit rejectedCountChanged(rejectedCount_);
        if (lastGoodLevel_ <= LowestReplacement)
            return;
        level = lastGoodLevel_;
    } else {
        lastGoodLevel_ = level;
    }

    weighting_.add(reading.weightingA);
    timeWeighting_.add(reading.fast);
    sink_->setTimeWeighting(timeWeighting_.timeWeighting());
    const double time = GraphTexts::fromDateTime(stamp);
    const bool full = sink_->appendSample(time, level, weighting_.weighting());
    emit sampleTaken(time, level, weighting_.weighting());
    if (full)
        stop();
}
