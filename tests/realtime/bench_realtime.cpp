// Figures of real-time recording, not a test (run by hand, under xvfb-run
// or with QT_QPA_PLATFORM=offscreen):
//   bench_realtime append [POINTS]   time of appendSample with its redraw as
//                                    the graph fills up to POINTS (99999),
//                                    and the resident memory once full
//   bench_realtime backlog [SECONDS [SPACING_MS]]
//                                    the main window recording at 0.1 s on
//                                    the virtual meter without pacing (its
//                                    frames SPACING_MS after each "X", 100 by
//                                    default): the receive buffer and the
//                                    unread bytes of the port, every second

#include "RealTimeRig.h"
#include "app/TfrmMain.h"
#include "graph/PESGraph.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QSignalSpy>
#include <QTest>

#include <algorithm>
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
    if (mode == QLatin1String("append"))
        return append(value > 0 ? value : 99999);
    if (mode == QLatin1String("backlog"))
        return backlog(value > 0 ? value : 300,
                       argc > 3 ? QString::fromLocal8Bit(argv[3]).toInt() : 100);
    std::fprintf(stderr,
                 "usage: bench_realtime append [POINTS] | backlog [SECONDS [SPACING_MS]]\n");
    return 2;
}
