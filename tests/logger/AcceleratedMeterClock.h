#pragma once

// A clock on which time runs `factor` times faster than on the wall: waits
// and time-outs keep their proportions to each other and to a meter that
// answers at once, but a 2-s wait takes a fraction of that.
//
// A meter that answers at once is what the shortened waits assume, and on a
// slow, loaded machine (sanitizers, two shared cores) the virtual meter's
// thread may answer tens of milliseconds late, longer than a shortened
// 200-ms reply window. With a peer attached, every wait therefore ends only
// once the peer has taken everything written and put its answers on the
// line, and the time that takes does not count on this clock: the program
// sees the meter answer at once, however busy the machine is.

#include "meter/MeterClock.h"

#include <functional>
#include <thread>

class AcceleratedMeterClock : public MeterClock
{
public:
    // How long a wait gives a stuck peer before it goes on anyway.
    static constexpr std::chrono::seconds PeerLimit{5};

    explicit AcceleratedMeterClock(int factor) : factor_(factor) {}

    // The peer's "settled" question (VirtualMeter::settled); none: waits
    // are plain accelerated sleeps.
    void setPeer(std::function<bool()> settled) { peerSettled_ = std::move(settled); }

    TimePoint now() const override
    {
        return base_ + (std::chrono::steady_clock::now() - base_ - held_) * factor_;
    }
    QDateTime currentDateTime() const override { return QDateTime::currentDateTime(); }
    void Delay(int ms) override
    {
        const TimePoint end = now() + std::chrono::milliseconds(ms);
        for (TimePoint t = now(); t <= end; t = now())
            std::this_thread::sleep_for((end - t) / factor_ + std::chrono::microseconds(50));
        if (!peerSettled_)
            return;
        const auto start = std::chrono::steady_clock::now();
        while (!peerSettled_() && std::chrono::steady_clock::now() - start < PeerLimit)
            std::this_thread::sleep_for(std::chrono::microseconds(100));
        held_ += std::chrono::steady_clock::now() - start;
    }

private:
    TimePoint base_ = std::chrono::steady_clock::now();
    std::chrono::steady_clock::duration held_{0};
    int factor_;
    std::function<bool()> peerSettled_;
};
