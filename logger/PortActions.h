#pragma once

// Small helpers of the logger commands that take the serial device over from
// the live port. Serial errors never reach the user: a port operation that
// fails is simply reported as not done.

#include "meter/MeterClock.h"
#include "serial/ComErrors.h"

#include <QCoreApplication>

namespace PortActions {

// Runs a port operation; false when it raised a serial error or an abort.
template <typename Action> bool quietly(Action action)
{
    try {
        action();
        return true;
    } catch (const EAbort&) {
    } catch (const EComError&) {
    }
    return false;
}

// Lets the owner of a busy flag (a handler further up the main thread) run
// on while the flag is set, for at most limitMs on the clock (no limit when
// negative).
template <typename Busy> void waitWhile(MeterClock& clock, Busy busy, int limitMs)
{
    const auto start = clock.now();
    while (busy() && (limitMs < 0 || clock.secondsSince(start) * 1000.0 < limitMs)) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        clock.Delay(1);
    }
}

} // namespace PortActions
