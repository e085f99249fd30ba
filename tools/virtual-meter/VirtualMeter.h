#pragma once

// A complete virtual sound level meter on a pseudo-terminal: the program
// under test opens slavePath() as its serial device and talks to it as to
// the real meter. Runs either on its own thread (start()/stop(), for tests)
// or on the caller's thread (open() then run(), for the executable).
//
// Contract:
// - open() or start() must succeed before slavePath() means anything.
// - switchOff(), switchOn(), setLevel() and the log readers may be called
//   from any thread at any time; their effect is seen by the next frames.
// - requestStopFromSignal() only touches an atomic flag and a descriptor and
//   may be called from a signal handler.
// - The received command frames are logged whether the meter is on or off:
//   the log describes the line, not the meter's reaction.
// - With a link path the meter keeps a symbolic link there to its current
//   pseudo-terminal, the stable name a USB adapter has under /dev/serial.
//   unplug() takes the device away (the program's port sees a hang-up and the
//   link is gone) and brings a new pseudo-terminal back under the same link
//   after the given time, like an adapter pulled out and plugged in again.
//   The meter itself stays switched on meanwhile.

#include "tools/virtual-meter/FaultInjector.h"
#include "tools/virtual-meter/MeterProtocol.h"
#include "tools/virtual-meter/PacedWriter.h"
#include "tools/virtual-meter/PseudoTerminal.h"
#include "tools/virtual-meter/TrafficLog.h"

#include <QList>
#include <QString>

#include <atomic>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

namespace vmeter {

inline constexpr double fastRecordingTimeScale = 100.0;

struct VirtualMeterOptions
{
    ProtocolSettings protocol;
    FaultSettings faults;
    // Send without the 9600-baud pacing; a recording then also runs
    // fastRecordingTimeScale times faster unless recordingTimeScale says otherwise.
    bool fast = false;
    std::optional<double> recordingTimeScale;
    // Traffic log file; none when empty.
    QString logPath;
    // Symbolic link to the pseudo-terminal; none when empty.
    QString linkPath;
    // A meter on a slow, loaded machine: received bytes are handled only this
    // long after they were read (the serving thread sleeps meanwhile).
    std::chrono::milliseconds answerLatency{0};
};

class VirtualMeter
{
public:
    explicit VirtualMeter(const VirtualMeterOptions& options);
    ~VirtualMeter();
    VirtualMeter(const VirtualMeter&) = delete;
    VirtualMeter& operator=(const VirtualMeter&) = delete;

    [[nodiscard]] bool open();
    // open() if not yet done, then serve on a thread of its own.
    [[nodiscard]] bool start();
    // Ends run() and joins the thread started by start().
    void stop();
    // Serves until stop(), a signal stop or a "quit" line on the command input.
    void run();

    // Reads command lines from fd (the executable's standard input) while
    // running; the end of the input ends run() as "quit" does. Call before run().
    void setCommandInput(int fd) { commandFd_ = fd; }
    void requestStopFromSignal() noexcept;

    // The current pseudo-terminal (a new one after each unplug); empty
    // while unplugged.
    [[nodiscard]] QString slavePath() const;
    // The stable name: the link path when there is one, else slavePath().
    [[nodiscard]] QString devicePath() const;
    [[nodiscard]] QString errorString() const { return error_; }

    void switchOff();
    void switchOn();
    void setLevel(double db);
    [[nodiscard]] bool isPoweredOn() const;
    // false: the meter stops reading the line, so what the program writes
    // piles up in the pseudo-terminal, and its stream goes on at the frame
    // spacing without waiting for "X" (a meter whose receiver broke).
    void setHearing(bool hearing);
    // Pulls the device out now and plugs a new one in after `away`.
    void unplug(std::chrono::milliseconds away);
    [[nodiscard]] bool isPluggedIn() const;

    // The logger memory as it stands now (memory writes, erase and a
    // recording change it).
    [[nodiscard]] QByteArray loggerMemory() const;
    // The meter clock (set by the clock frame) and the REC state.
    [[nodiscard]] QDateTime meterTime() const;
    [[nodiscard]] bool isRecording() const;

    // True when the meter has taken every byte the program wrote and has put
    // every answer due so far on the line (scheduled later frames aside);
    // always true while unplugged or not reading. Any thread.
    [[nodiscard]] bool settled() const;
    // Bytes read from the line so far (frames and stray bytes). Any thread.
    [[nodiscard]] qint64 bytesReceived() const { return bytesReceived_.load(); }
    // Bytes put on the line so far. Any thread.
    [[nodiscard]] qint64 bytesSent() const;

    // Received command frames with their time stamps, in arrival order.
    [[nodiscard]] QList<TrafficRecord> receivedFrames() const;
    // Everything received: frames and stray bytes.
    [[nodiscard]] QList<TrafficRecord> traffic() const;

private:
    void wake() noexcept;
    void serveOnce();
    void readMaster(SteadyTime now);
    void readCommandInput();
    void applyCommandLine(const QByteArray& line);
    void logParsed(const QList<ParsedBytes>& items, SteadyTime at);
    void pullOut(SteadyTime now, std::chrono::milliseconds away);
    void plugIn(SteadyTime now);
    [[nodiscard]] bool pointLink();

    VirtualMeterOptions options_;
    SteadyTime startedAt_;
    PseudoTerminal terminal_;
    TrafficLog log_;
    mutable std::mutex mutex_;
    MeterProtocol protocol_;
    FaultInjector faults_;
    std::unique_ptr<PacedWriter> writer_;
    bool discardOutput_ = false;
    // Set by unplug(), taken by the serving thread.
    std::optional<std::chrono::milliseconds> unplugRequest_;
    // While unplugged: when the device comes back.
    std::optional<SteadyTime> plugInAt_;

    int wakeFd_ = -1;
    int commandFd_ = -1;
    QByteArray commandLine_;
    bool masterHungUp_ = false;
    std::atomic<bool> stopRequested_{false};
    std::atomic<bool> hearing_{true};
    // Between reading the master and handing the bytes to the protocol.
    std::atomic<bool> handling_{false};
    std::atomic<qint64> bytesReceived_{0};
    std::thread thread_;
    QString error_;
};

} // namespace vmeter
