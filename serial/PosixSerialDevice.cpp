#include "serial/PosixSerialDevice.h"

#include "serial/PosixCustomBaud.h"

#include <QElapsedTimer>

#include <cerrno>
#include <fcntl.h>
#include <poll.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <termios.h>
#include <unistd.h>

namespace {

// Baud rates of TBaudRate in declaration order (brDefault and brCustom aside).
constexpr int kBaudRates[] = {0,     50,    75,    110,   150,   300,    600,    1200,  1800,
                              2000,  2400,  3600,  4800,  7200,  9600,   10400,  14400, 15625,
                              19200, 28800, 38400, 56000, 57600, 115200, 128000, 256000};

speed_t standardSpeed(int baud)
{
    switch (baud) {
    case 50:
        return B50;
    case 75:
        return B75;
    case 110:
        return B110;
    case 150:
        return B150;
    case 300:
        return B300;
    case 600:
        return B600;
    case 1200:
        return B1200;
    case 1800:
        return B1800;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    case 230400:
        return B230400;
    case 460800:
        return B460800;
    case 500000:
        return B500000;
    case 576000:
        return B576000;
    case 921600:
        return B921600;
    case 1000000:
        return B1000000;
    default:
        return B0;
    }
}

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
    countersSupported_ = readCounters(fd_, counters_);
}

void PosixSerialDevice::close() noexcept
{
    if (fd_ < 0)
        return;
    ::ioctl(fd_, TIOCNXCL);
    ::close(fd_); // also releases the advisory lock
    fd_ = -1;
}

void PosixSerialDevice::apply(const SerialSettings& settings)
{
    termios tio{};
    check(::tcgetattr(fd_, &tio));

    // A comm port carries binary data: no line editing, echo, signals or
    // translation of CR/NL, and reads that never block inside the driver.
    tio.c_iflag &= ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY);
    tio.c_oflag &= ~OPOST;
    tio.c_lflag &= ~(ECHO | ECHONL | ICANON | ISIG | IEXTEN);
    tio.c_cflag |= CLOCAL | CREAD;
    tio.c_cc[VMIN] = 0;
    tio.c_cc[VTIME] = 0;

    int customBaud = 0;
    if (settings.baudRate != brDefault) {
        const int baud =
            settings.baudRate == brCustom ? settings.customBaudRate : kBaudRates[settings.baudRate];
        if (baud <= 0)
            throw systemError(EINVAL);
        const speed_t speed = standardSpeed(baud);
        if (speed != B0) {
            cfsetispeed(&tio, speed);
            cfsetospeed(&tio, speed);
        } else {
            customBaud = baud;
        }
    }

    if (settings.dataBits != dbDefault) {
        // No UART under POSIX takes 4 data bits.
        if (settings.dataBits == db4)
            throw systemError(EINVAL);
        static constexpr tcflag_t sizes[] = {0, 0, CS5, CS6, CS7, CS8};
        tio.c_cflag = (tio.c_cflag & ~CSIZE) | sizes[settings.dataBits];
    }

    switch (settings.parity) {
    case paDefault:
        break;
    case paNone:
        tio.c_cflag &= ~(PARENB | PARODD | CMSPAR);
        break;
    case paOdd:
        tio.c_cflag = (tio.c_cflag & ~CMSPAR) | PARENB | PARODD;
        break;
    case paEven:
        tio.c_cflag = (tio.c_cflag & ~(CMSPAR | PARODD)) | PARENB;
        break;
    case paMark:
        tio.c_cflag |= PARENB | CMSPAR | PARODD;
        break;
    case paSpace:
        tio.c_cflag = (tio.c_cflag & ~PARODD) | PARENB | CMSPAR;
        break;
    }

    // termios knows one or two stop bits; the UART makes 1.5 of "two" with 5 data bits.
    if (settings.stopBits == sb1)
        tio.c_cflag &= ~CSTOPB;
    else if (settings.stopBits == sb1_5 || settings.stopBits == sb2)
        tio.c_cflag |= CSTOPB;

    tio.c_cc[VSTART] = static_cast<cc_t>(settings.xon);
    tio.c_cc[VSTOP] = static_cast<cc_t>(settings.xoff);
    switch (settings.xonXoff) {
    case xcDefault:
        break;
    case xcDisable:
        tio.c_iflag &= ~(IXON | IXOFF);
        break;
    case xcInput:
        tio.c_iflag = (tio.c_iflag & ~IXON) | IXOFF;
        break;
    case xcOutput:
        tio.c_iflag = (tio.c_iflag & ~IXOFF) | IXON;
        break;
    case xcInputOutput:
        tio.c_iflag |= IXON | IXOFF;
        break;
    }

    if (settings.options.contains(opCheckParity))
        tio.c_iflag |= INPCK;
    else
        tio.c_iflag &= ~INPCK;

    // Linux has one hardware handshake, RTS/CTS, for both directions.
    const bool rtsHandshake = settings.rts == rcHandshake;
    if (rtsHandshake || settings.options.contains(opOutputCTSFlow))
        tio.c_cflag |= CRTSCTS;
    else
        tio.c_cflag &= ~CRTSCTS;

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
        // A raw non-blocking tty answers EAGAIN when empty; 0 means hung up.
        if (n == 0)
            throw systemError(EIO);
        if (errno == EINTR)
            continue;
        if (errno != EAGAIN)
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

void PosixSerialDevice::purgeInput()
{
    check(::tcflush(fd_, TCIFLUSH));
}

void PosixSerialDevice::purgeOutput()
{
    check(::tcflush(fd_, TCOFLUSH));
}
