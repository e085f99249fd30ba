// The picture of the program for the README: the main window at 1280 x 800
// with the control panel and the real-time graph recording the virtual meter
// (as `audimark --demo` runs it) at 0.2 s. Run under xvfb-run:
//   realtime_screenshot OUTPUT.png [SAMPLES]

#include "app/TfrmMain.h"
#include "graph/GraphWindowState.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QApplication>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cstdio>

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: realtime_screenshot OUTPUT.png [SAMPLES]\n");
        return 2;
    }
    const QString output = QString::fromLocal8Bit(argv[1]);
    const int samples = argc > 2 ? QString::fromLocal8Bit(argv[2]).toInt() : 150;

    vmeter::VirtualMeterOptions options;
    options.protocol.logger.generatedSets = 5;
    vmeter::VirtualMeter meter(options);
    if (!meter.start())
        return 1;
    QTemporaryDir data;
    TfrmMain::Environment environment;
    const QString port = meter.slavePath();
    environment.listPorts = [port] { return QStringList{port}; };
    environment.dataDirectory = data.path();
    TfrmMain w(environment);
    w.resize(1280, 800);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.show();
    if (!started.wait(20000) || !w.link().MeterConnected()) {
        std::fprintf(stderr, "the virtual meter was not found\n");
        return 1;
    }

    w.graphState().dialogs.exec = [](QDialog& dialog) {
        dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
            ->setText(QStringLiteral(" 2000"));
        static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.2"));
        return int(QDialog::Accepted);
    };
    w.findChild<QAction*>(QStringLiteral("Run1"))->trigger();
    // The level wanders so the graph has something to show.
    for (int i = 0; w.graphState().RealTimeSampleCount < samples; ++i) {
        meter.setLevel(62.0 + 14.0 * ((i / 25) % 2) + (i % 7));
        QTest::qWait(200);
    }
    QTest::qWait(300);
    const bool ok = w.grab().save(output);
    std::printf("%s %s (%d samples)\n", ok ? "saved" : "FAILED", qPrintable(output),
                int(w.graphState().RealTimeSampleCount));
    meter.stop();
    return ok ? 0 : 1;
}
