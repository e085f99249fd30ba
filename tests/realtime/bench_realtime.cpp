// Figures of real-time recording, not a test (run by hand, under xvfb-run
// or with QT_QPA_PLATFORM=offscreen):
//   bench_realtime append [POINTS]   time of appendSample with its redraw as
//                                    the graph fills up to POINTS (99999),
//                                    and the resident memory once full
//   bench_realtime pairs              one sample appended to a graph of
//                                    99,999 points with its share of the
//                                    coalesced redraw, beside the same sample
//                                    with a redraw and a full acoustic
//                                    recomputation of its own (ratio)
//   bench_realtime cpu [SECONDS]      share of a core at 10 samples a second
//                                    into a full graph, the event loop and
//                                    the paints running (10 s each by default):
//                                    idle, ours, with a redraw per sample, and
//                                    with the whole chart drawn per sample
//   (pairs and cpu: AUDIMARK_BENCH_LEVELS=steady for levels around 60 dB
//   instead of levels swinging from 40 to 100 dB)
//   bench_realtime backlog [SECONDS [SPACING_MS]]
//                                    the main window recording at 0.1 s on
//                                    the virtual meter without pacing (its
//                                    frames SPACING_MS after each "X", 100 by
//                                    default): the receive buffer and the
//                                    unread bytes of the port, every second

#include "RealTimeRig.h"
#include "app/TfrmMain.h"
#include "common/BenchPairs.h"
#include "graph/AcousticBox.h"
#include "graph/PESGraph.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <qcustomplot.h>

#include <sys/resource.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {
long residentKiB()
{
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly))
        return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmRSS:"))
            return line.mid(6).trimmed().split(' ').first().toLong();
    return -1;
}

int append(int points)
{
    std::printf("resident before: %ld KiB\n", residentKiB());
    RealTimeRig rig;
    rig.run(QString::number(points), QStringLiteral("1.0"));
    rig.window->resize(1100, 700);
    rig.window->show();
    QApplication::processEvents();

    // Redraw after every sample (1.0 s); timed in blocks as the graph fills.
    std::vector<int> marks;
    for (int mark : {1000, 10000, 50000, points - 200})
        if (mark > 100 && mark <= points - 200 && (marks.empty() || mark > marks.back()))
            marks.push_back(mark);
    QElapsedTimer clock;
    std::vector<double> blockMs;
    int n = 0;
    for (int mark : marks) {
        while (n < mark - 100) {
            rig.feed(40.0f + float(n % 600) / 10.0f, 1000);
            ++n;
        }
        clock.start();
        // The event loop runs between frames: the chart's repaint is counted.
        for (int i = 0; i < 100; ++i, ++n) {
            rig.feed(40.0f + float(n % 600) / 10.0f, 1000);
            QApplication::processEvents();
        }
        const double perSample = double(clock.nsecsElapsed()) / 1e6 / 100.0;
        std::printf("appendSample with redraw at %6d points: %.3f ms per sample\n", n, perSample);
        std::fflush(stdout);
    }
    while (rig.commands.recorder().isRunning()) {
        rig.feed(40.0f + float(n % 600) / 10.0f, 1000);
        ++n;
    }
    QApplication::processEvents();
    std::printf("samples recorded: %d, chart points: %d\n", int(rig.state.RealTimeSampleCount),
                rig.window->graph()->points());
    std::printf("resident when full: %ld KiB (%.1f MB)\n", residentKiB(),
                double(residentKiB()) / 1024.0);
    return 0;
}

constexpr int kFullGraph = 99999; // the most the setup dialog takes

// The levels recorded: swinging from 40 to 100 dB every 600 samples (each
// pixel column of a full chart then spans tens of dB: the most drawing), or
// a steady level wandering a few dB around 60 dB, as a room gives.
bool swinging = true;

float levelOf(int n)
{
    const int tenths = swinging ? 400 + n % 600
                                : 600 + int(std::lround(50.0 * std::sin(n / 300.0))) + n % 7;
    return float(tenths * 0.1); // as the meter's frames are read
}

// The window as it was before redraws were coalesced: each sample's redraw
// and the acoustic figures of all its levels, at once.
void redrawAtOnce(TfrmGraph& window)
{
    window.acousticBox()->showFigures(AcousticBox::Whole,
                                      AcousticStatistics::of(window.acousticLevels(),
                                                             window.acousticIntervalSeconds(),
                                                             window.acousticThreshold()));
    window.refreshGraph();
}

// A recording at 1.0 s on a shown real-time graph, filled up to `filled`.
void fillUp(RealTimeRig& rig, int filled, int& n)
{
    rig.run(QString::number(kFullGraph), QStringLiteral("1.0"));
    rig.window->resize(1100, 700);
    rig.window->show();
    QApplication::processEvents();
    while (n < filled)
        rig.feed(levelOf(n++), 1000);
    rig.window->refreshGraph();
    QApplication::processEvents();
}

int pairs()
{
    RealTimeRig rig;
    int n = 0;
    const int samples = 2 * (BenchPairs::pairCount() * 3 + 1);
    fillUp(rig, kFullGraph - samples - 1, n);
    const auto sample = [&] {
        rig.feed(levelOf(n++), 1000);
        QApplication::processEvents();
    };
    const BenchPairs::Figures f = BenchPairs::timeInTurn(sample, [&] {
        rig.feed(levelOf(n++), 1000);
        redrawAtOnce(*rig.window);
        QApplication::processEvents();
    });
    // The last coalesced redraw, had it not come yet, is ours to pay.
    QElapsedTimer last;
    last.start();
    rig.window->refreshGraph();
    QApplication::processEvents();
    std::printf("samples %d, chart points %d, the last redraw %.3f ms\n",
                int(rig.state.RealTimeSampleCount), rig.window->graph()->points(),
                double(last.nsecsElapsed()) / 1e6);
    BenchPairs::report("appendSample at 99,999 points, redraw coalesced",
                       "appendSample with its own redraw and acoustic recomputation", f);
    return 0;
}

double cpuSeconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return double(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
           double(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec) / 1e6;
}

// Samples every 100 ms for `seconds`, the event loop running in between;
// the share of a core this took.
template <typename Sample> double shareAtTenPerSecond(int seconds, Sample sample)
{
    QTimer ticks;
    ticks.setInterval(100);
    ticks.setTimerType(Qt::PreciseTimer);
    QObject::connect(&ticks, &QTimer::timeout, sample);
    QElapsedTimer wall;
    const double cpuBefore = cpuSeconds();
    wall.start();
    ticks.start();
    QTest::qWait(seconds * 1000);
    ticks.stop();
    return 100.0 * (cpuSeconds() - cpuBefore) / (double(wall.nsecsElapsed()) / 1e9);
}

int cpu(int seconds)
{
    RealTimeRig rig;
    int n = 0;
    fillUp(rig, kFullGraph - 3 * 10 * seconds - 40, n);
    QTest::qWait(500);
    const double idle = shareAtTenPerSecond(seconds, [] {});
    const double ours = shareAtTenPerSecond(seconds, [&] { rig.feed(levelOf(n++), 1000); });
    const double atOnce = shareAtTenPerSecond(seconds, [&] {
        rig.feed(levelOf(n++), 1000);
        redrawAtOnce(*rig.window);
    });
    // As before a sample's line was added to what the chart showed: every
    // line, axis and annotation drawn again for each sample.
    auto* plot = rig.window->graph()->findChild<QCustomPlot*>();
    const double wholeChart = shareAtTenPerSecond(seconds, [&] {
        rig.feed(levelOf(n++), 1000);
        redrawAtOnce(*rig.window);
        plot->replot(QCustomPlot::rpQueuedRefresh);
    });
    std::printf("chart points %d, samples %d\n", rig.window->graph()->points(),
                int(rig.state.RealTimeSampleCount));
    std::printf("10 samples/s into a full graph, %d s each: idle %.2f %%, coalesced %.2f %% of a "
                "core, with a redraw and recomputation per sample %.2f %%, with the whole chart "
                "drawn per sample %.2f %%\n",
                seconds, idle, ours, atOnce, wholeChart);
    return 0;
}

int backlog(int seconds, int spacingMs)
{
    vmeter::VirtualMeterOptions options;
    options.fast = true;
    options.protocol.frameSpacing = std::chrono::milliseconds(spacingMs);
    vmeter::VirtualMeter meter(options);
    if (!meter.start())
        return 1;
    TfrmMain::Environment environment;
    const QString port = meter.slavePath();
    environment.listPorts = [port] { return QStringList{port}; };
    TfrmMain w(environment);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.resize(1280, 800);
    w.show();
    if (!started.wait(20000) || !w.link().MeterConnected())
        return 1;
    w.graphState().dialogs.exec = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
            ->setText(QStringLiteral("99999"));
        static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.1"));
        return int(QDialog::Accepted);
    };
    w.findChild<QAction*>(QStringLiteral("Run1"))->trigger();

    QSignalSpy answered(&w.link(), &MeterLink::frameAnswered);
    int maxBuffer = 0;
    int maxUnread = 0;
    for (int s = 1; s <= seconds; ++s) {
        QTest::qWait(1000);
        const int buffer = int(w.link().ReceiveBuffer().size());
        const int unread = w.link().Comm1().InputCount();
        maxBuffer = std::max(maxBuffer, buffer);
        maxUnread = std::max(maxUnread, unread);
        if (s % 30 == 0 || s == seconds)
            std::printf("%4d s: frames %6d, samples %6d, receive buffer %d B (max %d), "
                        "unread %d B (max %d)\n",
                        s, int(answered.size()), int(w.graphState().RealTimeSampleCount), buffer,
                        maxBuffer, unread, maxUnread);
        std::fflush(stdout);
    }
    meter.stop();
    return 0;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    const QString mode = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral("append");
    const int value = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 0;
    swinging = qEnvironmentVariable("AUDIMARK_BENCH_LEVELS") != QLatin1String("steady");
    if (mode == QLatin1String("append"))
        return append(value > 0 ? value : 99999);
    if (mode == QLatin1String("pairs"))
        return pairs();
    if (mode == QLatin1String("cpu"))
        return cpu(value > 0 ? value : 10);
    if (mode == QLatin1String("backlog"))
        return backlog(value > 0 ? value : 300,
                       argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 100);
    std::fprintf(stderr,
                 "usage: bench_realtime append [POINTS] | pairs | cpu [SECONDS] | backlog [SECONDS "
                 "[SPACING_MS]]\n");
    return 2;
}
