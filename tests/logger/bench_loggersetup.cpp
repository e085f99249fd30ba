// How long each logger setup command takes against the virtual meter at
// 9600 baud on the real clock, beside its floor: the sum of the waits the
// command must make (5 s port take-over, 100-ms steps, 2.5 s after the
// erase, 1.5 s before the memory test, ...) plus the time its bytes need on
// the line at 9600 baud. Run by hand (about a minute):
//   bench_loggersetup

#include "logger/LoggerRig.h"
#include "logger/LoggerSetup.h"
#include "logger/ScriptedSetupUi.h"
#include "logger/SetupFrames.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTest>

#include <cstdio>
#include <functional>
#include <memory>

namespace {
constexpr double byteMs = 10.0 / 9600.0 * 1000.0;

// Bytes both ways on the line after the command's "c" (frames out, replies in).
qint64 lineBytes(const vmeter::VirtualMeter& meter, qsizetype framesBefore, int replyBytes)
{
    return (meter.receivedFrames().size() - framesBefore) * SetupFrames::Size + replyBytes;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    vmeter::VirtualMeterOptions options;
    options.protocol.logger.generatedSets = 3;
    options.protocol.logger.seed = 8;

    const int connect = LoggerSetupPort::TakeOverSettleMs;
    const int step = LoggerSetupPort::StepDelayMs;
    const int enter = 2 * step;
    const int infoRead = step; // after "Q"
    const int erase = LoggerSetupPort::EraseSettleMs;
    const int testPause = LoggerSetup::MemoryTestPauseMs;
    // Replies: 8-byte echoes, 9-byte firmware and memory replies, the 65-byte block.
    const int echo = 8, nine = 9, block = 65;
    const int informationReplies = nine + 8 + echo + block;
    const int memoryTestReplies = 16 * nine;

    struct Timed
    {
        const char* name;
        int delaysMs;
        int replyBytes;
        std::function<bool(LoggerSetup&)> run;
    };
    const QList<Timed> cases = {
        {"clock (Button1)", connect + enter + 2 * step, 2 * echo,
         [](LoggerSetup& s) { return s.Button1Click(); }},
        {"interval (Button2)", connect + enter + step, echo,
         [](LoggerSetup& s) { return s.Button2Click("00", "02"); }},
        {"read (Button4)", connect + enter + infoRead + testPause,
         informationReplies + memoryTestReplies,
         [](LoggerSetup& s) { return s.Button4Click().information.controlPage.has_value(); }},
        {"erase (Button3)", connect + enter + infoRead + erase + infoRead, 2 * (echo + block),
         [](LoggerSetup& s) { return s.Button3Click(); }},
        {"execute all (Button5)",
         connect + enter + 2 * step + 2 * step + 2 * step + infoRead + erase + infoRead + 2 * step +
             infoRead + testPause + 2 * step + 300,
         2 * echo + echo + 2 * (echo + block) + informationReplies + memoryTestReplies,
         [](LoggerSetup& s) { return s.Button5Click("00", "02"); }},
        {"menu erase (EraseMemory1Click)", step + LoggerSetup::MenuEraseReopenMs + 2 * step, 0,
         [](LoggerSetup& s) { return s.EraseMemory1Click(); }},
    };

    // floor = waits + the line time of every byte out and in; it counts the
    // bytes of each direction one after the other, so it is a little high.
    std::printf("%-32s %9s %9s %9s %11s %11s %s\n", "command", "time ms", "waits ms", "floor ms",
                "time/waits", "time/floor", "ok");
    for (const Timed& c : cases) {
        LoggerRig rig(options, MeterClock::system());
        // LoggerRig makes its meter fast; this one answers at 9600 baud, as
        // the real meter does.
        rig.meter = std::make_unique<vmeter::VirtualMeter>(options);
        if (!rig.connect()) {
            std::fprintf(stderr, "no meter\n");
            return 1;
        }
        QTest::qWait(300);
        LoggerSetupPort port(rig.port);
        ScriptedSetupUi ui;
        ui.answers = {true, true};
        LoggerSetup setup(port, ui);
        const qsizetype before = rig.meter->receivedFrames().size();
        QElapsedTimer timer;
        timer.start();
        const bool ok = c.run(setup);
        const double ms = timer.nsecsElapsed() / 1e6;
        const double floor = c.delaysMs + lineBytes(*rig.meter, before, c.replyBytes) * byteMs;
        std::printf("%-32s %9.0f %9d %9.0f %11.3f %11.3f %s\n", c.name, ms, c.delaysMs, floor,
                    ms / c.delaysMs, ms / floor, ok ? "yes" : "NO");
        rig.meter->stop();
    }
    return 0;
}
