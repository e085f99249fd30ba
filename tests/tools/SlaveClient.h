#pragma once

// The program's side of a pseudo-terminal for the virtual meter's tests,
// with plain POSIX calls: raw mode, 8-byte command frames out, bytes in, and
// the live frame cutting of the receive handler (sync 02, end 03 at byte 14,
// validity marker 111 in the top bits of byte 2; otherwise drop one byte).

#include <QByteArray>
#include <QDeadlineTimer>
#include <QList>
#include <QString>

#include <fcntl.h>
#include <poll.h>
#include <termios.h>
#include <unistd.h>

class SlaveClient
{
public:
    SlaveClient() = default;
    explicit SlaveClient(const QString& path) { open(path); }
    ~SlaveClient() { close(); }
    SlaveClient(const SlaveClient&) = delete;
    SlaveClient& operator=(const SlaveClient&) = delete;

    bool open(const QString& path)
    {
        fd_ = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd_ < 0)
            return false;
        termios mode{};
        ::tcgetattr(fd_, &mode);
        ::cfmakeraw(&mode);
        ::tcsetattr(fd_, TCSANOW, &mode);
        // Whatever the meter sent while nobody listened is not for this session.
        ::tcflush(fd_, TCIFLUSH);
        return true;
    }
    void close()
    {
        if (fd_ >= 0)
            ::close(fd_);
        fd_ = -1;
    }
    bool isOpen() const { return fd_ >= 0; }

    bool send(char letter) { return sendRaw(commandFrame(letter)); }
    bool sendRaw(const QByteArray& bytes)
    {
        return ::write(fd_, bytes.constData(), size_t(bytes.size())) == bytes.size();
    }
    static QByteArray commandFrame(char letter)
    {
        return QByteArray::fromRawData("\x02\0\0\0\0\0\0\x03", 8).replace(1, 1, &letter, 1);
    }

    // Reads until count bytes have come or the time is up; returns all read.
    QByteArray readBytes(int count, int timeoutMs)
    {
        QByteArray got;
        QDeadlineTimer deadline(timeoutMs);
        while (got.size() < count && !deadline.hasExpired())
            got += readSome(int(deadline.remainingTime()));
        return got;
    }
    // Everything that arrives within the time.
    QByteArray readFor(int ms) { return readBytes(1 << 20, ms); }

    // Waits for the next valid live frame, dropping what is not one.
    QByteArray nextFrame(int timeoutMs)
    {
        QDeadlineTimer deadline(timeoutMs);
        for (;;) {
            while (buffer_.size() >= 15) {
                const qsizetype start = buffer_.indexOf('\x02');
                if (start < 0) {
                    buffer_.clear();
                    break;
                }
                buffer_.remove(0, start);
                if (buffer_.size() < 15)
                    break;
                if (isValidFrame(buffer_.left(15))) {
                    const QByteArray frame = buffer_.left(15);
                    buffer_.remove(0, 15);
                    return frame;
                }
                ++droppedBytes;
                buffer_.remove(0, 1);
            }
            if (deadline.hasExpired())
                return {};
            buffer_ += readSome(int(deadline.remainingTime()));
        }
    }
    static bool isValidFrame(const QByteArray& f)
    {
        return f.size() == 15 && f.at(0) == 0x02 && f.at(14) == 0x03 &&
               (quint8(f.at(2)) & 0xE0) == 0xE0;
    }
    int droppedBytes = 0;

private:
    QByteArray readSome(int timeoutMs)
    {
        pollfd pfd{fd_, POLLIN, 0};
        if (::poll(&pfd, 1, std::max(0, timeoutMs)) <= 0)
            return {};
        char buffer[512];
        const ssize_t got = ::read(fd_, buffer, sizeof buffer);
        return got > 0 ? QByteArray(buffer, got) : QByteArray();
    }

    int fd_ = -1;
    QByteArray buffer_;
};
