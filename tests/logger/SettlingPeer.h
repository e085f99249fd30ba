#pragma once

// The "settled" question an accelerated clock asks of the virtual meter in
// the logger tests: the meter has received every byte the link's two ports
// wrote and handled it, and every byte it answered has reached the ports.
// Bytes still inside the kernel's pseudo-terminal plumbing are waited for;
// bytes that never arrive (purged, dropped by a close, written while the
// device was away) count as lost once nothing has moved for a while, so one
// lost byte never stalls later waits.

#include "logger/AcceleratedMeterClock.h"
#include "meter/MeterLink.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>

class SettlingPeer
{
public:
    static constexpr std::chrono::milliseconds LostAfter{50};

    // Attaches to the clock when it is an accelerated one. The meter is
    // watched through its owner, since a test may remove it mid-transfer.
    static void attach(MeterClock& clock, MeterLink& link,
                       const std::unique_ptr<vmeter::VirtualMeter>& meter)
    {
        auto* accelerated = dynamic_cast<AcceleratedMeterClock*>(&clock);
        if (!accelerated)
            return;
        auto peer = std::make_shared<SettlingPeer>(link, meter);
        const auto written = [peer](TCustomComPort&, void*, int length, bool) {
            peer->written_ += length;
        };
        const auto read = [peer](TCustomComPort&, void*, int length, bool) {
            peer->read_ += length;
        };
        for (TComPort* port : {&link.Comm1(), &link.Comm2()}) {
            port->setAfterWrite(written);
            port->setAfterRead(read);
        }
        accelerated->setPeer([peer] { return peer->settled(); });
    }

    SettlingPeer(MeterLink& link, const std::unique_ptr<vmeter::VirtualMeter>& meter)
        : link_(link), meter_(meter)
    {
    }

    [[nodiscard]] bool settled()
    {
        // A meter that is gone has nothing left on its way.
        if (!meter_)
            return true;
        if (!meter_->settled()) {
            idleSince_.reset();
            return false;
        }
        const qint64 received = meter_->bytesReceived();
        const qint64 sent = meter_->bytesSent();
        const qint64 seen = read_ + waiting(link_.Comm1()) + waiting(link_.Comm2());
        const bool out = received + lostOut_ >= written_;
        const bool in = seen + lostIn_ >= sent;
        if (!out || !in) {
            const auto now = std::chrono::steady_clock::now();
            if (!idleSince_)
                idleSince_ = now;
            if (now - *idleSince_ < LostAfter)
                return false;
        }
        lostOut_ = std::max<qint64>(0, written_ - received);
        lostIn_ = std::max<qint64>(0, sent - seen);
        idleSince_.reset();
        return true;
    }

private:
    static qint64 waiting(TComPort& port)
    {
        try {
            return port.Active() ? port.InputCount() : 0;
        } catch (...) {
            return 0;
        }
    }

    MeterLink& link_;
    const std::unique_ptr<vmeter::VirtualMeter>& meter_;
    qint64 written_ = 0;
    qint64 read_ = 0;
    qint64 lostOut_ = 0;
    qint64 lostIn_ = 0;
    std::optional<std::chrono::steady_clock::time_point> idleSince_;
};
