// Pictures of scheduled auto-loading for a person to look at, taken on the
// whole screen (run under xvfb-run with a window manager): the schedule
// dialog over the main window with "6" typed, then the main window with the
// status bar's third panel after Start. Against a virtual model 842.
//   autoload_screenshots OUTPUT_DIR

#include "app/AutoLoadCommands.h"
#include "app/TfrmMain.h"
#include "logger/AcceleratedMeterClock.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDir>
#include <QScreen>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {
bool saveScreen(const QString& path)
{
    const QPixmap picture = QGuiApplication::primaryScreen()->grabWindow(0);
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: autoload_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);

    vmeter::VirtualMeterOptions options;
    options.fast = true;
    options.protocol.logger.generatedSets = 3;
    vmeter::VirtualMeter meter(options);
    if (!meter.start())
        return 1;
    AcceleratedMeterClock clock(10);
    QTemporaryDir dataDir;
    TfrmMain::Environment environment;
    environment.clock = &clock;
    environment.listPorts = [&meter] { return QStringList{meter.slavePath()}; };
    environment.dataDirectory = dataDir.path();
    bool dialogTaken = false;
    environment.fileDialogs.exec = [&](QDialog& dialog) {
        if (auto* schedule = qobject_cast<TfrmAutoLoad*>(&dialog)) {
            QTimer::singleShot(800, &dialog, [&, schedule] {
                schedule->ComboBox1->setCurrentText(QStringLiteral("6"));
                QTest::qWait(200);
                dialogTaken = saveScreen(QDir(out).filePath("autoload-dialog.png"));
                schedule->accept();
            });
        }
        return dialog.exec();
    };
    TfrmMain w(environment);
    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.resize(1280, 800);
    w.show();
    if (!finished.wait(20000))
        return 1;
    QTest::qWait(1500);
    w.findChild<QAction*>(QStringLiteral("StartAutoLoading1"))->trigger();
    QTest::qWait(800);
    const bool mainTaken = saveScreen(QDir(out).filePath("autoload-status.png"));
    return dialogTaken && mainTaken ? 0 : 1;
}
