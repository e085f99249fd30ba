#include "serial/PosixSerialDevice.h"

#include "serial/PosixCustomBaud.h"
#include "serial/TermiosMapping.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

int remainingMs(const QElapsedTimer& clock, int timeoutMs)
{
    return std::max<qint64>(0, timeoutMs - clock.elapsed());
}

// Ptys and some USB adapters have no modem lines; that is not an error.
bool isMissingFeature(int error)
{
    return error == ENOTTY || error == EINVAL || error == EOPNOTSUPP;
}

} // namespace

PosixSerialDevice::~PosixSerialDevice()
{
    close();
}

EComError PosixSerialDevice::systemError(int error)
{
    return EComError(qt_error_string(error), error);
}

void PosixSerialDevice::check(int result) const
{
    if (result < 0)
        throw systemError(errno);
}

void PosixSerialDevice::open(const QString& path)
{
    close();
    // The lock file first: a port a terminal program uses is not touched.
    lockFile_.acquire(path);
    try {
        openDevice(path);
    } catch (...) {
        lockFile_.release();
        throw;
    }
}

void PosixSerialDevice::openDevice(const QString& path)
{
    const int fd =
        ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        throw systemError(errno);
    // TIOCEXCL keeps other processes out (except root); the advisory lock also
    // catches root and a second port object of this process.
    if (::ioctl(fd, TIOCEXCL) < 0 && !isMissingFeature(errno)) {
        const int error = errno;
        ::close(fd);
        throw systemError(error);
    }
    if (::flock(fd, LOCK_EX | LOCK_NB) < 0) {
        const int error = errno == EWOULDBLOCK ? EBUSY : errno;
        ::close(fd);
        throw systemError(error);
    }
    fd_ = fd;
    (void)saveLineSettings(fd_, savedSettings_);
    countersSupported_ = readCounters(fd_, counters_);
}

void PosixSerialDevice::close(int drainMs) noexcept
{
    if (fd_ < 0)
        return;
    // Linux would otherwise wait up to 30 s in close() for a stuck queue,
    // and new line settings would garble bytes still on their way.
    if (!drainOutput(drainMs))
        ::tcflush(fd_, TCOFLUSH);
    restoreLineSettings(fd_, savedSettings_);
    savedSettings_ = {};
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also releases the advisory lock
    fd_ = -1;
    lockFile_.release();
}

void PosixSerialDevice::apply(const SerialSettings& settings)
{
    termios tio{};
    check(::tcgetattr(fd_, &tio));
    const int customBaud = applyToTermios(tio, settings);
    check(::tcsetattr(fd_, TCSANOW, &tio));
    if (customBaud > 0) {
        if (const int error = setCustomBaudRate(fd_, customBaud))
            throw systemError(error);
    }

    if (settings.dtr == dcDisable)
        setModemLine(TIOCM_DTR, false);
    else if (settings.dtr == dcEnable || settings.dtr == dcHandshake)
        setModemLine(TIOCM_DTR, true);
    if (settings.rts == rcDisable)
        setModemLine(TIOCM_RTS, false);
    else if (settings.rts == rcEnable || settings.rts == rcToggle)
        setModemLine(TIOCM_RTS, true);
}

void PosixSerialDevice::setModemLine(int line, bool active)
{
    if (::ioctl(fd_, active ? TIOCMBIS : TIOCMBIC, &line) < 0 && !isMissingFeature(errno))
        throw systemError(errno);
}

int PosixSerialDevice::inputCount()
{
    int count = 0;
    check(::ioctl(fd_, FIONREAD, &count));
    return count;
}

int PosixSerialDevice::outputCount()
{
    int count = 0;
    check(::ioctl(fd_, TIOCOUTQ, &count));
    return count;
}

bool PosixSerialDevice::readCounters(int fd, serial_icounter_struct& counters)
{
    return ::ioctl(fd, TIOCGICOUNT, &counters) == 0;
}

TLineErrors PosixSerialDevice::counterDifference(const serial_icounter_struct& before,
                                                 const serial_icounter_struct& after)
{
    TLineErrors errors;
    if (after.brk != before.brk)
        errors.include(leBreak);
    if (after.frame != before.frame)
        errors.include(leFrame);
    if (after.overrun != before.overrun)
        errors.include(leOverrun);
    if (after.parity != before.parity)
        errors.include(leParity);
    if (after.buf_overrun != before.buf_overrun)
        errors.include(leRxOverflow);
    return errors;
}

TLineErrors PosixSerialDevice::takeLineErrors()
{
    if (!countersSupported_)
        return {};
    serial_icounter_struct now{};
    if (!readCounters(fd_, now)) {
        if (isMissingFeature(errno))
            return {};
        throw systemError(errno);
    }
    const TLineErrors errors = counterDifference(counters_, now);
    counters_ = now;
    return errors;
}

TModemStatus PosixSerialDevice::modemStatus()
{
    int lines = 0;
    if (::ioctl(fd_, TIOCMGET, &lines) < 0) {
        if (isMissingFeature(errno))
            return {};
        throw systemError(errno);
    }
    TModemStatus status;
    if (lines & TIOCM_CTS)
        status.include(msCTS);
    if (lines & TIOCM_DSR)
        status.include(msDSR);
    if (lines & TIOCM_RI)
        status.include(msRing);
    if (lines & TIOCM_CD)
        status.include(msRLSD);
    return status;
}

int PosixSerialDevice::read(char* buffer, int length, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    while (done < length) {
        const ssize_t n = ::read(fd_, buffer + done, static_cast<size_t>(length - done));
        if (n > 0) {
            done += static_cast<int>(n);
            continue;
        }
        // With VMIN = VTIME = 0 an empty tty answers 0, and so does a hung-up
        // one; only the latter reports a hang-up to poll().
        if (n == 0 && isHungUp())
            throw systemError(EIO);
        if (n < 0 && errno == EINTR)
            continue;
        if (n < 0 && errno != EAGAIN)
            throw systemError(errno);
        const int wait = remainingMs(clock, timeoutMs);
        if (wait == 0)
            break;
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, wait) < 0 && errno != EINTR)
            throw systemError(errno);
    }
    return done;
}

int PosixSerialDevice::write(const char* buffer, int length, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    int done = 0;
    while (done < length) {
        const ssize_t n = ::write(fd_, buffer + done, static_cast<size_t>(length - done));
        if (n >= 0) {
            done += static_cast<int>(n);
            continue;
        }
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
            throw systemError(errno);
        const int wait = remainingMs(clock, timeoutMs);
        if (wait == 0)
            break;
        pollfd pfd{fd_, POLLOUT, 0};
        if (::poll(&pfd, 1, wait) < 0 && errno != EINTR)
            throw systemError(errno);
    }
    return done;
}

bool PosixSerialDevice::isHungUp() const
{
    pollfd pfd{fd_, POLLIN, 0};
    return ::poll(&pfd, 1, 0) > 0 && (pfd.revents & (POLLHUP | POLLERR | POLLNVAL));
}

void PosixSerialDevice::purgeInput()
{
    check(::tcflush(fd_, TCIFLUSH));
}

void PosixSerialDevice::purgeOutput()
{
    check(::tcflush(fd_, TCOFLUSH));
}

bool PosixSerialDevice::drainOutput(int timeoutMs) noexcept
{
    QElapsedTimer clock;
    clock.start();
    // tcdrain() alone could wait for ever on a line held by flow control, so
    // the queue is watched with a deadline first.
    for (;;) {
        int queued = 0;
        if (::ioctl(fd_, TIOCOUTQ, &queued) < 0)
            return false;
        if (queued <= 0)
            break;
        if (clock.elapsed() >= timeoutMs)
            return false;
        ::poll(nullptr, 0, 1); // a byte takes about 1 ms at 9600 baud
    }
    // Only the transmitter's own few bytes are left for tcdrain() to wait for.
    return ::tcdrain(fd_) == 0;
}

void PosixSerialDevice::drainOrPurgeOutput(int timeoutMs)
{
    if (!drainOutput(timeoutMs))
        purgeOutput();
}
