// Start-up and idle figures of the main window on the in-process virtual
// meter: the time from program start to "On Connection" (with the serial
// ports the system lists searched first, as in a real start), and the CPU
// time the program uses while the live stream runs.
//
// Run under a display (xvfb-run) or with QT_QPA_PLATFORM=offscreen.

#include "app/TfrmMain.h"
#include "serial/TComPort.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTimer>

#include <cstdio>
#include <unistd.h>

namespace {
constexpr int IdleSeconds = 20;

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
} // namespace

int main(int argc, char** argv)
{
    QElapsedTimer sinceStart;
    sinceStart.start();
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("AudimarkBench"));

    vmeter::VirtualMeter meter{vmeter::VirtualMeterOptions{}};
    if (!meter.start()) {
        std::fprintf(stderr, "virtual meter: %s\n", qPrintable(meter.errorString()));
        return 1;
    }
    TComPort::setExtraPorts({meter.slavePath()});

    TfrmMain w;
    QObject::connect(&w.link(), &MeterLink::statusChanged,
                     [&](const QString&, const QString& status) {
                         if (status == QLatin1String("On Connection"))
                             std::printf("ports searched: %lld, On Connection after %lld ms\n",
                                         static_cast<long long>(w.link().portList().size()),
                                         sinceStart.elapsed());
                     });
    QObject::connect(&w, &TfrmMain::startUpFinished, [&] {
        std::printf("start-up finished after %lld ms\n", sinceStart.elapsed());
        const QString self = QStringLiteral("/proc/%1/stat").arg(getpid());
        const QString mainThread = QStringLiteral("/proc/%1/task/%1/stat").arg(getpid());
        const long long process0 = cpuTicks(self);
        const long long main0 = cpuTicks(mainThread);
        QTimer::singleShot(IdleSeconds * 1000, [=, &w] {
            const double ticks = double(sysconf(_SC_CLK_TCK)) * IdleSeconds;
            std::printf("idle over %d s: whole process %.2f %% of one core (virtual meter thread "
                        "included), "
                        "main thread %.2f %%\n",
                        IdleSeconds, 100.0 * double(cpuTicks(self) - process0) / ticks,
                        100.0 * double(cpuTicks(mainThread) - main0) / ticks);
            w.close();
        });
    });
    w.showMaximized();
    const int result = QApplication::exec();
    meter.stop();
    return result;
}
