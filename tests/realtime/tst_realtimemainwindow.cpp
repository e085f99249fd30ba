#include <QApplication>

#include "common/TestMain.h"

#include "app/TfrmMain.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeCommands.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QLineEdit>
#include <QSignalSpy>

#include <memory>

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 8000;

QAction* action(const QWidget& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}
} // namespace

// The Real Time commands in the main window on the virtual meter, with the
// real clock and the real receive path.
class TestRealTimeMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void recordingSurvivesALostLink()
    {
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        vmeter::VirtualMeter meter(options);
        QVERIFY(meter.start());

        TfrmMain::Environment environment;
        const QString port = meter.slavePath();
        environment.listPorts = [port] { return QStringList{port}; };
        TfrmMain w(environment);
        QSignalSpy finished(&w, &TfrmMain::startUpFinished);
        w.show();
        QVERIFY(finished.wait(StartUpTimeout));

        GraphWindowState& state = w.graphState();
        QVERIFY(state.RealTimeGraph);
        QAction* run = action(w, "Run1");
        QAction* stop = action(w, "Stop1");
        QVERIFY(run->isEnabled());
        QVERIFY(!stop->isEnabled());

        state.dialogs.exec = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
                ->setText(QStringLiteral("2000"));
            static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.1"));
            return int(QDialog::Accepted);
        };
        run->trigger();
        QVERIFY(state.RealTimeRunning);
        QVERIFY(!run->isEnabled());
        QVERIFY(stop->isEnabled());
        QCOMPARE(w.findChild<QLineEdit*>(QStringLiteral("Edit1"))->text(), QStringLiteral("0"));
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount >= 5, LinkTimeout);

        // Switched off: the link is lost, nothing is sampled, both commands wait.
        QSignalSpy lost(&w.link(), &MeterLink::linkLost);
        meter.switchOff();
        QVERIFY(lost.wait(LinkTimeout));
        const int countAtLoss = state.RealTimeSampleCount;
        QVERIFY(!run->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(w.realTime().recorder().isRunning());

        // On again: the identification enables Stop before the first new frame is sampled.
        int countWhenStopCameBack = -1;
        connect(stop, &QAction::changed, this, [&] {
            if (stop->isEnabled() && countWhenStopCameBack < 0)
                countWhenStopCameBack = state.RealTimeSampleCount;
        });
        meter.switchOn();
        QTRY_VERIFY_WITH_TIMEOUT(stop->isEnabled(), LinkTimeout);
        QCOMPARE(countWhenStopCameBack, countAtLoss);
        QVERIFY(!run->isEnabled());
        QVERIFY(!action(*state.RealTimeGraph, "tbntClr")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount > countAtLoss + 3, LinkTimeout);

        stop->trigger();
        QVERIFY(!state.RealTimeRunning);
        QVERIFY(run->isEnabled());
        QVERIFY(!stop->isEnabled());
        QVERIFY(action(*state.RealTimeGraph, "tbntClr")->isEnabled());
        const int recorded = state.RealTimeSampleCount;
        QCOMPARE(state.RealTimeGraph->graph()->points(), recorded);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestRealTimeMainWindow)
#include "tst_realtimemainwindow.moc"
