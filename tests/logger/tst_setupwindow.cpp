// The logger setup in the program: Setup and the auto-loading items shown
// by --logger-tools or the saved setting, the "Data Logger Setup" window
// with its controls, its commands against the virtual meter as the user sees
// them (boxes, labels, the grid), and the main menu's Erase Memory with a
// real question box that the user closes.

#include <QApplication>

#include "common/TestMain.h"

#include "app/CommandLineOptions.h"
#include "app/SetupCommands.h"
#include "app/TfrmMain.h"
#include "app/TfrmSetup.h"
#include "app/WindowSetupUi.h"
#include "files/dialogs/TfrmInfo.h"
#include "logger/LoggerBoxScript.h"
#include "logger/SetupTestClock.h"
#include "logger/SetupTexts.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QSignalSpy>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTimer>

using Box = QMessageBox;
using vmeter::VirtualMeterOptions;

namespace {
constexpr int speedUp = 20;
const QDateTime pcTime(QDate(2010, 4, 14), QTime(15, 30, 5));
const char* const loggerTools[] = {"Setup1", "StartAutoLoading1", "StopAutoLoading1",
                                   "dumpandclearmemory1", "estLoadingEvery1Minute1"};

VirtualMeterOptions meterWithSets(int sets)
{
    VirtualMeterOptions options;
    options.fast = true;
    options.protocol.logger.generatedSets = sets;
    options.protocol.logger.seed = 5;
    return options;
}

// The program on a started virtual meter, its boxes answered by a script.
struct Program
{
    explicit Program(VirtualMeterOptions options, bool tools = true)
        : clock(speedUp, pcTime), meter(options)
    {
        if (!meter.start())
            return;
        TfrmMain::Environment environment;
        environment.clock = &clock;
        environment.listPorts = [this] { return QStringList{meter.slavePath()}; };
        environment.dataDirectory = dataDir.path();
        environment.loggerDialogs = boxes.dialogs();
        environment.loggerTools = tools;
        window = std::make_unique<TfrmMain>(environment);
    }
    [[nodiscard]] bool startUp()
    {
        if (!window)
            return false;
        QSignalSpy finished(window.get(), &TfrmMain::startUpFinished);
        window->resize(1200, 900);
        window->show();
        // Connected, and a live frame has shown whether the meter records.
        return finished.wait(20000) && QTest::qWaitFor(
                                           [&] {
                                               const MeterLink& link = window->link();
                                               return link.MeterConnected() &&
                                                      link.RecordingKnown();
                                           },
                                           10000);
    }
    [[nodiscard]] QAction* action(const char* name) const
    {
        return window->findChild<QAction*>(QLatin1String(name));
    }
    [[nodiscard]] TfrmSetup* openSetup()
    {
        action("Setup1")->trigger();
        return window->setupCommands().window();
    }
    [[nodiscard]] bool liveLinkBack()
    {
        MeterLink& link = window->link();
        return link.Comm1().Active() && !link.Comm2().Active() && link.MainTimer().isActive();
    }

    SetupTestClock clock;
    vmeter::VirtualMeter meter;
    QTemporaryDir dataDir;
    LoggerBoxScript boxes;
    std::unique_ptr<TfrmMain> window;
};

template <typename T> T* child(QWidget* parent, const char* name)
{
    return parent->findChild<T*>(QLatin1String(name));
}
} // namespace

class TestSetupWindow : public QObject
{
    Q_OBJECT

private slots:
    void loggerToolsVisibility_data()
    {
        QTest::addColumn<bool>("option");
        QTest::addColumn<QString>("setting");
        QTest::addColumn<bool>("visible");
        QTest::newRow("default: hidden") << false << QString() << false;
        QTest::newRow("--logger-tools") << true << QString() << true;
        QTest::newRow("setting logger-tools=true") << false << "true" << true;
        QTest::newRow("setting logger-tools=false") << false << "false" << false;
        QTest::newRow("setting not a switch") << false << "perhaps" << false;
    }
    void loggerToolsVisibility()
    {
        QFETCH(bool, option);
        QFETCH(QString, setting);
        QFETCH(bool, visible);
        QSettings().remove(QStringLiteral("logger-tools"));
        if (!setting.isEmpty())
            QSettings().setValue(QStringLiteral("logger-tools"), setting);
        TfrmMain::Environment environment;
        environment.listPorts = [] { return QStringList(); };
        environment.loggerTools = option;
        TfrmMain w(environment);
        for (const char* name : loggerTools)
            QCOMPARE(w.findChild<QAction*>(QLatin1String(name))->isVisible(), visible);
        // Load Data and Erase Memory are always there.
        QVERIFY(w.findChild<QAction*>(QStringLiteral("EraseMemory1"))->isVisible());
        QSettings().remove(QStringLiteral("logger-tools"));
    }

    void loggerToolsOption()
    {
        const CommandLineOptions on = CommandLineOptions::parse(
            {QStringLiteral("audimark"), QStringLiteral("--logger-tools")});
        QVERIFY(on.error.isEmpty());
        QVERIFY(on.loggerTools);
        QVERIFY(!CommandLineOptions::parse({QStringLiteral("audimark")}).loggerTools);
        QVERIFY(CommandLineOptions::usage().contains(QStringLiteral("--logger-tools")));
    }

    void windowControls()
    {
        Program p(meterWithSets(0));
        QVERIFY(p.startUp());
        TfrmSetup* w = p.openSetup();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("Data Logger Setup"));
        QVERIFY(qobject_cast<QMdiSubWindow*>(w->parentWidget()));
        const QList<std::pair<const char*, QString>> buttons = {
            {"Button1", "Adjust Meter Time To Computer Time"},
            {"Button2", "Adjust Meter Recording Interval To This Amount"},
            {"Button3", "Erase Meter Memory"},
            {"Button4", "Read  "},
            {"Button5", QStringLiteral("全部執行")}};
        for (const auto& [name, text] : buttons)
            QCOMPARE(child<QPushButton>(w, name)->text(), text);
        QCOMPARE(child<QGroupBox>(w, "GroupBox1")->title(),
                 QStringLiteral("Meter Recording Interval "));
        QCOMPARE(child<QGroupBox>(w, "GroupBox2")->title(),
                 QStringLiteral("Meter DataLogger Information"));
        QCOMPARE(child<QLabel>(w, "Label2")->text(), QStringLiteral("mm:ss(00:01~01:00)"));
        const QList<std::pair<const char*, QString>> captions = {
            {"Label6", "FirmWare Version:"},   {"Label1", "Meter Time:"},
            {"Label3", "Recording Interval:"}, {"Label5", "Data Sets In Memory:"},
            {"Label4", "Memory Available:"},   {"Label7", "Memory Test:"}};
        for (const auto& [name, text] : captions)
            QCOMPARE(child<QLabel>(w, name)->text(), text);
        QCOMPARE(child<QLineEdit>(w, "edtInt1")->text(), QStringLiteral("00"));
        QCOMPARE(child<QLineEdit>(w, "edtInt2")->text(), QStringLiteral("02"));
        auto* grid = child<QTableWidget>(w, "Grid1");
        QCOMPARE(grid->columnCount(), 12);
        QCOMPARE(grid->columnWidth(1), 32);
        QCOMPARE(grid->rowHeight(0), 16);

        // Setup again brings the same window back.
        w->parentWidget()->showMinimized();
        QCOMPARE(p.openSetup(), w);
        QVERIFY(!w->parentWidget()->isMinimized());
        QCOMPARE(p.window->mdiArea()->subWindowList().count(w->parentWidget()), 1);
    }

    // While a setup command blocks, the busy cursor is up and the
    // information window says what is waited for, unless a stage of the
    // combined run already does; both go when the command is no longer busy.
    void busySaysWhatIsWaitedFor_data()
    {
        QTest::addColumn<QString>("stage"); // shown before; empty: none
        QTest::newRow("a single command") << QString();
        QTest::newRow("a stage of the combined run") << SetupTexts::StageClock;
    }

    void busySaysWhatIsWaitedFor()
    {
        QFETCH(QString, stage);
        QMdiArea area;
        area.resize(800, 600);
        area.show();
        LoggerBoxScript boxes;
        WindowSetupUi ui(&area, &area, boxes.dialogs());
        if (!stage.isEmpty())
            ui.showStage(stage);
        ui.setBusy(true);
        QVERIFY(ui.stageWindow());
        QCOMPARE(ui.stageWindow()->text(), stage.isEmpty() ? SetupTexts::WaitingForMeter : stage);
        QVERIFY(QApplication::overrideCursor());
        QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        ui.setBusy(false);
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        QCOMPARE(ui.stageWindow() != nullptr, !stage.isEmpty());
        ui.closeStage();
        QCOMPARE(ui.stageWindow(), nullptr);
    }

    void readShowsLabelsAndGrid()
    {
        VirtualMeterOptions options = meterWithSets(3);
        options.protocol.setup.firmware = 105;
        Program p(options);
        QVERIFY(p.startUp());
        TfrmSetup* w = p.openSetup();
        QTest::mouseClick(child<QPushButton>(w, "Button4"), Qt::LeftButton);
        QVERIFY(p.boxes.shown.isEmpty());
        QCOMPARE(child<QLabel>(w, "lblVer")->text(), QStringLiteral("1.05"));
        QCOMPARE(child<QLabel>(w, "lblDataSets")->text(), QStringLiteral("3"));
        QCOMPARE(child<QLabel>(w, "lblMemTest")->text(), QStringLiteral("OK"));
        auto* grid = child<QTableWidget>(w, "Grid1");
        QCOMPARE(grid->rowCount(), 10);
        QCOMPARE(grid->item(1, 0)->text(), QStringLiteral("00"));
        QCOMPARE(grid->item(1, 5)->text(), QStringLiteral("8F"));
        QCOMPARE(grid->item(8, 5)->text(), QStringLiteral("FF"));
        QCOMPARE(grid->item(8, 9)->text(), QStringLiteral("96"));
        QVERIFY(p.liveLinkBack());
        QVERIFY(child<QPushButton>(w, "Button4")->isEnabled());
    }

    void invalidIntervalBox()
    {
        Program p(meterWithSets(0));
        QVERIFY(p.startUp());
        TfrmSetup* w = p.openSetup();
        auto* seconds = child<QLineEdit>(w, "edtInt2");
        auto* minutes = child<QLineEdit>(w, "edtInt1");
        minutes->selectAll();
        QTest::keyClicks(minutes, "01");
        seconds->selectAll();
        QTest::keyClicks(seconds, "30");
        QCOMPARE(minutes->text(), QStringLiteral("01"));
        QCOMPARE(seconds->text(), QStringLiteral("30"));
        QTest::mouseClick(child<QPushButton>(w, "Button2"), Qt::LeftButton);
        QCOMPARE(p.boxes.texts(), QStringList{QStringLiteral("Invalid Input")});
        QCOMPARE(p.boxes.shown.first().buttons, Box::StandardButtons(Box::Ok));
        QVERIFY(p.liveLinkBack());
    }

    void eraseQuestionFromTheSetupWindow()
    {
        Program p(meterWithSets(2));
        QVERIFY(p.startUp());
        TfrmSetup* w = p.openSetup();
        p.boxes.answers = {Box::Yes};
        QTest::mouseClick(child<QPushButton>(w, "Button3"), Qt::LeftButton);
        QCOMPARE(p.boxes.texts(),
                 QStringList({"Are you sure to erase memory ?", "Memory erased successfully"}));
        QCOMPARE(p.boxes.shown.first().buttons, Box::StandardButtons(Box::Yes | Box::No));
        QCOMPARE(p.meter.loggerMemory().at(0x0A), char(0));
        QVERIFY(p.liveLinkBack());
    }

    void menuEraseClosedBoxKeepsTheMemory_data()
    {
        QTest::addColumn<int>("answer"); // 0: the box is closed
        QTest::addColumn<bool>("erased");
        QTest::newRow("Yes erases") << int(Box::Yes) << true;
        QTest::newRow("No keeps") << int(Box::No) << false;
        QTest::newRow("closing the box keeps") << 0 << false;
    }
    void menuEraseClosedBoxKeepsTheMemory()
    {
        QFETCH(int, answer);
        QFETCH(bool, erased);
        Program p(meterWithSets(2), false);
        QVERIFY(p.startUp());
        const QByteArray before = p.meter.loggerMemory();
        QStringList seen;
        // The real modal box, clicked or closed while it is open.
        LoggerDialogs dialogs;
        dialogs.exec = [&](QMessageBox& box) {
            seen << box.text();
            QTimer::singleShot(50, &box, [&box, answer] {
                if (QAbstractButton* b = box.button(Box::StandardButton(answer)))
                    b->click();
                else
                    box.close();
            });
            return LoggerDialogs::modal().exec(box);
        };
        WindowSetupUi ui(p.window.get(), p.window->mdiArea(), dialogs);
        LoggerPort port(p.window->link());
        LoggerSetupPort setupPort(port);
        LoggerSetup setup(setupPort, ui);
        QCOMPARE(setup.EraseMemory1Click(), erased);
        QCOMPARE(seen.first(), QStringLiteral("Are you sure to erase memory ?"));
        QTRY_COMPARE(p.meter.loggerMemory().at(0x0A) == 0, erased);
        if (!erased)
            QCOMPARE(p.meter.loggerMemory(), before);
        QVERIFY(p.liveLinkBack());
    }

    void menuEraseThroughTheMainWindow()
    {
        Program p(meterWithSets(2), false);
        QVERIFY(p.startUp());
        p.boxes.answers = {Box::Yes, Box::Ok};
        p.action("EraseMemory1")->trigger();
        QCOMPARE(p.boxes.texts(),
                 QStringList({"Are you sure to erase memory ?",
                              "Please power off and power on meter before recording data or "
                              "loading again."}));
        QTRY_COMPARE(p.meter.loggerMemory().at(0x0A), char(0));
        QVERIFY(p.liveLinkBack());
        // The live stream goes on: the link stays connected.
        QTest::qWait(300);
        QVERIFY(p.window->link().MeterConnected());
    }
};

AUDIMARK_TEST_MAIN_GUI(TestSetupWindow)
#include "tst_setupwindow.moc"
