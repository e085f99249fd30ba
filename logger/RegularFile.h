#pragma once

// Opening a file the user named, whose bytes are untrusted, for reading:
// only a regular file is opened, and the open never waits. A FIFO without a
// writer would hold a plain open for ever; a device such as /dev/zero has no
// end; a directory has no bytes.

#include <QFile>
#include <QString>

#include <algorithm>

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace RegularFile {

inline const QString NotRegularReason = QStringLiteral("it is not a regular file");

// Opens path read-only into file (which must not be open yet). On failure
// returns false with the reason in *error: the system's text, or
// NotRegularReason.
[[nodiscard]] bool openForReading(QFile& file, const QString& path, QString* error = nullptr);

// At most maxBytes from the current position; never allocates more than the
// file still holds.
[[nodiscard]] QByteArray readAtMost(QFile& file, qint64 maxBytes);

inline bool openForReading(QFile& file, const QString& path, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = reason;
        return false;
    };
    const QByteArray name = QFile::encodeName(path);
    const int fd = ::open(name.constData(), O_RDONLY | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0)
        return fail(qt_error_string(errno));
    struct stat status = {};
    if (::fstat(fd, &status) != 0 || !S_ISREG(status.st_mode)) {
        ::close(fd);
        return fail(NotRegularReason);
    }
    // Reads of a regular file never wait; the flag was for the open alone.
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags != -1)
        ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    if (!file.open(fd, QIODevice::ReadOnly, QFileDevice::AutoCloseHandle)) {
        ::close(fd);
        return fail(file.errorString());
    }
    return true;
}

inline QByteArray readAtMost(QFile& file, qint64 maxBytes)
{
    const qint64 left = std::max<qint64>(0, file.size() - file.pos());
    return file.read(std::min(maxBytes, left));
}

} // namespace RegularFile
