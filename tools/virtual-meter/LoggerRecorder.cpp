#include "tools/virtual-meter/LoggerRecorder.h"

namespace vmeter {

SteadyTime::duration LoggerRecorder::step(const MeterLogger& logger) const
{
    const std::chrono::duration<double> seconds(logger.storedIntervalSeconds() / timeScale_);
    return std::chrono::duration_cast<SteadyTime::duration>(seconds);
}

bool LoggerRecorder::start(SteadyTime now, const QDateTime& meterTime, bool aWeighting,
                           MeterLogger& logger)
{
    if (!logger.openRecord(meterTime, aWeighting)) {
        nextSampleAt_.reset();
        return false;
    }
    nextSampleAt_ = now;
    return true;
}

void LoggerRecorder::stop(MeterLogger& logger)
{
    nextSampleAt_.reset();
    logger.closeRecord();
}

bool LoggerRecorder::poll(SteadyTime now, MeterLogger& logger, const std::function<int()>& level)
{
    while (nextSampleAt_ && now >= *nextSampleAt_) {
        if (!logger.appendSample(level())) {
            stop(logger);
            return false;
        }
        *nextSampleAt_ += step(logger);
    }
    return true;
}

} // namespace vmeter
