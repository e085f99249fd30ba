#pragma once

// Translation of the component's line settings into a termios record.
//
// The record is always put in raw mode (binary data: no echo, no line
// editing, no CR/NL translation, no software flow control unless XOnXOff
// asks for it, reads that return at once). The other items are overwritten
// only when their setting is not the *Default value.
//
// Returns 0, or the baud rate the caller must set through the kernel's
// arbitrary-speed interface because termios has no code for it. Throws
// EComError (EINVAL) for settings no POSIX line can take (4 data bits, a
// zero or negative baud rate).

#include "serial/ComErrors.h"
#include "serial/SerialSettings.h"

#include <termios.h>

[[nodiscard]] int applyToTermios(termios& tio, const SerialSettings& settings);
