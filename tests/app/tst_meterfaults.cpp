// The program on the virtual meter when the meter goes away: its device
// pulled out (the port hangs up and the name is gone until it comes back) or
// the meter switched off (the port stays, nothing answers), during the live
// stream, a real-time recording and a logger download. Real clock, real
// receive path, the main window as the user has it.

#include <QApplication>

#include "common/TestMain.h"

#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/LoggerBoxScript.h"
#include "logger/LoggerTexts.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/LoggerImageBuilder.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

#include <algorithm>
#include <chrono>
#include <memory>
#include <optional>
#include <thread>

using namespace std::chrono_literals;

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 10000;
constexpr auto AwayTime = 5s;

// Three data sets of 300 samples: a transfer of about 33 blocks.
QByteArray loggerMemory()
{
    vmeter::LoggerImageBuilder builder;
    for (int set = 0; set < 3; ++set) {
        vmeter::LoggerRecordContent record;
        record.start = QDateTime(QDate(2010, 4, 14), QTime(9 + set, 0, 0));
        for (int i = 0; i < 300; ++i)
            record.samplesTenths << 500 + (i * 7 + set * 50) % 400;
        builder.append(record);
    }
    return builder.image();
}

QAction* action(const QWidget& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}

// The main window on a virtual meter reached through a stable link name.
struct FaultRig
{
    QTemporaryDir dir;
    std::unique_ptr<vmeter::VirtualMeter> meter;
    FileScript files;
    LoggerBoxScript boxes;
    std::unique_ptr<TfrmMain> w;
    bool unplug = true; // else: switched off

    vmeter::VirtualMeterOptions options;

    FaultRig()
    {
        options.fast = true;
        options.linkPath = dir.filePath(QStringLiteral("meter"));
        options.protocol.logger.memory = loggerMemory();
    }
    ~FaultRig()
    {
        if (w)
            w->graphState().dialogs.ask = [](QWidget*, const QString&,
                                             QMessageBox::StandardButtons) {
                return QMessageBox::No;
            };
    }

    [[nodiscard]] bool start()
    {
        meter = std::make_unique<vmeter::VirtualMeter>(options);
        if (!meter->start())
            return false;
        TfrmMain::Environment environment;
        const QString port = meter->devicePath();
        environment.listPorts = [port] { return QStringList{port}; };
        environment.dataDirectory = dir.path();
        environment.fileDialogs = files.runner();
        environment.loggerDialogs = boxes.dialogs();
        w = std::make_unique<TfrmMain>(environment);
        QSignalSpy finished(w.get(), &TfrmMain::startUpFinished);
        w->show();
        return finished.wait(StartUpTimeout) && w->link().MeterConnected();
    }

    // The meter goes away: pulled out for AwayTime, or switched off until back().
    void fault()
    {
        if (unplug)
            meter->unplug(AwayTime);
        else
            meter->switchOff();
    }
    void back()
    {
        if (!unplug)
            meter->switchOn();
    }

    [[nodiscard]] bool showsLinkLost() const
    {
        const auto* label = w->PanelWindow()->findChild<QLabel*>(QStringLiteral("lblNoConnection"));
        return w->statusText(1) == QLatin1String("No Connection") && label && !label->isHidden() &&
               !action(*w, "Run1")->isEnabled() && !action(*w, "LoadData1")->isEnabled();
    }
    [[nodiscard]] bool showsLinkBack() const
    {
        const auto* label = w->PanelWindow()->findChild<QLabel*>(QStringLiteral("lblNoConnection"));
        return w->link().MeterConnected() && w->statusText(1) == QLatin1String("On Connection") &&
               label && label->isHidden() && action(*w, "LoadData1")->isEnabled();
    }
};

void addFaultRows()
{
    QTest::addColumn<bool>("unplug");
    QTest::newRow("device pulled out and plugged in again") << true;
    QTest::newRow("meter switched off and on") << false;
}
} // namespace

class TestMeterFaults : public QObject
{
    Q_OBJECT

private slots:
    void liveStreamComesBack_data() { addFaultRows(); }

    // (a) The live stream: "No Connection" with its commands disabled, then
    // the link back by itself, frames answered again, nothing chosen anew.
    void liveStreamComesBack()
    {
        FaultRig rig;
        QFETCH(bool, unplug);
        rig.unplug = unplug;
        QVERIFY(rig.start());
        QSignalSpy lost(&rig.w->link(), &MeterLink::linkLost);

        rig.fault();
        QVERIFY(lost.wait(LinkTimeout));
        QVERIFY(rig.showsLinkLost());
        rig.back();
        QTRY_VERIFY_WITH_TIMEOUT(rig.showsLinkBack(), LinkTimeout);
        QVERIFY(action(*rig.w, "Run1")->isEnabled());
        QCOMPARE(rig.w->statusText(0), rig.meter->devicePath());
        QSignalSpy answered(&rig.w->link(), &MeterLink::frameAnswered);
        QVERIFY(answered.wait(3000));
    }

    void recordingKeepsItsSamples_data() { addFaultRows(); }

    // (b) A real-time recording: the samples taken before the loss stay in
    // the graph and can be saved while the meter is away; recording goes on
    // when it is back.
    void recordingKeepsItsSamples()
    {
        FaultRig rig;
        QFETCH(bool, unplug);
        rig.unplug = unplug;
        QVERIFY(rig.start());
        GraphWindowState& state = rig.w->graphState();
        state.dialogs.exec = [](QDialog& dialog) {
            dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
                ->setText(QStringLiteral("2000"));
            static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.1"));
            return int(QDialog::Accepted);
        };
        action(*rig.w, "Run1")->trigger();
        QVERIFY(state.RealTimeRunning);
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount >= 5, LinkTimeout);

        QSignalSpy lost(&rig.w->link(), &MeterLink::linkLost);
        rig.fault();
        QVERIFY(lost.wait(LinkTimeout));
        const int samples = state.RealTimeSampleCount;
        TfrmGraph* graph = state.RealTimeGraph;
        QList<float> levels;
        for (int i = 0; i < samples; ++i)
            levels << graph->graph()->yData(0, i);
        QVERIFY(std::all_of(levels.cbegin(), levels.cend(),
                            [](float v) { return v >= 20.0f && v <= 140.0f; }));
        QVERIFY(state.RealTimeRunning);

        // Saved while the meter is away.
        rig.w->mdiArea()->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(graph->parentWidget()));
        const QString path = rig.dir.filePath(QStringLiteral("before-the-loss.ghf"));
        rig.files.saveNames << path;
        action(*rig.w, "Save1")->trigger();
        QCOMPARE(rig.files.saveRequests.size(), 1);
        QCOMPARE(fileBytes(path), graphFileBytes(graph->graph()->saveWholeGraph()));
        QVERIFY(!state.RealTimeDataUnsaved);
        QCOMPARE(state.RealTimeSampleCount, samples);

        rig.back();
        QTRY_VERIFY_WITH_TIMEOUT(rig.showsLinkBack(), LinkTimeout);
        QVERIFY(action(*rig.w, "Stop1")->isEnabled());
        QTRY_VERIFY_WITH_TIMEOUT(state.RealTimeSampleCount > samples + 3, LinkTimeout);
        action(*rig.w, "Stop1")->trigger();
        QCOMPARE(graph->graph()->points(), state.RealTimeSampleCount);
        for (int i = 0; i < samples; ++i)
            QCOMPARE(graph->graph()->yData(0, i), levels.at(i));
    }

    void failedDownloadKeepsTheShownData_data() { addFaultRows(); }

    // (c) Load Data while the meter goes away half-way through the memory:
    // the read error is shown, the data sets loaded before stay in the list
    // and the graph, and the live link comes back when the meter does.
    void failedDownloadKeepsTheShownData()
    {
        FaultRig rig;
        QFETCH(bool, unplug);
        rig.unplug = unplug;
        QVERIFY(rig.start());
        QAction* loadData = action(*rig.w, "LoadData1");
        loadData->trigger();
        QVERIFY(rig.boxes.shown.isEmpty());
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        TfrmGraph* graph = rig.w->graphState().LoggerGraph;
        QVERIFY(graph);
        const auto* grid = graph->findChild<QTableWidget*>(QStringLiteral("Grid2"));
        QCOMPARE(grid->rowCount(), 3);
        const QByteArray shownBefore = graph->graph()->saveWholeGraph();
        rig.w->graphState().LoggerDataUnsaved = false;
        QTRY_VERIFY_WITH_TIMEOUT(rig.w->link().MeterConnected() && loadData->isEnabled(),
                                 LinkTimeout);

        // The fault strikes once the meter has had ten blocks accepted.
        qsizetype acceptedBefore = 0;
        for (const auto& frame : rig.meter->receivedFrames())
            acceptedBefore += frame.bytes.at(1) == 'y';
        std::thread striker([&rig, acceptedBefore] {
            for (int wait = 0; wait < 20000; ++wait) {
                qsizetype accepted = 0;
                for (const auto& frame : rig.meter->receivedFrames())
                    accepted += frame.bytes.at(1) == 'y';
                if (accepted >= acceptedBefore + 10) {
                    rig.fault();
                    return;
                }
                std::this_thread::sleep_for(1ms);
            }
        });
        // The busy cursor stays up until the command has ended.
        std::optional<Qt::CursorShape> cursorAtTheMessage;
        rig.boxes.whileOpen = [&cursorAtTheMessage](const ShownBox&) {
            if (const QCursor* cursor = QApplication::overrideCursor())
                cursorAtTheMessage = cursor->shape();
        };
        loadData->trigger();
        striker.join();

        QCOMPARE(rig.boxes.texts(), QStringList{LoggerTexts::ReadError});
        QCOMPARE(cursorAtTheMessage, std::optional<Qt::CursorShape>(Qt::WaitCursor));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(rig.w->graphState().LoggerGraph, graph);
        QCOMPARE(grid->rowCount(), 3);
        QCOMPARE(rig.w->dataSets().count(), 3);
        QCOMPARE(graph->graph()->saveWholeGraph(), shownBefore);
        QVERIFY(!rig.w->graphState().LoggerDataUnsaved);
        QVERIFY(!rig.w->link().Comm2().Active());
        QVERIFY(rig.w->link().MainTimer().isActive());

        rig.back();
        QTRY_VERIFY_WITH_TIMEOUT(rig.showsLinkBack(), LinkTimeout + 5000);
        QSignalSpy answered(&rig.w->link(), &MeterLink::frameAnswered);
        QVERIFY(answered.wait(3000));
    }

    // A meter that stops reading while its frames keep coming (its receiver
    // broke): every frame is still answered until the pseudo-terminal is
    // full, and from then on the program neither blocks nor falls behind:
    // the tick keeps its pace, Load Data ends with its message and gives the
    // live port back, and the held requests go out once the meter reads again.
    void peerThatStopsReading()
    {
        FaultRig rig;
        rig.options.protocol.frameSpacing = 1ms;
        QVERIFY(rig.start());
        MeterLink& link = rig.w->link();
        rig.meter->setHearing(false);
        QTRY_VERIFY_WITH_TIMEOUT(link.Comm1().HeldOutputCount() > 0, 60000);

        QSignalSpy ticks(&link.MainTimer(), &QTimer::timeout);
        QSignalSpy answered(&link, &MeterLink::frameAnswered);
        QTest::qWait(2500);
        QVERIFY(ticks.count() >= 2);
        QVERIFY(answered.count() > 10);
        QCOMPARE(rig.w->statusText(1), QStringLiteral("On Connection"));

        action(*rig.w, "LoadData1")->trigger();
        QCOMPARE(rig.boxes.texts(), QStringList{LoggerTexts::ReadError});
        QVERIFY(link.Comm1().Active());
        QVERIFY(!link.Comm2().Active());
        QVERIFY(link.MainTimer().isActive());

        rig.meter->setHearing(true);
        QTRY_VERIFY_WITH_TIMEOUT(link.MeterConnected() && link.Comm1().HeldOutputCount() == 0,
                                 LinkTimeout);
        answered.clear();
        QVERIFY(answered.wait(3000));
        rig.w->graphState().dialogs.ask =
            [](QWidget*, const QString&, QMessageBox::StandardButtons) { return QMessageBox::No; };
        QVERIFY(rig.w->close());
        QVERIFY(!link.Comm1().Active());
    }
};

AUDIMARK_TEST_MAIN_GUI(TestMeterFaults)
#include "tst_meterfaults.moc"
