#include "logger/OutputFile.h"

#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <csignal>
#include <ctime>
#include <fcntl.h>
#include <pthread.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

enum class Target
{
    Regular, // a regular file or a name not taken yet
    Direct,  // a pipe, a character device or a descriptor's name
    Refused
};

// The names through which the process reaches its own descriptors.
bool isDescriptorName(const QString& absolutePath)
{
    return absolutePath.startsWith(QLatin1String("/proc/")) ||
           absolutePath.startsWith(QLatin1String("/dev/fd/")) ||
           absolutePath == QLatin1String("/dev/stdout") ||
           absolutePath == QLatin1String("/dev/stderr");
}

Target targetOf(const QString& path, QString& reason)
{
    if (isDescriptorName(QFileInfo(path).absoluteFilePath()))
        return Target::Direct;
    struct stat status = {};
    if (::stat(QFile::encodeName(path).constData(), &status) != 0)
        return Target::Regular; // QSaveFile creates it, or says why it cannot
    if (S_ISREG(status.st_mode))
        return Target::Regular;
    if (S_ISFIFO(status.st_mode) || S_ISCHR(status.st_mode))
        return Target::Direct;
    reason =
        S_ISDIR(status.st_mode) ? OutputFile::DirectoryReason : OutputFile::NotWritableKindReason;
    return Target::Refused;
}

// A write to a pipe whose reader has gone raises SIGPIPE, which would end the
// program; the write fails with EPIPE instead while this lives.
class PipeSignalHeld
{
public:
    PipeSignalHeld()
    {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        sigset_t pending;
        sigemptyset(&pending);
        sigpending(&pending);
        pendingBefore_ = sigismember(&pending, SIGPIPE) == 1;
        pthread_sigmask(SIG_BLOCK, &pipe_, &previous_);
    }
    ~PipeSignalHeld()
    {
        if (raised_ && !pendingBefore_) {
            const timespec none = {};
            while (sigtimedwait(&pipe_, nullptr, &none) == -1 && errno == EINTR) {
            }
        }
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
    }
    void raised() { raised_ = true; }

private:
    sigset_t pipe_;
    sigset_t previous_;
    bool pendingBefore_ = false;
    bool raised_ = false;
};

} // namespace

OutputFile::OutputFile(const QString& path, QObject* parent)
    : QIODevice(parent), path_(path), save_(path)
{
}

OutputFile::~OutputFile()
{
    if (isOpen())
        cancelWriting();
}

bool OutputFile::open(OpenMode mode)
{
    failed_ = false;
    if (isOpen() || (mode & ~Text) != WriteOnly) {
        setErrorString(QStringLiteral("the file can only be opened once, for writing"));
        return false;
    }
    QString reason;
    switch (targetOf(path_, reason)) {
    case Target::Refused:
        setErrorString(reason);
        return false;
    case Target::Direct:
        if (!openDirect())
            return false;
        break;
    case Target::Regular:
        if (!save_.open(WriteOnly)) {
            setErrorString(save_.errorString());
            return false;
        }
        break;
    }
    return QIODevice::open(WriteOnly | Unbuffered);
}

bool OutputFile::openDirect()
{
    // Not blocking: a FIFO without a reader fails the open instead of
    // holding it for ever.
    const int fd =
        ::open(QFile::encodeName(path_).constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) {
        setErrorString(errno == ENXIO ? NoReaderReason : qt_error_string(errno));
        return false;
    }
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || S_ISDIR(status.st_mode)) {
        ::close(fd);
        setErrorString(DirectoryReason);
        return false;
    }
    // Writes wait for a slow reader as they would on any output.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    fd_ = fd;
    return true;
}

qint64 OutputFile::readData(char*, qint64)
{
    return -1;
}

qint64 OutputFile::writeData(const char* data, qint64 size)
{
    if (failed_)
        return -1;
    if (!isDirect()) {
        errno = 0;
        const qint64 written = save_.write(data, size);
        if (written != size || save_.error() != QFileDevice::NoError) {
            const int error = errno;
            fail(error != 0 ? qt_error_string(error) : save_.errorString());
            return -1;
        }
        return written;
    }
    PipeSignalHeld held;
    qint64 done = 0;
    while (done < size) {
        const ssize_t n = ::write(fd_, data + done, size_t(size - done));
        if (n < 0 && errno == EINTR)
            continue;
        if (n <= 0) {
            const int error = n < 0 ? errno : ENOSPC;
            if (error == EPIPE)
                held.raised();
            fail(error == EPIPE ? NoReaderReason : qt_error_string(error));
            return -1;
        }
        done += n;
    }
    return done;
}

bool OutputFile::fail(const QString& reason)
{
    failed_ = true;
    setErrorString(reason);
    return false;
}

void OutputFile::closeDirect()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

void OutputFile::discardTemporary()
{
    if (!save_.isOpen())
        return;
    // A cancelled QSaveFile removes its temporary file at the commit.
    save_.cancelWriting();
    (void)save_.commit();
}

bool OutputFile::commit()
{
    if (!isOpen())
        return fail(QStringLiteral("the file is not open"));
    bool ok = !failed_;
    if (isDirect()) {
        // Nothing is buffered here; a device may still report at the close.
        if (::close(fd_) != 0 && ok && errno != EINTR)
            ok = fail(qt_error_string(errno));
        fd_ = -1;
    } else if (!ok) {
        discardTemporary();
    } else if (errno = 0; !save_.flush() || save_.error() != QFileDevice::NoError) {
        // The last buffered bytes are written by the flush; QSaveFile's commit
        // would rename the file even when that write failed. Its own text
        // for that failure may be "Unknown error": the system's is better.
        const int error = errno;
        ok = fail(error != 0 ? qt_error_string(error) : save_.errorString());
        discardTemporary();
    } else if (!save_.commit()) {
        ok = fail(save_.errorString());
    }
    QIODevice::close();
    return ok;
}

void OutputFile::cancelWriting()
{
    if (isDirect())
        closeDirect();
    else
        discardTemporary();
    failed_ = true;
    QIODevice::close();
}

bool OutputFile::isSequential() const
{
    return isDirect();
}

bool OutputFile::seek(qint64 pos)
{
    if (isDirect() || !save_.seek(pos))
        return false;
    return QIODevice::seek(pos);
}

qint64 OutputFile::size() const
{
    return isDirect() ? 0 : save_.size();
}

QString OutputFile::writeWhole(const QString& path, const QByteArray& bytes)
{
    OutputFile file(path);
    if (!file.open(WriteOnly))
        return file.errorString();
    if (file.write(bytes) != bytes.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return reason;
    }
    return file.commit() ? QString() : file.errorString();
}
