#pragma once

// The POSIX platform layer of the serial port component: one tty device
// opened non-blocking and exclusively, configured through termios.
//
// Contract: every failing system call throws EComError carrying errno and
// the system's text for it. Not thread-safe; the port calls it from the main
// thread only (the event thread works on its own duplicate descriptor).

#include "serial/ComErrors.h"
#include "serial/PosixCustomBaud.h"
#include "serial/SerialSettings.h"
#include "serial/UucpLockFile.h"

#include <QString>

#include <linux/serial.h>

class PosixSerialDevice
{
public:
    PosixSerialDevice() = default;
    ~PosixSerialDevice();
    PosixSerialDevice(const PosixSerialDevice&) = delete;
    PosixSerialDevice& operator=(const PosixSerialDevice&) = delete;

    // Opens path for reading and writing; a device another opener holds
    // (its UUCP lock file, TIOCEXCL or the advisory lock) fails with EBUSY.
    // The line settings
    // found at opening are put back by close(), so a terminal lent to the
    // program is left as it was.
    void open(const QString& path);
    // Lets written bytes go out for at most drainMs, discards what is stuck
    // after that, puts the line settings back and closes.
    void close(int drainMs = 0) noexcept;
    [[nodiscard]] bool isOpen() const { return fd_ >= 0; }
    [[nodiscard]] int fd() const { return fd_; }

    // Puts the line in raw mode and applies the settings.
    void apply(const SerialSettings& settings);

    [[nodiscard]] int inputCount();
    // Bytes the driver still holds for sending (0 where it cannot tell, as
    // on pseudo-terminals, whose bytes go straight to the other side).
    [[nodiscard]] int outputCount();
    // Line errors counted by the driver since the previous call (none on
    // drivers without error counters, such as pseudo-terminals).
    [[nodiscard]] TLineErrors takeLineErrors();
    // Modem lines; empty on devices without them (pseudo-terminals).
    [[nodiscard]] TModemStatus modemStatus();

    // Reads up to length bytes, waiting at most timeoutMs for the rest.
    [[nodiscard]] int read(char* buffer, int length, int timeoutMs);
    // Writes up to length bytes, waiting at most timeoutMs for room.
    [[nodiscard]] int write(const char* buffer, int length, int timeoutMs);
    void purgeInput();
    void purgeOutput();
    // Waits at most timeoutMs until every written byte has left the driver;
    // true when they have. Never throws.
    [[nodiscard]] bool drainOutput(int timeoutMs) noexcept;
    // Discards output only if it did not drain within timeoutMs: a purge
    // right after a write must not throw that write away.
    void drainOrPurgeOutput(int timeoutMs);

    [[nodiscard]] static EComError systemError(int error);
    // The driver's error counters, false where the driver keeps none.
    [[nodiscard]] static bool readCounters(int fd, serial_icounter_struct& counters);
    // Line errors between two readings of the counters.
    [[nodiscard]] static TLineErrors counterDifference(const serial_icounter_struct& before,
                                                       const serial_icounter_struct& after);

private:
    void check(int result) const;
    void openDevice(const QString& path);
    [[nodiscard]] bool isHungUp() const;
    void setModemLine(int line, bool active);

    int fd_ = -1;
    UucpLockFile lockFile_;
    SavedLineSettings savedSettings_;
    bool countersSupported_ = false;
    serial_icounter_struct counters_{};
};
