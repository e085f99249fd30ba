#pragma once

// The exchanges of the logger setup and of the unattended emptying of the
// logger, on the logger port Comm2 of the meter link (through LoggerPort):
// taking the device over from the live port, echo-checked commands, the
// information read, the erase, the recording key, the restart, and the
// restore that gives the device back to the live link.
//
// Contract:
// - Main thread only. Every wait and time-out is elapsed time on the link's
//   MeterClock (Delay and polling), never the time of day; nothing processes
//   window events except the waits for TickBusy and RxBusy in
//   connectLoggerPort, which let the tick or the receive handler end.
// - Serial errors never escape: a failed write, read or count makes the step
//   fail (a read of nothing, a count of 0); opening and closing ignore failure.
// - connectLoggerPort(): up to 3 attempts of: wait while TickBusy (at most
//   2.5 s), stop MainTimer, wait while RxBusy (at most 2.5 s), close Comm1,
//   Delay(5000), open Comm2 on Comm1's device without a receive event. True
//   when Comm2 is open. At least 5 s per attempt.
// - sendAndVerify(frame): up to 3 attempts of writing the frame and waiting
//   (at most 2.5 s after the write) until 8 bytes wait; then the first 8 are
//   read and must equal the frame. Bytes behind them (a reply that follows
//   the echo at once) stay waiting for the caller.
// - Every command that took the device over must end with restore(): Comm2
//   closed, Comm1 open, MainTimer running and "a" written on Comm1, whatever
//   happened before (the caller guarantees it, for example with a scope guard).
// - The caller decides whether the meter may be changed (connected, not
//   recording); this class only talks.

#include "logger/ControlPage.h"

#include <QByteArray>

#include <cstdint>
#include <optional>

class LoggerPort;
class MeterClock;
class MeterLink;

// What the information read got from the meter; each part stays empty when
// its exchange failed, and the read stops at the first failure.
struct LoggerInformation
{
    std::optional<std::uint8_t> firmware; // "V": 105 means version 1.05
    // "ti": YY -- MM DD hh mm ss --, BCD.
    std::optional<QByteArray> meterClock;
    std::optional<ControlPage> controlPage;
};

class LoggerSetupPort
{
public:
    static constexpr int TakeOverAttempts = 3;
    static constexpr int BusyLimitMs = 2500;
    static constexpr int TakeOverSettleMs = 5000;
    static constexpr int EchoAttempts = 3;
    static constexpr int ReplyLimitMs = 2500;
    static constexpr int StepDelayMs = 100;
    static constexpr int EraseSettleMs = 2500;
    static constexpr int BlockAttempts = 3;
    static constexpr int FirmwareReplySize = 9;
    static constexpr int ClockReplySize = 8;
    static constexpr int BlockSize = 65;

    explicit LoggerSetupPort(LoggerPort& port);

    [[nodiscard]] MeterClock& clock();
    [[nodiscard]] MeterLink& link();
    [[nodiscard]] LoggerPort& loggerPort() { return port_; }

    [[nodiscard]] bool connectLoggerPort();
    [[nodiscard]] bool isOpen() const;

    // The frame on Comm2 without any check.
    void write(const QByteArray& frame);
    [[nodiscard]] bool sendAndVerify(const QByteArray& frame);
    // PurgeInput and PurgeOutput of Comm2.
    void purge();
    void purgeInput();
    // Polls until at least `count` bytes wait or limitMs have passed;
    // returns how many wait then.
    int waitForBytes(int count, int limitMs);
    [[nodiscard]] int inputCount();
    [[nodiscard]] QByteArray read(int count);

    // Delay(100), "c", Delay(100), PurgeInput and PurgeOutput: the meter
    // leaves its live stream and listens to logger commands.
    void enterLoggerMode();

    // Information read, "V" already written: the firmware reply (exactly 9
    // bytes within 2.5 s, echo checked), "ti" (exactly 8 BCD bytes within
    // 2.5 s), then readControlPage(). Stops at the first failure.
    [[nodiscard]] LoggerInformation readInformationAfterFirmwareRequest();
    // "V", then the above.
    [[nodiscard]] LoggerInformation readInformation();
    // The information "P" (echo checked), then up to 3 attempts at the
    // 65-byte block (64 bytes and their sum modulo 256) within 2.5 s of its
    // "P"; then "Q", Delay(100), PurgeInput. Empty when no good block came.
    [[nodiscard]] std::optional<ControlPage> readControlPage();

    // "erase", Delay(2500), then an information read; true only when the
    // control page then shows no data sets.
    [[nodiscard]] bool eraseMemory();
    // "boot": the meter restarts (not answered).
    void boot();
    // "E" on Comm2: the recording key.
    void pressRecordKey();

    // Comm2 closed, Delay(settleMs) when asked, Comm1 open (errors ignored),
    // MainTimer started, "a" written on Comm1.
    void restore(int settleMs = 0);

private:
    LoggerPort& port_;
};
