#include "serial/UucpLockFile.h"

#include "serial/PosixSerialDevice.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

#include <algorithm>

#include <cerrno>
#include <csignal>
#include <cstring>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

QString& lockDirectory()
{
    static QString directory = QStringLiteral("/var/lock");
    return directory;
}

// A lock whose writer is still between creating and filling it looks empty;
// it counts as held for this long.
constexpr qint64 kFillingGraceMs = 2000;

bool processExists(pid_t pid)
{
    return pid > 0 && (::kill(pid, 0) == 0 || errno == EPERM);
}

enum class LockState
{
    Free,
    Held,
    Stale
};

// A lock path is opened without blocking and without following links:
// /var/lock is world-writable, and a FIFO there would block an ordinary
// open() until someone writes to it, a link would make us read, remove or
// write whatever file it names. Only a regular file is a lock we may read.
// Returns -1 with errno set, or a descriptor of a regular file.
int openRegularLock(const QByteArray& name, struct stat* status)
{
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_NOFOLLOW | O_CLOEXEC);
    if (fd < 0)
        return -1;
    if (::fstat(fd, status) != 0 || !S_ISREG(status->st_mode)) {
        ::close(fd);
        errno = EPERM;
        return -1;
    }
    return fd;
}

struct LockRead
{
    LockState state = LockState::Free;
    // The file that was read, so that a stale lock is removed only while
    // the path still names that very file.
    dev_t device = 0;
    ino_t inode = 0;
};

LockRead readLock(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat status
    {
    };
    const int fd = openRegularLock(name, &status);
    if (fd < 0) {
        // Anything there that is not a readable regular file (a FIFO, a
        // device, a link, a directory, a file we may not read) belongs to
        // someone else.
        struct stat entry
        {
        };
        return {::lstat(name.constData(), &entry) == 0 ? LockState::Held : LockState::Free};
    }
    char buffer[64];
    const ssize_t got = ::read(fd, buffer, sizeof buffer);
    ::close(fd);
    LockRead result{LockState::Held, status.st_dev, status.st_ino};
    const QByteArray content(buffer, int(std::max<ssize_t>(got, 0)));
    bool ascii = false;
    long pid = content.trimmed().toLong(&ascii);
    if (!ascii && content.size() == int(sizeof(int))) {
        int binary = 0; // the old binary form: a native int
        std::memcpy(&binary, content.constData(), sizeof binary);
        pid = binary;
    } else if (!ascii) {
        const qint64 modifiedMs =
            qint64(status.st_mtim.tv_sec) * 1000 + status.st_mtim.tv_nsec / 1000000;
        const qint64 age = QDateTime::currentMSecsSinceEpoch() - modifiedMs;
        result.state = age < kFillingGraceMs ? LockState::Held : LockState::Stale;
        return result;
    }
    result.state = processExists(pid_t(pid)) ? LockState::Held : LockState::Stale;
    return result;
}

// Removes a stale lock only while the path still names the regular file
// that was read; true when the path is free now.
bool removeStaleLock(const QString& path, const LockRead& read)
{
    const QByteArray name = QFile::encodeName(path);
    struct stat entry
    {
    };
    if (::lstat(name.constData(), &entry) != 0)
        return errno == ENOENT;
    if (!S_ISREG(entry.st_mode) || entry.st_dev != read.device || entry.st_ino != read.inode)
        return false;
    return ::unlink(name.constData()) == 0 || errno == ENOENT;
}

enum class CreateResult
{
    Created,
    Exists,
    Impossible
};

CreateResult createLock(const QString& path)
{
    const QByteArray name = QFile::encodeName(path);
    const int fd =
        ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0644);
    if (fd < 0)
        return errno == EEXIST ? CreateResult::Exists : CreateResult::Impossible;
    // Lock files are world-readable whatever the umask says.
    (void)::fchmod(fd, 0644);
    const QByteArray content =
        QByteArray::number(qint64(::getpid())).rightJustified(10, ' ') + '\n';
    const bool written = ::write(fd, content.constData(), size_t(content.size())) == content.size();
    ::close(fd);
    if (!written) {
        ::unlink(name.constData());
        return CreateResult::Impossible;
    }
    return CreateResult::Created;
}

} // namespace

void UucpLockFile::setDirectory(const QString& directory)
{
    lockDirectory() = directory;
}

QString UucpLockFile::directory()
{
    return lockDirectory();
}

QString UucpLockFile::lockPathFor(const QString& devicePath)
{
    if (lockDirectory().isEmpty())
        return {};
    // A link such as /dev/serial/by-id/... locks the device it names.
    const QFileInfo info(devicePath);
    const QString device = info.exists() ? info.canonicalFilePath() : info.absoluteFilePath();
    const QString devPrefix = QStringLiteral("/dev/");
    QString name = device.startsWith(devPrefix) ? device.mid(devPrefix.size()) : info.fileName();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return lockDirectory() + QStringLiteral("/LCK..") + name;
}

void UucpLockFile::acquire(const QString& devicePath)
{
    release();
    const QString path = lockPathFor(devicePath);
    if (path.isEmpty())
        return;
    // Two rounds: a stale lock removed in the first may be taken by another
    // program before our own is in place.
    for (int round = 0; round < 2; ++round) {
        const LockRead read = readLock(path);
        switch (read.state) {
        case LockState::Held:
            throw PosixSerialDevice::systemError(EBUSY);
        case LockState::Stale:
            if (!removeStaleLock(path, read))
                throw PosixSerialDevice::systemError(EBUSY);
            break;
        case LockState::Free:
            break;
        }
        switch (createLock(path)) {
        case CreateResult::Created:
            heldPath_ = path;
            return;
        case CreateResult::Impossible:
            return;
        case CreateResult::Exists:
            break;
        }
    }
    throw PosixSerialDevice::systemError(EBUSY);
}

void UucpLockFile::release() noexcept
{
    if (heldPath_.isEmpty())
        return;
    // Only our own lock: after a stale-lock clean-up by someone else the
    // file may belong to another process by now, or something else may
    // stand at the path.
    const QByteArray name = QFile::encodeName(heldPath_);
    struct stat status
    {
    };
    const int fd = openRegularLock(name, &status);
    if (fd >= 0) {
        char buffer[64];
        const ssize_t got = ::read(fd, buffer, sizeof buffer);
        ::close(fd);
        const QByteArray content(buffer, int(std::max<ssize_t>(got, 0)));
        struct stat entry
        {
        };
        if (content.trimmed().toLong() == long(::getpid()) &&
            ::lstat(name.constData(), &entry) == 0 && entry.st_ino == status.st_ino &&
            entry.st_dev == status.st_dev)
            ::unlink(name.constData());
    }
    heldPath_.clear();
}
