#include "meter/MeterClock.h"

#include <thread>

MeterClock& MeterClock::system()
{
    static SystemMeterClock clock;
    return clock;
}

void SystemMeterClock::Delay(int ms)
{
    const auto end = now() + std::chrono::milliseconds(ms);
    // Sleep rather than spin; a wake-up a little early sleeps again.
    for (auto t = now(); t <= end; t = now())
        std::this_thread::sleep_for(end - t + std::chrono::microseconds(200));
}
