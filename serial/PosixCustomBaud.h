#pragma once

// Sets an arbitrary baud rate on a serial device through the kernel's
// termios2 interface (BOTHER). Lives apart from the termios code because the
// kernel's termios headers clash with the C library's.
// Returns 0 on success, else the errno of the failing call.
[[nodiscard]] int setCustomBaudRate(int fd, int baud);
