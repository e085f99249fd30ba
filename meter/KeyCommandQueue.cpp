#include "meter/KeyCommandQueue.h"

#include "meter/MeterLink.h"
#include "serial/ComErrors.h"

KeyCommandQueue::KeyCommandQueue(MeterLink& link, QObject* parent) : QObject(parent), link_(link)
{
    retryTimer_.setSingleShot(true);
    retryTimer_.setInterval(RetryIntervalMs);
    connect(&retryTimer_, &QTimer::timeout, this, &KeyCommandQueue::sendWhatIsDue);
}

void KeyCommandQueue::sendKey(char letter)
{
    enqueue({letter, false, {}});
}

void KeyCommandQueue::sendMaxMinKey(char letter)
{
    enqueue({letter, true, link_.clock().now() + MaxMinWait});
}

void KeyCommandQueue::enqueue(const PendingKey& key)
{
    pending_.push_back(key);
    sendWhatIsDue();
}

bool KeyCommandQueue::linkBusy() const
{
    return link_.RxBusy() || link_.TickBusy();
}

void KeyCommandQueue::sendWhatIsDue()
{
    while (!pending_.empty()) {
        const PendingKey key = pending_.front();
        const bool waitedLongEnough = key.needsConnection && link_.clock().now() >= key.deadline;
        if (linkBusy() && !waitedLongEnough) {
            retryTimer_.start();
            return;
        }
        pending_.pop_front();
        if (key.needsConnection && !link_.MeterConnected()) {
            emit dropped(key.letter);
            continue;
        }
        write(key.letter);
    }
}

void KeyCommandQueue::write(char letter)
{
    // A port that is closed or gone ends the key silently.
    HandlerGuard::run([this, letter] { link_.sendCommand(letter); });
    emit sent(letter);
}
