#pragma once

// The control panel's key commands on their way to the meter.
//
// A key frame must never interleave its 8 bytes with another exchange on the
// live port: it is written only while neither the receive handler (RxBusy)
// nor the one-second tick (TickBusy) runs. Instead of waiting inside the
// click handler, the letter is queued and a short retry timer writes it as
// soon as both flags are clear, so the event loop never blocks.
//
// Contract:
// - Letters go out in the order they were queued, each through
//   MeterLink::sendCommand.
// - sendKey(): written whenever the link is free, however long that takes;
//   the connection is not checked (a closed port ends in a silent abort).
// - sendMaxMinKey(): waits for a free link at most MaxMinWait, measured on
//   the link's MeterClock; then it is written only if a meter is connected
//   at that moment, and dropped otherwise.
// - Serial errors of a write are silent.

#include "meter/MeterClock.h"

#include <QObject>
#include <QTimer>

#include <chrono>
#include <deque>

class MeterLink;

class KeyCommandQueue : public QObject
{
    Q_OBJECT

public:
    static constexpr std::chrono::milliseconds MaxMinWait{3000};
    static constexpr int RetryIntervalMs = 5;

    explicit KeyCommandQueue(MeterLink& link, QObject* parent = nullptr);

    void sendKey(char letter);
    void sendMaxMinKey(char letter);

    [[nodiscard]] int pendingCount() const { return static_cast<int>(pending_.size()); }

signals:
    // The letter's frame was handed to the port (even if the write then
    // failed silently).
    void sent(char letter);
    // A MAX/MIN letter was given up because no meter was connected.
    void dropped(char letter);

private:
    struct PendingKey
    {
        char letter;
        bool needsConnection;
        MeterClock::TimePoint deadline;
    };

    void enqueue(const PendingKey& key);
    void sendWhatIsDue();
    [[nodiscard]] bool linkBusy() const;
    void write(char letter);

    MeterLink& link_;
    std::deque<PendingKey> pending_;
    QTimer retryTimer_;
};
