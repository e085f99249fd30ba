#include "tools/virtual-meter/PacedWriter.h"

#include <algorithm>
#include <cerrno>
#include <unistd.h>

namespace vmeter {

void PacedWriter::writeDue(SteadyTime now)
{
    blocked_ = false;
    while (!queue_.isEmpty()) {
        WireChunk& chunk = queue_.first();
        if (!chunkArrivesAt_) {
            // The chunk shows up at the far end once its last byte has crossed the line.
            const auto transmission =
                std::chrono::duration_cast<SteadyTime::duration>(byteTime_ * chunk.bytes.size());
            chunkArrivesAt_ = std::max(now, lineFreeAt_) + transmission;
        }
        if (now < *chunkArrivesAt_)
            return;
        ssize_t written = ::write(fd_, chunk.bytes.constData(), size_t(chunk.bytes.size()));
        if (written > 0)
            bytesWritten_ += written;
        if (written < 0) {
            if (errno == EAGAIN || errno == EINTR) {
                blocked_ = true;
                return;
            }
            // Nobody on the line: the bytes are lost, as on an unplugged cable.
            written = chunk.bytes.size();
        }
        if (written < chunk.bytes.size()) {
            chunk.bytes.remove(0, written);
            blocked_ = true;
            return;
        }
        lineFreeAt_ = now + chunk.gapAfter;
        chunkArrivesAt_.reset();
        queue_.removeFirst();
    }
}

std::optional<SteadyTime> PacedWriter::nextDeadline() const
{
    if (queue_.isEmpty() || blocked_)
        return std::nullopt;
    return chunkArrivesAt_ ? *chunkArrivesAt_ : lineFreeAt_;
}

} // namespace vmeter
