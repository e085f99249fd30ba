// Start-up of the program as a user starts it: the built audimark launched
// as a process of its own, with a virtual meter served from this process on
// a pseudo-terminal and listed to the program with --port, fresh settings
// and a fresh data directory for every launch. Times are taken from the
// launch, as the meter sees the program:
//   "K"  the port search reaches the meter's port (after the main window is
//        shown, and after a 300 ms wait before each port listed up to it);
//   "a"  the meter is connected and the live stream starts;
//   "X"  the first live frame is answered: start-up has finished and the
//        program runs its event loop again.
// Beside each launch, in turn, a plain Qt Widgets program launched the same
// way (bench_startup_plain) that shows a maximised main window and quits
// once it has been painted. After the last launch, the CPU time the program
// uses while the live stream runs.
//
// Run under a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen (the
// default when neither is set). AUDIMARK_BENCH_LAUNCHES (default 5) sets the
// launches of each program, AUDIMARK_BENCH_IDLE_SECONDS (default 20) the
// idle measurement (0 leaves it out).

#include "common/BenchPairs.h"
#include "serial/TComPort.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QThread>

#include <chrono>
#include <cstdio>
#include <optional>
#include <unistd.h>

namespace {
using Clock = std::chrono::steady_clock;
constexpr int LaunchTimeoutMs = 30000;
// The fixed waits of the port search: before each port's opening, and for
// the reply after "K" on each port that opens.
constexpr int WaitBeforeOpenMs = 300;
constexpr int WaitForReplyMs = 500;
// From the reply on the meter's port to "a": the reply wait, then the
// reopening of the live port (500 ms before, 100 ms after).
constexpr int WaitsFromSearchToLiveMs = WaitForReplyMs + 500 + 100;

int environmentOr(const char* name, int fallback)
{
    bool ok = false;
    const int value = qEnvironmentVariableIntValue(name, &ok);
    return ok && value >= 0 ? value : fallback;
}

double msBetween(Clock::time_point from, Clock::time_point to)
{
    return std::chrono::duration<double, std::milli>(to - from).count();
}

// utime + stime in clock ticks of a /proc stat file.
long long cpuTicks(const QString& statPath)
{
    QFile f(statPath);
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray line = f.readAll();
    const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
    // Fields after the command: state is index 0, utime 11, stime 12.
    return fields.value(11).toLongLong() + fields.value(12).toLongLong();
}

QProcessEnvironment childEnvironment(const QString& configHome)
{
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    if (!env.contains(QStringLiteral("QT_QPA_PLATFORM")) &&
        !env.contains(QStringLiteral("DISPLAY")))
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    // The settings store of a fresh installation.
    env.insert(QStringLiteral("XDG_CONFIG_HOME"), configHome);
    env.remove(QStringLiteral("AUDIMARK_PORTS"));
    return env;
}

struct ProgramLaunch
{
    double searchReachedMeterMs = -1; // "K"
    double connectedMs = -1;          // "a"
    double firstAnswerMs = -1;        // first "X" after "a"
};

// Launches audimark on a fresh virtual meter and returns when the program
// has answered its first live frame; the process keeps running in `process`.
std::optional<ProgramLaunch> launchProgram(const QString& program, QProcess& process,
                                           std::unique_ptr<vmeter::VirtualMeter>& meter,
                                           QTemporaryDir& home)
{
    const Clock::time_point meterEpoch = Clock::now();
    meter = std::make_unique<vmeter::VirtualMeter>(vmeter::VirtualMeterOptions{});
    if (!meter->start()) {
        std::fprintf(stderr, "virtual meter: %s\n", qPrintable(meter->errorString()));
        return std::nullopt;
    }
    process.setProcessEnvironment(childEnvironment(home.filePath(QStringLiteral("config"))));
    process.setProgram(program);
    process.setArguments({QStringLiteral("--port"), meter->slavePath(),
                          QStringLiteral("--data-dir"), home.filePath(QStringLiteral("data"))});
    process.setProcessChannelMode(QProcess::MergedChannels);
    const Clock::time_point launched = Clock::now();
    process.start();

    ProgramLaunch result;
    const auto at = [&](const vmeter::TrafficRecord& r) {
        return msBetween(launched, meterEpoch + std::chrono::duration_cast<Clock::duration>(
                                                    std::chrono::duration<double>(r.seconds)));
    };
    QElapsedTimer waited;
    waited.start();
    while (result.firstAnswerMs < 0 && waited.elapsed() < LaunchTimeoutMs &&
           process.state() != QProcess::NotRunning) {
        QThread::msleep(1);
        QCoreApplication::processEvents();
        for (const vmeter::TrafficRecord& r : meter->receivedFrames()) {
            if (r.kind != vmeter::ParsedBytes::Kind::Frame || r.bytes.size() < 2)
                continue;
            const char letter = r.bytes.at(1);
            if (letter == 'K' && result.searchReachedMeterMs < 0)
                result.searchReachedMeterMs = at(r);
            else if (letter == 'a' && result.connectedMs < 0)
                result.connectedMs = at(r);
            else if (letter == 'X' && result.connectedMs >= 0 && result.firstAnswerMs < 0)
                result.firstAnswerMs = at(r);
        }
    }
    if (result.firstAnswerMs < 0) {
        std::fprintf(stderr, "the program did not answer a live frame within %d ms:\n%s\n",
                     LaunchTimeoutMs, process.readAll().constData());
        return std::nullopt;
    }
    // Without the identification request on the wire the launch did not go
    // through the search this benchmark subtracts: its figures would not hold.
    if (result.searchReachedMeterMs < 0 || result.connectedMs < 0) {
        std::fprintf(stderr,
                     "the meter never saw the program's %s; this launch does not measure the "
                     "start-up:\n%s\n",
                     result.searchReachedMeterMs < 0 ? "identification request (\"K\")"
                                                      : "live stream request (\"a\")",
                     process.readAll().constData());
        return std::nullopt;
    }
    return result;
}

void endProgram(QProcess& process, std::unique_ptr<vmeter::VirtualMeter>& meter)
{
    process.terminate();
    if (!process.waitForFinished(5000)) {
        process.kill();
        process.waitForFinished(5000);
    }
    meter->stop();
    meter.reset();
}

// Launches the plain program and returns the time until it reported its
// window painted.
std::optional<double> launchPlain(const QString& program, QTemporaryDir& home)
{
    QProcess process;
    process.setProcessEnvironment(childEnvironment(home.filePath(QStringLiteral("config"))));
    process.setProgram(program);
    const Clock::time_point launched = Clock::now();
    process.start();
    QByteArray output;
    while (!output.contains("shown") && process.waitForReadyRead(LaunchTimeoutMs))
        output += process.readAllStandardOutput();
    if (!output.contains("shown")) {
        std::fprintf(stderr, "the plain program did not show its window:\n%s\n",
                     process.readAllStandardError().constData());
        return std::nullopt;
    }
    const double shownMs = msBetween(launched, Clock::now());
    process.waitForFinished(5000);
    return shownMs;
}

// The fixed waits of the search up to the "K" on the meter's port, found
// by opening each port listed before it as the search does. Runs while no
// program holds the ports.
int searchWaitsUpTo(const QString& meterPort, const QStringList& ports)
{
    int waits = 0;
    for (const QString& port : ports) {
        waits += WaitBeforeOpenMs;
        if (port == meterPort)
            break;
        TComPort probe;
        probe.setDeviceName(port);
        try {
            probe.setActive(true);
        } catch (...) {
        }
        const bool opens = probe.Active();
        try {
            probe.setActive(false);
        } catch (...) {
        }
        std::printf("  %s %s\n", qPrintable(port),
                    opens ? "opens: 300 ms before it, 500 ms for its reply"
                          : "does not open: 300 ms before it");
        if (opens)
            waits += WaitForReplyMs;
    }
    return waits;
}

void printIdle(QProcess& process, int seconds)
{
    const qint64 pid = process.processId();
    const QString self = QStringLiteral("/proc/%1/stat").arg(pid);
    const QString mainThread = QStringLiteral("/proc/%1/task/%1/stat").arg(pid);
    const long long process0 = cpuTicks(self);
    const long long main0 = cpuTicks(mainThread);
    QElapsedTimer idle;
    idle.start();
    while (idle.elapsed() < seconds * 1000LL) {
        QThread::msleep(50);
        QCoreApplication::processEvents();
    }
    const double ticks = double(sysconf(_SC_CLK_TCK)) * seconds;
    std::printf("idle over %d s with the live stream running: the program's process %.2f %% of "
                "one core, its main thread %.2f %% (the virtual meter runs in the benchmark)\n",
                seconds, 100.0 * double(cpuTicks(self) - process0) / ticks,
                100.0 * double(cpuTicks(mainThread) - main0) / ticks);
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QString program = QStringLiteral(AUDIMARK_PROGRAM);
    const QString plainProgram = QStringLiteral(AUDIMARK_PLAIN_PROGRAM);
    const int launches = std::max(1, environmentOr("AUDIMARK_BENCH_LAUNCHES", 5));
    const int idleSeconds = environmentOr("AUDIMARK_BENCH_IDLE_SECONDS", 20);

    // The ports the program will list: the system's, then the meter's.
    int searchWaits = 0;
    {
        vmeter::VirtualMeter probeMeter{vmeter::VirtualMeterOptions{}};
        if (!probeMeter.open())
            return 1;
        QStringList ports;
        TComPort::setExtraPorts({probeMeter.slavePath()});
        TComPort::EnumComPorts(ports);
        std::printf("ports listed: %s\n", qPrintable(ports.join(QStringLiteral(", "))));
        searchWaits = searchWaitsUpTo(probeMeter.slavePath(), ports);
    }
    const int fixedWaits = searchWaits + WaitsFromSearchToLiveMs;

    std::vector<double> search, connected, answered, plain, ratios, ownWork, ownRatios;
    for (int i = 0; i < launches; ++i) {
        QTemporaryDir home;
        QProcess process;
        std::unique_ptr<vmeter::VirtualMeter> meter;
        const std::optional<ProgramLaunch> launch = launchProgram(program, process, meter, home);
        if (!launch)
            return 1;
        const bool last = i == launches - 1;
        if (last && idleSeconds > 0)
            printIdle(process, idleSeconds);
        endProgram(process, meter);

        const std::optional<double> plainShown = launchPlain(plainProgram, home);
        if (!plainShown)
            return 1;
        search.push_back(launch->searchReachedMeterMs);
        connected.push_back(launch->connectedMs);
        answered.push_back(launch->firstAnswerMs);
        plain.push_back(*plainShown);
        ratios.push_back(launch->firstAnswerMs / *plainShown);
        if (launch->firstAnswerMs < fixedWaits) {
            std::fprintf(stderr,
                         "launch %d answered after %.0f ms, less than its %d ms of fixed "
                         "protocol waits: the waits counted are not the ones it made\n",
                         i + 1, launch->firstAnswerMs, fixedWaits);
            return 1;
        }
        ownWork.push_back(launch->firstAnswerMs - fixedWaits);
        ownRatios.push_back(ownWork.back() / *plainShown);
        std::printf("launch %d: search at the meter's port after %.0f ms, connected after %.0f ms, "
                    "first live frame answered after %.0f ms; plain Qt window painted after "
                    "%.0f ms\n",
                    i + 1, launch->searchReachedMeterMs, launch->connectedMs, launch->firstAnswerMs,
                    *plainShown);
    }
    using BenchPairs::median;
    std::printf("medians of %d launches each, from the launch of the process:\n", launches);
    std::printf("  audimark: search at the meter's port (\"K\") %.0f ms, connected (\"a\") %.0f "
                "ms, start-up finished (first \"X\") %.0f ms\n",
                median(search), median(connected), median(answered));
    std::printf("  plain Qt Widgets program, maximised main window painted: %.0f ms\n",
                median(plain));
    std::printf("  start-up finished / plain window painted: ratio %.2f (median of the pairs)\n",
                median(ratios));
    std::printf("  start-up less its %d ms of fixed protocol waits (the search up to the "
                "meter's port %d ms, its reply and the live port's reopening %d ms): %.0f ms, "
                "ratio %.2f to the plain window\n",
                fixedWaits, searchWaits, WaitsFromSearchToLiveMs, median(ownWork),
                median(ownRatios));
    return 0;
}
