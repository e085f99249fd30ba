#pragma once

// The serial operations one auto-load cycle needs, behind an interface so
// that the cycle runs the same on the meter link and on a scripted device in
// tests. LinkAutoLoadDevice is the program's implementation.
//
// Contract: main thread only; no operation throws or waits longer than its
// own time-outs. Writes are not checked (a failed write is a no-op), and
// opening or closing a port ignores failure.

#include "logger/LoadResult.h"
#include "logger/MemoryDownload.h"

#include <QByteArray>

#include <optional>

class LoggerMemory;

class AutoLoadDevice
{
public:
    virtual ~AutoLoadDevice() = default;

    // The meter's REC flag as its live frames last showed it.
    [[nodiscard]] virtual bool meterRecording() const = 0;
    // Whether meterRecording() comes from a live frame of this meter at all;
    // without one the flag says nothing.
    [[nodiscard]] virtual bool recordingKnown() const = 0;
    // Lets the live link run (the tick held meanwhile) until two live frames
    // decoded after this call came, at most limitMs on the clock. True when
    // they came: meterRecording() then tells the state after every frame
    // written before the call (the first of them may have been on its way).
    [[nodiscard]] virtual bool awaitFreshFrames(int limitMs) = 0;
    // Another logger command holds the device (the logger port is open):
    // a cycle must not take it away.
    [[nodiscard]] virtual bool deviceLent() const = 0;
    // Writes an 8-byte frame on the live port.
    virtual void writeLive(const QByteArray& frame) = 0;
    // Clears the tick's busy flag: a cycle run from the tick takes the
    // device over, and the take-over waits for the tick to end.
    virtual void releaseTick() = 0;
    // The memory download into memory's image; leaves the logger port open.
    [[nodiscard]] virtual LoadResult downloadMemory(LoggerMemory& memory) = 0;
    [[nodiscard]] virtual TransferReport lastTransfer() const = 0;
    // Writes an 8-byte frame on the logger port, no echo expected.
    virtual void writeLogger(const QByteArray& frame) = 0;
    // Data sets in the meter's memory, by an information read of its control
    // page on the logger port; nothing when the read fails.
    [[nodiscard]] virtual std::optional<int> readStoredSetCount() = 0;
    virtual void closeLoggerPort() = 0;
    virtual void openLivePort() = 0;
    virtual void startMainTimer() = 0;
};
