#include "common/PtyPair.h"

#include <QElapsedTimer>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <poll.h>
#include <sys/ioctl.h>
#include <unistd.h>

namespace {

int speedToBaud(speed_t speed)
{
    switch (speed) {
    case B50:
        return 50;
    case B75:
        return 75;
    case B110:
        return 110;
    case B150:
        return 150;
    case B300:
        return 300;
    case B600:
        return 600;
    case B1200:
        return 1200;
    case B1800:
        return 1800;
    case B2400:
        return 2400;
    case B4800:
        return 4800;
    case B9600:
        return 9600;
    case B19200:
        return 19200;
    case B38400:
        return 38400;
    case B57600:
        return 57600;
    case B115200:
        return 115200;
    case B230400:
        return 230400;
    default:
        return -1;
    }
}

int remaining(const QElapsedTimer& clock, int timeoutMs)
{
    return static_cast<int>(std::max<qint64>(0, timeoutMs - clock.elapsed()));
}

} // namespace

PtyPair::PtyPair()
{
    const int fd = ::posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return;
    char name[128] = {};
    if (::grantpt(fd) != 0 || ::unlockpt(fd) != 0 || ::ptsname_r(fd, name, sizeof name) != 0) {
        ::close(fd);
        return;
    }
    master_ = fd;
    slavePath_ = QString::fromLocal8Bit(name);
}

PtyPair::~PtyPair()
{
    closeMaster();
}

void PtyPair::closeMaster()
{
    if (master_ >= 0)
        ::close(master_);
    master_ = -1;
}

bool PtyPair::writeMaster(const QByteArray& bytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    qsizetype done = 0;
    while (done < bytes.size() && master_ >= 0) {
        const ssize_t n = ::write(master_, bytes.constData() + done, bytes.size() - done);
        if (n > 0) {
            done += n;
            continue;
        }
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            return false;
        const int wait = remaining(clock, timeoutMs);
        if (wait == 0)
            return false;
        pollfd pfd{master_, POLLOUT, 0};
        ::poll(&pfd, 1, wait);
    }
    return done == bytes.size();
}

QByteArray PtyPair::readMaster(int count, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    QByteArray result;
    while (result.size() < count && master_ >= 0) {
        char buffer[4096];
        const ssize_t n =
            ::read(master_, buffer, std::min<qsizetype>(sizeof buffer, count - result.size()));
        if (n > 0) {
            result.append(buffer, n);
            continue;
        }
        // EIO: no slave is open at the moment; keep waiting like for EAGAIN.
        if (n < 0 && errno != EAGAIN && errno != EINTR && errno != EIO)
            break;
        const int wait = remaining(clock, timeoutMs);
        if (wait == 0)
            break;
        pollfd pfd{master_, POLLIN, 0};
        ::poll(&pfd, 1, std::min(wait, 20));
    }
    return result;
}

QByteArray PtyPair::readAvailable()
{
    QByteArray result;
    char buffer[4096];
    ssize_t n = 0;
    while (master_ >= 0 && (n = ::read(master_, buffer, sizeof buffer)) > 0)
        result.append(buffer, n);
    return result;
}

bool PtyPair::slaveTermios(termios& settings) const
{
    return master_ >= 0 && ::tcgetattr(master_, &settings) == 0;
}

int PtyPair::slaveBaudRate() const
{
    termios settings{};
    if (!slaveTermios(settings))
        return -1;
    return speedToBaud(cfgetospeed(&settings));
}

bool PtyPair::enablePacketMode()
{
    int on = 1;
    return master_ >= 0 && ::ioctl(master_, TIOCPKT, &on) == 0;
}

PtyPair::Packets PtyPair::readPackets(int dataBytes, int timeoutMs)
{
    QElapsedTimer clock;
    clock.start();
    Packets packets;
    while (packets.data.size() < dataBytes && master_ >= 0) {
        char buffer[4096];
        const ssize_t n = ::read(master_, buffer, sizeof buffer);
        if (n > 0 && buffer[0] == TIOCPKT_DATA)
            packets.data.append(buffer + 1, n - 1);
        else if (n > 0)
            packets.status |= buffer[0];
        else if (const int wait = remaining(clock, timeoutMs); wait > 0)
            ::poll(nullptr, 0, std::min(wait, 5)); // no slave open: POLLHUP, so sleep
        else
            break;
    }
    return packets;
}
