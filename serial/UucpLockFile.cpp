#include "serial/UucpLockFile.h"

#include "serial/PosixSerialDevice.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>

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

LockState readLock(const QString& path)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly))
        return file.exists() ? LockState::Held : LockState::Free;
    const QByteArray content = file.read(64);
    bool ascii = false;
    long pid = content.trimmed().toLong(&ascii);
    if (!ascii && content.size() == int(sizeof(int))) {
        int binary = 0; // the old binary form: a native int
        std::memcpy(&binary, content.constData(), sizeof binary);
        pid = binary;
    } else if (!ascii) {
        const qint64 age = QFileInfo(file).lastModified().msecsTo(QDateTime::currentDateTime());
        return age < kFillingGraceMs ? LockState::Held : LockState::Stale;
    }
    return processExists(pid_t(pid)) ? LockState::Held : LockState::Stale;
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
    const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_EXCL | O_CLOEXEC, 0644);
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
        switch (readLock(path)) {
        case LockState::Held:
            throw PosixSerialDevice::systemError(EBUSY);
        case LockState::Stale:
            ::unlink(QFile::encodeName(path).constData());
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
    QFile file(heldPath_);
    // Only our own lock: after a stale-lock clean-up by someone else the
    // file may belong to another process by now.
    if (file.open(QIODevice::ReadOnly) && file.read(64).trimmed().toLong() == long(::getpid()))
        ::unlink(QFile::encodeName(heldPath_).constData());
    heldPath_.clear();
}
