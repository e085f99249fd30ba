#pragma once

// Writes chunks to a descriptor no faster than a 9600-baud line would carry
// them: a chunk is written when its last byte would have arrived, that is its
// transmission time after the line became free, and the line stays quiet for
// the chunk's gap after it. Pacing is per chunk, by deadline, never by busy
// waiting.
//
// Contract: the owner polls the descriptor for writability while
// wantsWritable() and calls writeDue() when that happens or when
// nextDeadline() has passed. A byte time of zero sends as fast as possible.

#include "tools/virtual-meter/FaultInjector.h"

#include <QList>

#include <chrono>
#include <optional>

namespace vmeter {

class PacedWriter
{
public:
    // 10 bits per byte at 9600 baud.
    static constexpr std::chrono::microseconds byteTime9600{1042};

    PacedWriter(int fd, std::chrono::microseconds byteTime) : fd_(fd), byteTime_(byteTime) {}

    void enqueue(const QList<WireChunk>& chunks) { queue_.append(chunks); }
    // Drops what has not gone out yet, as a meter switched off mid-frame would.
    void discard()
    {
        queue_.clear();
        chunkArrivesAt_.reset();
    }
    void writeDue(SteadyTime now);

    [[nodiscard]] bool hasPending() const { return !queue_.isEmpty(); }
    // Bytes the line took so far (not those lost with nobody on it).
    [[nodiscard]] qint64 bytesWritten() const { return bytesWritten_; }
    [[nodiscard]] bool wantsWritable() const { return blocked_ && hasPending(); }
    [[nodiscard]] std::optional<SteadyTime> nextDeadline() const;

private:
    int fd_;
    std::chrono::microseconds byteTime_;
    QList<WireChunk> queue_;
    SteadyTime lineFreeAt_{};
    std::optional<SteadyTime> chunkArrivesAt_;
    bool blocked_ = false;
    qint64 bytesWritten_ = 0;
};

} // namespace vmeter
