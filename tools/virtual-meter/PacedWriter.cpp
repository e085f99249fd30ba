#include "tools/virtual-meter/PacedWriter.h"

#include <cerrno>
#include <unistd.h>

namespace vmeter {

void PacedWriter::writeDue(SteadyTime now)
{
    blocked_ = false;
    while (!queue_.isEmpty() && now >= lineFreeAt_) {
        WireChunk& chunk = queue_.first();
        const ssize_t written = ::write(fd_, chunk.bytes.constData(), size_t(chunk.bytes.size()));
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                blocked_ = true;
                return;
            }
            // Nobody on the line: the bytes are lost, as on an unplugged cable.
            queue_.removeFirst();
            continue;
        }
        lineFreeAt_ = now + std::chrono::duration_cast<SteadyTime::duration>(byteTime_ * written);
        if (written < chunk.bytes.size()) {
            chunk.bytes.remove(0, written);
            blocked_ = true;
            return;
        }
        lineFreeAt_ += chunk.gapAfter;
        queue_.removeFirst();
    }
}

std::optional<SteadyTime> PacedWriter::nextDeadline() const
{
    if (queue_.isEmpty() || blocked_)
        return std::nullopt;
    return lineFreeAt_;
}

} // namespace vmeter
