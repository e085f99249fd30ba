#pragma once

// The kernel's termios2 interface: arbitrary baud rates (BOTHER) and the
// whole line setting as the kernel keeps it. Lives apart from the termios
// code because the kernel's termios headers clash with the C library's.

// Sets an arbitrary baud rate on a serial device.
// Returns 0 on success, else the errno of the failing call.
[[nodiscard]] int setCustomBaudRate(int fd, int baud);

// A device's complete line setting, custom speeds included, as taken when a
// port opens and put back when it closes.
struct SavedLineSettings
{
    alignas(8) unsigned char raw[64] = {};
    bool valid = false;
};

// False when the device has no line settings to save.
[[nodiscard]] bool saveLineSettings(int fd, SavedLineSettings& saved);
// Puts a saved setting back at once; does nothing for an invalid one.
void restoreLineSettings(int fd, const SavedLineSettings& saved);
