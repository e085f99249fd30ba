// Run's question before it resets a real-time graph that holds samples, in
// the main window on the virtual meter: "Yes" saves the graph through the
// graph save, and the graph is reset only when its file was written.

#include <QApplication>

#include "common/TestMain.h"

#include "app/FileScript.h"
#include "app/TfrmMain.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "realtime/RealTimeCommands.h"
#include "realtime/TfrmSetupRealTime.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QSignalSpy>
#include <QTemporaryDir>

namespace {
constexpr int StartUpTimeout = 20000;
constexpr int LinkTimeout = 8000;
constexpr int Points = 5;
} // namespace

class TestRealTimeSave : public QObject
{
    Q_OBJECT

private slots:
    void runAsksBeforeResetting_data()
    {
        QTest::addColumn<QString>("name"); // typed into the save dialog; empty = cancel
        QTest::addColumn<bool>("reset");
        QTest::newRow("file dialog cancelled: samples kept") << QString() << false;
        QTest::newRow("a.dat: nothing written, samples kept") << "a.dat" << false;
        QTest::newRow("saved as graph file, then reset") << "run.ghf" << true;
    }

    void runAsksBeforeResetting()
    {
        QFETCH(QString, name);
        QFETCH(bool, reset);
        vmeter::VirtualMeterOptions options;
        options.fast = true;
        vmeter::VirtualMeter meter(options);
        QVERIFY(meter.start());
        QTemporaryDir data;
        QTemporaryDir saved;
        FileScript script;

        TfrmMain::Environment environment;
        const QString port = meter.slavePath();
        environment.listPorts = [port] { return QStringList{port}; };
        environment.dataDirectory = data.path();
        environment.fileDialogs = script.runner();
        TfrmMain w(environment);
        QSignalSpy finished(&w, &TfrmMain::startUpFinished);
        w.show();
        QVERIFY(finished.wait(StartUpTimeout));
        QAction* run = w.findChild<QAction*>(QStringLiteral("Run1"));
        QTRY_VERIFY_WITH_TIMEOUT(run->isEnabled(), LinkTimeout);

        GraphWindowState& state = w.graphState();
        int setups = 0;
        state.dialogs.exec = [&setups](QDialog& dialog) {
            ++setups;
            dialog.findChild<QLineEdit*>(QStringLiteral("edtRealTimeNo"))
                ->setText(QString::number(Points));
            static_cast<TfrmSetupRealTime&>(dialog).setRateText(QStringLiteral("0.1"));
            return int(QDialog::Accepted);
        };
        QStringList asked;
        state.dialogs.ask = [&asked](QWidget*, const QString& text, QMessageBox::StandardButtons) {
            asked << text;
            return QMessageBox::Yes;
        };
        run->trigger();
        // The graph fills up and recording stops by itself.
        QTRY_VERIFY_WITH_TIMEOUT(!state.RealTimeRunning, LinkTimeout);
        QCOMPARE(state.RealTimeSampleCount, Points);
        QVERIFY(state.RealTimeDataUnsaved);
        TfrmGraph* graph = state.RealTimeGraph;
        const QByteArray block = graph->graph()->saveWholeGraph();

        const QString path = name.isEmpty() ? QString() : saved.filePath(name);
        script.saveNames << path;
        run->trigger();
        QCOMPARE(asked, QStringList{RealTimeCommands::ResetQuestion});
        QCOMPARE(script.saveRequests.size(), 1);
        if (reset) {
            QCOMPARE(fileBytes(path), graphFileBytes(block));
            QCOMPARE(setups, 2);
            QVERIFY(state.RealTimeRunning);
            QVERIFY(!state.RealTimeDataUnsaved || state.RealTimeSampleCount > 0);
            w.findChild<QAction*>(QStringLiteral("Stop1"))->trigger();
        } else {
            QVERIFY(QDir(saved.path()).entryList(QDir::Files).isEmpty());
            QCOMPARE(setups, 1);
            QVERIFY(!state.RealTimeRunning);
            QVERIFY(state.RealTimeDataUnsaved);
            QCOMPARE(state.RealTimeSampleCount, Points);
            QCOMPARE(graph->graph()->saveWholeGraph(), block);
        }
        state.dialogs.ask = [](QWidget*, const QString&, QMessageBox::StandardButtons) {
            return QMessageBox::No;
        };
    }
};

AUDIMARK_TEST_MAIN_GUI(TestRealTimeSave)
#include "tst_realtimesave.moc"
