#pragma once

// The meter's side of the serial protocol as one state machine: received
// bytes and the time go in, bytes to send come out. No port and no clock
// inside, so the same machine serves the pseudo-terminal and the tests.
//
// Live protocol: "A" or "a" starts the stream with one 15-byte frame; each
// "X" asks for the next, which follows after the frame spacing; without an
// "X" for the silence limit the stream stops until the next "A", "a" or "X".
// "K" is answered with the 4-byte identification. Key letters change the
// display (MeterDisplay) and so the frames that follow.
//
// The logger commands ("r", "w", "P", "y", "n", "Q") share the 8-byte frame
// shape and the parser; the model 842 answers them through its MeterLogger,
// and its setup commands ("c", "rtc" and the clock frame, "int", "boot",
// "erase", "V", "ti") through MeterSetup. "E" toggles REC; while REC is on
// the LoggerRecorder fills a new data set. The model 841 has no logger and
// ignores all of them.
//
// Contract: call receive() with each chunk of received bytes, and poll() at
// nextDeadline() at the latest; take what to send with takeOutput(). All
// calls from one thread (VirtualMeter serialises them).

#include "tools/virtual-meter/CommandFrameParser.h"
#include "tools/virtual-meter/LevelGenerator.h"
#include "tools/virtual-meter/LoggerRecorder.h"
#include "tools/virtual-meter/MeterDisplay.h"
#include "tools/virtual-meter/MeterLogger.h"
#include "tools/virtual-meter/MeterSetup.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>

#include <chrono>
#include <cstdint>
#include <functional>
#include <optional>

namespace vmeter {

struct ProtocolSettings
{
    MeterModel model = MeterModel::Model842;
    // The 4 bytes answered to "K"; empty for a meter that does not answer.
    QByteArray idReply = "0842";
    std::chrono::milliseconds frameSpacing{100};
    std::chrono::milliseconds silenceLimit{1500};
    bool batteryLow = false;
    double baseLevelDb = 65.0;
    std::uint32_t seed = 1;
    // The REC annunciator is on from the start.
    bool recording = false;
    // One byte on the line; a logger block takes 65 of them (0: unpaced).
    std::chrono::microseconds byteTime{0};
    LoggerSettings logger;
    SetupSettings setup;
    // How much faster than the wall clock a recording takes its samples.
    double recordingTimeScale = 1.0;
};

struct OutgoingMessage
{
    enum class Kind
    {
        LiveFrame,
        IdReply,
        LoggerEcho,
        LoggerBlock
    };
    Kind kind = Kind::LiveFrame;
    QByteArray bytes;
};

class MeterProtocol
{
public:
    // The PC's local date and time; the meter clock runs beside it. Without
    // one, live frames carry a zero clock and the setup uses the system time.
    using ClockSource = std::function<QDateTime()>;

    explicit MeterProtocol(const ProtocolSettings& settings, ClockSource clock = {});

    // Returns what the parser made of the bytes, for the traffic log.
    QList<ParsedBytes> receive(const QByteArray& bytes, SteadyTime now);
    QList<ParsedBytes> poll(SteadyTime now);
    [[nodiscard]] std::optional<SteadyTime> nextDeadline() const;
    [[nodiscard]] QList<OutgoingMessage> takeOutput();
    [[nodiscard]] bool hasOutput() const { return !output_.isEmpty(); }

    // A switched-off meter is silent and ignores every command, and a
    // recording ends; switched on again it waits for "A" or "a".
    void switchOff();
    void switchOn();
    [[nodiscard]] bool poweredOn() const { return poweredOn_; }
    void setBaseLevel(double db) { levels_.setBase(db); }
    // A meter whose receiver broke: a running stream goes on at the frame
    // spacing as if every frame had been answered with "X".
    void setFreeRunning(bool on);

    [[nodiscard]] const MeterDisplay& display() const { return display_; }
    [[nodiscard]] const MeterLogger& logger() const { return logger_; }
    [[nodiscard]] const MeterSetup& setup() const { return setup_; }
    [[nodiscard]] bool recording() const { return display_.recording(); }

private:
    void handleFrame(const QByteArray& frame, SteadyTime now);
    void handleLoggerFrame(const QByteArray& frame, SteadyTime now);
    // True when the frame was a setup command.
    bool handleSetupFrame(const QByteArray& frame, SteadyTime now);
    void stopStream();
    void boot(SteadyTime now);
    void setRecording(bool on, SteadyTime now);
    void pollRecording(SteadyTime now);
    void startStream(SteadyTime now);
    void sendLiveFrame(SteadyTime now);

    ProtocolSettings settings_;
    ClockSource clock_;
    CommandFrameParser parser_;
    MeterDisplay display_;
    MeterLogger logger_;
    MeterSetup setup_;
    LoggerRecorder recorder_;
    LevelGenerator levels_;
    int lastLevelTenths_;
    QList<OutgoingMessage> output_;

    bool poweredOn_ = true;
    bool streaming_ = false;
    bool frameOutstanding_ = false;
    bool freeRunning_ = false;
    SteadyTime lastFrameAt_{};
    std::optional<SteadyTime> nextFrameAt_;
    // A meter that starts with REC on opens its data set at the first poll.
    bool recordingAtStart_ = false;
    std::optional<SteadyTime> silentUntil_;
};

} // namespace vmeter
