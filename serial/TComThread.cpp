#include "serial/TComThread.h"

#include "serial/ComEventChannel.h"
#include "serial/PosixSerialDevice.h"
#include "serial/TComPort.h"

#include <QCoreApplication>

#include <cerrno>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

// How often lines, error counters, the output queue and an unread backlog
// are looked at while one of them is watched; poll() cannot wait for those.
constexpr int kWatchIntervalMs = 20;

constexpr std::uint32_t kReceiveEvents =
    ComEvent::RxChar | ComEvent::RxFlag | ComEvent::Rx80PercFull;
constexpr std::uint32_t kModemEvents =
    ComEvent::CTSChange | ComEvent::DSRChange | ComEvent::RLSDChange | ComEvent::Ring;
constexpr std::uint32_t kCounterEvents = ComEvent::Break | ComEvent::LineError;

bool readModemLines(int fd, int& lines)
{
    return ::ioctl(fd, TIOCMGET, &lines) == 0;
}

std::uint32_t modemEvents(int before, int after)
{
    std::uint32_t events = 0;
    const int changed = before ^ after;
    if (changed & TIOCM_CTS)
        events |= ComEvent::CTSChange;
    if (changed & TIOCM_DSR)
        events |= ComEvent::DSRChange;
    if (changed & TIOCM_CD)
        events |= ComEvent::RLSDChange;
    // A ring is reported when the indicator goes active.
    if ((after & TIOCM_RI) && !(before & TIOCM_RI))
        events |= ComEvent::Ring;
    return events;
}

} // namespace

TComThread::TComThread(TCustomComPort& port, std::shared_ptr<ComEventChannel> channel, int deviceFd,
                       bool synchronize)
    : port_(port), channel_(std::move(channel)), fd_(deviceFd), synchronize_(synchronize)
{
}

TComThread::~TComThread()
{
    ::close(fd_);
}

void TComThread::run()
{
    ComEventChannel& channel = *channel_;
    // Bytes a receive dispatch left unread: only more bytes than that raise
    // the next receive event, so an idle handler does not make us spin.
    int unreadAfterDispatch = 0;
    bool rx80Reported = false;
    int modemLines = 0;
    bool modemSupported = readModemLines(fd_, modemLines);
    serial_icounter_struct counters{};
    bool countersSupported = PosixSerialDevice::readCounters(fd_, counters);

    while (!channel.terminated()) {
        const std::uint32_t mask = channel.mask();
        const bool watchReceive = mask & kReceiveEvents;
        const bool watchModem = modemSupported && (mask & kModemEvents);
        const bool watchCounters = countersSupported && (mask & kCounterEvents);
        const bool watchTx = (mask & ComEvent::TxEmpty) && channel.txPending();
        const bool periodic = watchModem || watchCounters || watchTx || unreadAfterDispatch > 0;

        // The device stays in the set without events so a hang-up is seen.
        const short deviceEvents = watchReceive && unreadAfterDispatch == 0 ? POLLIN : 0;
        pollfd fds[2] = {{channel.wakeFd(), POLLIN, 0}, {fd_, deviceEvents, 0}};
        if (::poll(fds, 2, periodic ? kWatchIntervalMs : -1) < 0) {
            if (errno == EINTR)
                continue;
            reportFailure(errno);
            return;
        }
        if (fds[0].revents) {
            channel.drainWake();
            continue;
        }
        if (fds[1].revents & (POLLHUP | POLLERR | POLLNVAL)) {
            reportFailure(EIO);
            return;
        }

        std::uint32_t events = 0;
        int waiting = 0;
        if (watchReceive) {
            if (::ioctl(fd_, FIONREAD, &waiting) < 0) {
                reportFailure(errno);
                return;
            }
            if (waiting > unreadAfterDispatch)
                events |= ComEvent::RxChar;
            const bool aboveThreshold = waiting >= channel.rx80Threshold();
            if (aboveThreshold && !rx80Reported)
                events |= ComEvent::Rx80PercFull;
            rx80Reported = aboveThreshold;
        }
        if (watchModem) {
            int lines = 0;
            if (readModemLines(fd_, lines)) {
                events |= modemEvents(modemLines, lines);
                modemLines = lines;
            } else {
                modemSupported = false;
            }
        }
        if (watchCounters) {
            serial_icounter_struct now{};
            if (PosixSerialDevice::readCounters(fd_, now)) {
                const TLineErrors errors = PosixSerialDevice::counterDifference(counters, now);
                if (errors.contains(leBreak))
                    events |= ComEvent::Break;
                TLineErrors others = errors;
                others.exclude(leBreak);
                if (!others.isEmpty())
                    events |= ComEvent::LineError;
                counters = now;
            } else {
                countersSupported = false;
            }
        }
        if (watchTx) {
            int queued = 0;
            if (::ioctl(fd_, TIOCOUTQ, &queued) == 0 && queued == 0 && channel.takeTxPending())
                events |= ComEvent::TxEmpty;
        }

        events &= mask;
        bool receiveDispatched = false;
        if (events != 0) {
            if (!dispatch(events))
                return;
            receiveDispatched = events & ComEvent::RxChar;
        }
        if (watchReceive) {
            int after = waiting;
            if (receiveDispatched && ::ioctl(fd_, FIONREAD, &after) < 0)
                after = 0; // the next poll reports what went wrong
            // A handler that consumed some of a backlog gets the rest at once.
            unreadAfterDispatch = receiveDispatched && after < waiting ? 0 : after;
        }
    }
}

bool TComThread::dispatch(std::uint32_t events)
{
    if (!synchronize_ || QCoreApplication::instance() == nullptr) {
        TCustomComPort::dispatchEvents(&port_, events, channel_);
        return !channel_->terminated();
    }
    channel_->beginDispatch();
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [channel = channel_, port = &port_, events] {
            TCustomComPort::dispatchEvents(port, events, channel);
            channel->finishDispatch();
        },
        Qt::QueuedConnection);
    return channel_->waitForDispatch();
}

void TComThread::reportFailure(int error)
{
    if (QCoreApplication::instance() == nullptr)
        return;
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [channel = channel_, port = &port_, error] {
            TCustomComPort::handleDeviceFailure(port, error, channel);
        },
        Qt::QueuedConnection);
}
