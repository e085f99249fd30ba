// Pictures of the logger setup: the "Data Logger Setup" window after Read
// against a virtual model 842 with three data sets, inside the main window
// and alone, and the "Data Logger" menu with the logger tools shown. Run
// under xvfb-run (with a window manager) or offscreen:
//   setup_screenshots OUTPUT_DIR [SECONDS]
// With SECONDS the program stays on the screen that long afterwards, for a
// screen grab from outside.

#include "app/LoggerDialogs.h"
#include "app/SetupCommands.h"
#include "app/TfrmMain.h"
#include "app/TfrmSetup.h"
#include "logger/AcceleratedMeterClock.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <cstdio>

namespace {
bool save(const QPixmap& picture, const QString& path)
{
    const bool ok = picture.save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    const QStringList args = QApplication::arguments();
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: setup_screenshots OUTPUT_DIR [SECONDS]\n");
        return 2;
    }
    const QString out = args.at(1);
    QDir().mkpath(out);
    const int linger = args.size() > 2 ? args.at(2).toInt() : 0;

    AcceleratedMeterClock clock(10);
    vmeter::VirtualMeterOptions options;
    options.fast = true;
    options.protocol.logger.generatedSets = 3;
    options.protocol.logger.seed = 4;
    vmeter::VirtualMeter meter(options);
    if (!meter.start())
        return 1;
    QTemporaryDir dataDir;
    TfrmMain::Environment environment;
    environment.clock = &clock;
    environment.listPorts = [&meter] { return QStringList{meter.slavePath()}; };
    environment.dataDirectory = dataDir.path();
    environment.loggerTools = true;
    environment.loggerDialogs.exec = [](QMessageBox&) { return QMessageBox::Ok; };
    TfrmMain w(environment);
    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.resize(1280, 900);
    w.show();
    if (!finished.wait(20000))
        return 1;
    if (!QTest::qWaitFor([&] { return w.link().MeterConnected(); }, 5000))
        return 1;

    w.findChild<QAction*>(QStringLiteral("Setup1"))->trigger();
    TfrmSetup* setup = w.setupCommands().window();
    if (!setup)
        return 1;
    setup->parentWidget()->move(420, 10);
    QTest::qWait(200);
    setup->findChild<QPushButton*>(QStringLiteral("Button4"))->click();
    QTest::qWait(300);
    bool ok = save(setup->parentWidget()->grab(), out + "/setup-window.png");
    ok = save(w.grab(), out + "/setup-main-window.png") && ok;

    QMenu* menu = w.findChild<QMenu*>(QStringLiteral("DataLogger1"));
    QTimer::singleShot(300, menu, [&] {
        ok = save(menu->grab(), out + "/setup-menu.png") && ok;
        menu->close();
    });
    menu->exec(w.mapToGlobal(QPoint(200, 40)));
    if (linger > 0)
        QTest::qWait(linger * 1000);
    meter.stop();
    return ok ? 0 : 1;
}
