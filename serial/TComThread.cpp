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
    // Bytes already reported and left waiting: only more bytes than that raise
    // the next receive event, so a handler that leaves them does not make us spin.
    int reportedAndWaiting = 0;
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
        const bool periodic = watchModem || watchCounters || watchTx || reportedAndWaiting > 0;

        // The device stays in the set without events so a hang-up is seen.
        const short deviceEvents = watchReceive && reportedAndWaiting == 0 ? POLLIN : 0;
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
            if (waiting > reportedAndWaiting)
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
        if (events == 0) {
            reportedAndWaiting = waiting;
            continue;
        }
        const unsigned consumedBefore = channel.inputConsumed();
        if (!dispatch(events))
            return;
        if (events & ComEvent::RxChar) {
            // A handler that took bytes gets the next event at once (the rest
            // of a backlog, or bytes that came meanwhile); one that took none
            // is woken again only by bytes beyond those it was told about.
            const bool consumed = channel.inputConsumed() != consumedBefore;
            reportedAndWaiting = consumed ? 0 : waiting;
        } else {
            reportedAndWaiting = waiting;
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
