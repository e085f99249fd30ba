#pragma once

// Cuts live frames out of the received byte stream. Noise, partial frames and
// frames with a wrong end byte or validity marker are skipped byte by byte.

#include <QByteArray>

namespace LiveFrameCutter {
// Drops bytes from the head of buffer until a valid frame starts there or
// fewer than a frame's worth of bytes remain. Returns true when buffer begins
// with a valid frame. A buffer of a frame's length or more without any sync
// byte is emptied.
[[nodiscard]] bool seekFrame(QByteArray& buffer);
} // namespace LiveFrameCutter
