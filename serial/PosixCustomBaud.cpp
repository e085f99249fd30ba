#include "serial/PosixCustomBaud.h"

#include <asm/ioctls.h>
#include <asm/termbits.h>
#include <cerrno>
#include <cstring>

// <sys/ioctl.h> would pull in the C library's termios definitions.
extern "C" int ioctl(int fd, unsigned long request, ...);

static_assert(sizeof(termios2) <= sizeof(SavedLineSettings::raw));

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

bool saveLineSettings(int fd, SavedLineSettings& saved)
{
    termios2 settings{};
    saved.valid = ioctl(fd, TCGETS2, &settings) == 0;
    if (saved.valid)
        std::memcpy(saved.raw, &settings, sizeof settings);
    return saved.valid;
}

void restoreLineSettings(int fd, const SavedLineSettings& saved)
{
    if (!saved.valid)
        return;
    termios2 settings{};
    std::memcpy(&settings, saved.raw, sizeof settings);
    // Closing goes on whatever happens; there is no one left to tell.
    (void)ioctl(fd, TCSETS2, &settings);
}
