#pragma once

// Turns each message of the meter into the chunks that go on the wire, and
// spoils some of them on request: garbage bytes before a frame, frames cut
// into fragments with short gaps, and now and then a damaged copy of a frame
// (wrong end byte or no validity marker) sent before the good one, so that
// the stream still goes on.
//
// Contract: garbage and damaged copies never contain a valid live frame,
// also not together with the frame that follows them; identification
// replies are never spoiled, only fragmented.

#include "tools/virtual-meter/MeterProtocol.h"

#include <QByteArray>
#include <QList>

#include <chrono>
#include <cstdint>
#include <random>

namespace vmeter {

struct FaultSettings
{
    bool noise = false;
    bool split = false;
    // Share of live frames preceded by a damaged copy, 0..1.
    double corruptRate = 0.0;
    std::uint32_t seed = 1;
};

struct WireChunk
{
    QByteArray bytes;
    // Silence on the line after this chunk, on top of its transmission time.
    std::chrono::milliseconds gapAfter{0};
};

class FaultInjector
{
public:
    explicit FaultInjector(const FaultSettings& settings);

    [[nodiscard]] QList<WireChunk> prepare(const OutgoingMessage& message);

    // True when a valid live frame starts in data at a position before limit.
    [[nodiscard]] static bool hasFrameStartBefore(const QByteArray& data, qsizetype limit);

private:
    [[nodiscard]] QByteArray makeNoise(const QByteArray& following);
    [[nodiscard]] QByteArray makeDamagedCopy(const QByteArray& frame);
    void appendSplit(QList<WireChunk>& chunks, const QByteArray& bytes);
    [[nodiscard]] int randomInt(int low, int high);

    FaultSettings settings_;
    std::mt19937 random_;
};

} // namespace vmeter
