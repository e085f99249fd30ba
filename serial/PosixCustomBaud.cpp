#include "serial/PosixCustomBaud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>

// <sys/ioctl.h> would pull in the C library's termios definitions.
extern "C" int ioctl(int fd, unsigned long request, ...);

int setCustomBaudRate(int fd, int baud)
{
    termios2 settings{};
    if (ioctl(fd, TCGETS2, &settings) < 0)
        return errno;
    settings.c_cflag &= ~(CBAUD | (CBAUD << IBSHIFT));
    settings.c_cflag |= BOTHER | (BOTHER << IBSHIFT);
    settings.c_ispeed = static_cast<speed_t>(baud);
    settings.c_ospeed = static_cast<speed_t>(baud);
    if (ioctl(fd, TCSETS2, &settings) < 0)
        return errno;
    return 0;
}
