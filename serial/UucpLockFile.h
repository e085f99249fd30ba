#pragma once

// The conventional UUCP lock file of a serial device: "LCK.." followed by
// the device's name below /dev ("/dev/ttyUSB0" gives LCK..ttyUSB0, a
// pseudo-terminal "/dev/pts/3" gives LCK..pts_3), in /var/lock, holding
// the owner's process id as ten right-aligned digits and a newline.
// Terminal programs create and honour these files, so through them a
// terminal program and this program see each other's use of a port, which
// the kernel's exclusive mode alone cannot show to an opener that came first.
//
// Contract: acquire() fails with EComError EBUSY while a living process
// (this one included) holds the device's lock; a lock of a process that no
// longer exists is removed. Where the directory does not take a new file
// (missing, read-only, no permission) the port goes on without a lock file.
// release() removes only a lock this object created.
// The lock directory is writable by everybody, so a lock path is never
// opened in a way that can block or follow a link: anything standing there
// that is not a regular file (a FIFO, a device, a symbolic link, a
// directory) counts as held by someone else, and is neither read through,
// written through nor removed.

#include <QString>

class UucpLockFile
{
public:
    UucpLockFile() = default;
    ~UucpLockFile() { release(); }
    UucpLockFile(const UucpLockFile&) = delete;
    UucpLockFile& operator=(const UucpLockFile&) = delete;

    void acquire(const QString& devicePath);
    void release() noexcept;
    // The lock file this object holds; empty when it holds none.
    [[nodiscard]] QString heldPath() const { return heldPath_; }

    // Where lock files are kept, /var/lock unless set; an empty text turns
    // them off. Process-wide.
    static void setDirectory(const QString& directory);
    [[nodiscard]] static QString directory();
    [[nodiscard]] static QString lockPathFor(const QString& devicePath);

private:
    QString heldPath_;
};
