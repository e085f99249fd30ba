// Pictures of the "Acoustic" box, taken of the whole screen with the main
// window maximised: the DataLogger graph on a generated 2000-point set and
// the real-time graph after a recording, each with the box shown and hidden
// through View > "Acoustic Statistics". Run under xvfb-run with a window
// manager (openbox) at 1280 x 1024:
//   acoustic_screenshots OUTPUT_DIR

#include "app/TfrmMain.h"
#include "common/SettableMeterClock.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeCommands.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QScreen>
#include <QSettings>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>

#include <cmath>
#include <cstdio>

namespace {
void settle()
{
    for (int i = 0; i < 10; ++i) {
        QApplication::processEvents();
        QTest::qWait(30);
    }
}

bool saveScreen(const QString& path)
{
    settle();
    const bool ok = QGuiApplication::primaryScreen()->grabWindow(0).save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char** argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationDisplayName(QStringLiteral("QV58M"));
    if (argc < 2) {
        std::fprintf(stderr, "usage: acoustic_screenshots OUTPUT_DIR\n");
        return 2;
    }
    const QString out = QString::fromLocal8Bit(argv[1]);
    QDir().mkpath(out);
    QTemporaryDir data;
    // The choices made here stay out of the user's settings.
    QSettings::setDefaultFormat(QSettings::IniFormat);
    QSettings::setPath(QSettings::IniFormat, QSettings::UserScope, data.path());

    // The recording below runs on this clock, so that its samples lie in
    // the past when it ends, as a real one's do.
    SettableMeterClock clock(QDateTime::currentDateTime());
    TfrmMain::Environment environment;
    environment.clock = &clock;
    environment.listPorts = [] { return QStringList(); };
    environment.dataDirectory = data.path();
    TfrmMain w(environment);
    QSignalSpy started(&w, &TfrmMain::startUpFinished);
    w.showMaximized();
    if (!started.wait(20000))
        return 1;
    settle();

    GraphWindowState& state = w.graphState();
    auto* acousticItem = w.findChild<QAction*>(QStringLiteral("AcousticStatistics1"));
    QList<bool> ok;

    w.openSampleGraph(2000);
    TfrmGraph* logger = state.LoggerGraph;
    logger->parentWidget()->setGeometry(0, 0, w.mdiArea()->width(), w.mdiArea()->height());
    ok << saveScreen(out + QStringLiteral("/acoustic-datalogger-shown.png"));
    acousticItem->trigger();
    ok << saveScreen(out + QStringLiteral("/acoustic-datalogger-hidden.png"));
    acousticItem->trigger();

    // A recording of 600 samples at 0.5 s whose weighting changed on the way.
    TfrmGraph* realTime = state.RealTimeGraph;
    w.mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(realTime->parentWidget()));
    RealTimeGraphController& controller = w.realTime().graphController();
    controller.resetForRecording(600);
    const double start = GraphTexts::fromDateTime(clock.currentDateTime());
    for (int i = 0; i < 600; ++i) {
        clock.advance(500);
        const float level = float(std::round(10.0 * (65.0 + 12.0 * std::sin(i / 23.0) +
                                                      (i % 17 == 0 ? 18.0 : 0.0))) /
                                  10.0);
        const AcousticWeighting weighting = i < 400 ? AcousticWeighting::A : AcousticWeighting::Mixed;
        (void)controller.appendSample(start + (i + 1) * 0.5 / 86400.0, level, weighting);
    }
    state.RealTimeRunning = false;
    controller.finishRealTimeGraph();
    ok << saveScreen(out + QStringLiteral("/acoustic-realtime-shown.png"));
    acousticItem->trigger();
    ok << saveScreen(out + QStringLiteral("/acoustic-realtime-hidden.png"));
    acousticItem->trigger();

    state.RealTimeDataUnsaved = false;
    state.LoggerDataUnsaved = false;
    w.close();
    return ok.contains(false) ? 1 : 0;
}
