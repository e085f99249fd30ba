#include "tools/virtual-meter/PseudoTerminal.h"

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <termios.h>
#include <unistd.h>

namespace vmeter {

PseudoTerminal::~PseudoTerminal()
{
    close();
}

bool PseudoTerminal::fail(const char* step)
{
    error_ = QStringLiteral("%1: %2").arg(QString::fromLatin1(step),
                                          QString::fromLocal8Bit(std::strerror(errno)));
    close();
    return false;
}

bool PseudoTerminal::open()
{
    close();
    master_ = ::posix_openpt(O_RDWR | O_NOCTTY);
    if (master_ < 0)
        return fail("posix_openpt");
    // posix_openpt() may ignore these flags, so they are set separately.
    if (::fcntl(master_, F_SETFL, ::fcntl(master_, F_GETFL) | O_NONBLOCK) != 0 ||
        ::fcntl(master_, F_SETFD, FD_CLOEXEC) != 0)
        return fail("fcntl");
    if (::grantpt(master_) != 0)
        return fail("grantpt");
    if (::unlockpt(master_) != 0)
        return fail("unlockpt");
    char name[128];
    if (::ptsname_r(master_, name, sizeof name) != 0)
        return fail("ptsname");
    slavePath_ = QString::fromLocal8Bit(name);

    // Raw from the start: no echo of the meter's bytes back to it, no line
    // editing, no CR/LF translation of binary frames.
    termios mode{};
    if (::tcgetattr(master_, &mode) != 0)
        return fail("tcgetattr");
    ::cfmakeraw(&mode);
    ::cfsetispeed(&mode, B9600);
    ::cfsetospeed(&mode, B9600);
    if (::tcsetattr(master_, TCSANOW, &mode) != 0)
        return fail("tcsetattr");

    // Write-only and never used for I/O: it holds the line open without
    // competing with the program for received bytes.
    slaveHold_ = ::open(name, O_WRONLY | O_NOCTTY | O_CLOEXEC);
    if (slaveHold_ < 0)
        return fail("open slave");
    return true;
}

void PseudoTerminal::close()
{
    if (slaveHold_ >= 0)
        ::close(slaveHold_);
    if (master_ >= 0)
        ::close(master_);
    slaveHold_ = master_ = -1;
}

} // namespace vmeter
