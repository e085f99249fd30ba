#include "serial/TermiosMapping.h"

#include "serial/PosixSerialDevice.h"

#include <cerrno>

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

} // namespace

int applyToTermios(termios& tio, const SerialSettings& settings)
{
    // A comm port carries binary data: no line editing, echo, signals or
    // translation of CR/NL, and reads that never block inside the driver.
    // Software flow control is part of that: a fresh tty has IXON on, which
    // would swallow every 0x11 and 0x13 of a binary frame, so it stays off
    // unless XOnXOff asks for it.
    tio.c_iflag &=
        ~(IGNBRK | BRKINT | PARMRK | ISTRIP | INLCR | IGNCR | ICRNL | IXANY | IXON | IXOFF);
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
            throw PosixSerialDevice::systemError(EINVAL);
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
            throw PosixSerialDevice::systemError(EINVAL);
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
    case xcDisable:
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

    return customBaud;
}
