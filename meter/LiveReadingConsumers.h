#pragma once

// Who receives decoded live readings, in this order: the control panel, then
// the real-time recorder, then the noise monitoring (a LiveReadingView too).

#include "meter/LiveFrame.h"

// The control panel: renders every reading while its window exists.
class LiveReadingView
{
public:
    virtual ~LiveReadingView() = default;
    virtual void renderReading(const MeterReading& reading) = 0;
};

// The real-time recorder: offered every reading while recording runs.
class LiveReadingRecorder
{
public:
    virtual ~LiveReadingRecorder() = default;
    [[nodiscard]] virtual bool isRunning() const = 0;
    virtual void sampleReading(const MeterReading& reading) = 0;
};
