#include "serial/ComEventChannel.h"

#include <cerrno>
#include <cstdint>
#include <sys/eventfd.h>
#include <system_error>
#include <unistd.h>

ComEventChannel::ComEventChannel()
{
    wakeFd_ = ::eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    if (wakeFd_ < 0)
        throw std::system_error(errno, std::generic_category());
}

ComEventChannel::~ComEventChannel()
{
    ::close(wakeFd_);
}

void ComEventChannel::wake()
{
    const std::uint64_t one = 1;
    // A full counter already means "woken"; nothing else can fail here.
    [[maybe_unused]] const ssize_t written = ::write(wakeFd_, &one, sizeof one);
}

void ComEventChannel::drainWake()
{
    std::uint64_t count = 0;
    [[maybe_unused]] const ssize_t read = ::read(wakeFd_, &count, sizeof count);
}

void ComEventChannel::terminate()
{
    {
        std::lock_guard lock(mutex_);
        terminated_.store(true);
    }
    dispatched_.notify_all();
    wake();
}

void ComEventChannel::setMask(std::uint32_t mask)
{
    mask_.store(mask);
    wake();
}

void ComEventChannel::markTxPending()
{
    txPending_.store(true);
    wake();
}

void ComEventChannel::beginDispatch()
{
    std::lock_guard lock(mutex_);
    dispatchDone_ = false;
}

void ComEventChannel::finishDispatch()
{
    {
        std::lock_guard lock(mutex_);
        dispatchDone_ = true;
    }
    dispatched_.notify_all();
}

bool ComEventChannel::waitForDispatch()
{
    std::unique_lock lock(mutex_);
    dispatched_.wait(lock, [this] { return dispatchDone_ || terminated_.load(); });
    return !terminated_.load();
}
