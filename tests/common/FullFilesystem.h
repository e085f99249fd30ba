#pragma once

// A filesystem that runs full: a 16 KB tmpfs mounted on a temporary
// directory, for tests of writes that hit a full disk. Mounting needs root;
// isMounted() says whether it is there and whyNot() why not, for a skip.
// leaveFree(bytes) fills it with a filler file, then gives back just that
// many bytes (whole pages).

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/mount.h>
#include <unistd.h>

class FullFilesystem
{
public:
    static constexpr qint64 PageBytes = 4096;
    static constexpr qint64 SizeBytes = 4 * PageBytes;

    FullFilesystem()
    {
        if (::geteuid() != 0) {
            whyNot_ = QStringLiteral("a tmpfs can only be mounted as root");
            return;
        }
        const QByteArray where = QFile::encodeName(dir_.path());
        if (::mount("tmpfs", where.constData(), "tmpfs", 0, "size=16k") != 0) {
            whyNot_ = QStringLiteral("mounting a tmpfs failed: ") +
                      QString::fromLocal8Bit(std::strerror(errno));
            return;
        }
        mounted_ = true;
    }
    ~FullFilesystem()
    {
        if (mounted_)
            ::umount2(QFile::encodeName(dir_.path()).constData(), MNT_DETACH);
    }
    FullFilesystem(const FullFilesystem&) = delete;
    FullFilesystem& operator=(const FullFilesystem&) = delete;

    [[nodiscard]] bool isMounted() const { return mounted_; }
    [[nodiscard]] QString whyNot() const { return whyNot_; }
    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] QString filePath(const QString& name) const { return dir_.filePath(name); }
    [[nodiscard]] static QString fillerName() { return QStringLiteral("filler"); }

    // Removes every file in it.
    void clear() const
    {
        QDir dir(dir_.path());
        for (const QString& name : dir.entryList(QDir::Files | QDir::Hidden | QDir::System))
            dir.remove(name);
    }
    // Fills what is free, then frees `bytes` again; false when the filler
    // could not be written as planned.
    [[nodiscard]] bool leaveFree(qint64 bytes) const
    {
        const QByteArray name = QFile::encodeName(filePath(fillerName()));
        const int fd = ::open(name.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
        if (fd < 0)
            return false;
        const QByteArray page(int(PageBytes), 'f');
        qint64 size = 0;
        for (;;) {
            const ssize_t n = ::write(fd, page.constData(), size_t(page.size()));
            if (n <= 0)
                break;
            size += n;
        }
        const bool full = errno == ENOSPC;
        const qint64 pages = (bytes + PageBytes - 1) / PageBytes;
        const bool freed = size >= pages * PageBytes &&
                           ::ftruncate(fd, (size / PageBytes - pages) * PageBytes) == 0;
        ::close(fd);
        return full && freed;
    }

private:
    QTemporaryDir dir_;
    bool mounted_ = false;
    QString whyNot_;
};
