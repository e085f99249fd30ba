#pragma once

// The logger's side of the serial device: the logger port Comm2 of the meter
// link, the shared logger command frame, the echo-checked send, and the
// hand-over of the device from the live port Comm1 to Comm2 and back.
//
// Logger frame: 02 | letter | sub-command ("E" for memory commands) |
// 24-bit address, most significant first | data byte | 03. It starts as
// 02 00 00 00 00 00 00 03; each operation sets only the bytes it needs and
// the others go out as the previous operation left them.
//
// Contract: main thread only; every wait goes through the link's MeterClock.
// Serial errors never escape: a failed write, read or count ends the step it
// belongs to as a failure (a read of nothing, a count of 0), and opening or
// closing a port ignores failure.

#include "meter/CommandFrame.h"

#include <QByteArray>

class MeterClock;
class MeterLink;
class TComPort;

class LoggerPort
{
public:
    static constexpr char MemorySubCommand = 'E';
    static constexpr int EchoAttempts = 3;
    static constexpr int EchoWaitMs = 200;
    static constexpr int RxBusyLimitMs = 3000;

    explicit LoggerPort(MeterLink& link);

    [[nodiscard]] MeterLink& link() { return link_; }
    [[nodiscard]] MeterClock& clock();
    [[nodiscard]] TComPort& port();

    [[nodiscard]] const CommandFrame& frame() const { return frame_; }
    void setLetter(char letter) { frame_.setLetter(letter); }
    // Bytes 1 to 6: letter, "E", the address, the data byte.
    void setMemoryCommand(char letter, quint32 address, quint8 data);
    void setAddressLow(quint8 low) { frame_.setParameter(5, low); }

    // Sends the frame as it stands and checks its 8-byte echo, up to three
    // attempts. Bytes after the echo stay waiting for the caller.
    [[nodiscard]] bool sendChecked();
    // Sends the frame as it stands, without an echo check.
    void writeFrame();

    [[nodiscard]] bool isOpen() const;
    [[nodiscard]] int inputCount();
    // Up to count bytes that are waiting.
    [[nodiscard]] QByteArray read(int count);
    // Reads and drops everything waiting; returns how many bytes that was.
    int discardWaiting();

    // Takes the device over from the live port: waits for the tick to end,
    // stops MainTimer, writes the live command frame once on Comm1, waits for
    // the receive handler (at most 3 s), then closes Comm1 and opens Comm2 on
    // Comm1's device without a receive event.
    void takeOver();
    void closeLoggerPort();
    void openLivePort();
    // Gives the device back: Comm2 closed, Comm1 open, MainTimer running.
    void giveBack();

private:
    LoggerPort(const LoggerPort&) = delete;
    LoggerPort& operator=(const LoggerPort&) = delete;

    MeterLink& link_;
    CommandFrame frame_{'\0'};
};
