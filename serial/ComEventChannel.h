#pragma once

// What a port and one run of its event thread share. Each start of the event
// thread gets a fresh channel, so a dispatch queued for the main thread by an
// earlier run finds its channel terminated and does nothing: a stale call
// never touches a port that was closed, restarted or destroyed since.

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <mutex>

class ComEventChannel
{
public:
    // Throws std::system_error when no wake-up descriptor can be made.
    ComEventChannel();
    ~ComEventChannel();
    ComEventChannel(const ComEventChannel&) = delete;
    ComEventChannel& operator=(const ComEventChannel&) = delete;

    [[nodiscard]] bool terminated() const { return terminated_.load(); }
    // Ends the thread's waits: its poll, and its wait for a dispatch.
    void terminate();

    [[nodiscard]] std::uint32_t mask() const { return mask_.load(); }
    void setMask(std::uint32_t mask);

    // Fill level of the input queue that counts as "80 percent full".
    [[nodiscard]] int rx80Threshold() const { return rx80Threshold_.load(); }
    void setRx80Threshold(int bytes) { rx80Threshold_.store(bytes); }

    // Set by writes so the thread watches for the output queue to drain.
    [[nodiscard]] bool takeTxPending() { return txPending_.exchange(false); }
    [[nodiscard]] bool txPending() const { return txPending_.load(); }
    void markTxPending();

    // Counts reads and purges of the input, so the thread can tell whether a
    // receive handler took bytes or left them waiting.
    void noteInputConsumed() { inputConsumed_.fetch_add(1); }
    [[nodiscard]] unsigned inputConsumed() const { return inputConsumed_.load(); }

    // The descriptor the thread polls besides the device.
    [[nodiscard]] int wakeFd() const { return wakeFd_; }
    void drainWake();

    void beginDispatch();
    void finishDispatch();
    // Blocks until the dispatch ran or the channel was terminated; returns
    // false in the latter case.
    [[nodiscard]] bool waitForDispatch();

private:
    void wake();

    int wakeFd_ = -1;
    std::atomic<bool> terminated_{false};
    std::atomic<std::uint32_t> mask_{0};
    std::atomic<int> rx80Threshold_{0};
    std::atomic<bool> txPending_{false};
    std::atomic<unsigned> inputConsumed_{0};
    std::mutex mutex_;
    std::condition_variable dispatched_;
    bool dispatchDone_ = true;
};
