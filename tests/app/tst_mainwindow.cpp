#include <QApplication>

#include "common/TestMain.h"

#include "app/LoggerDialogs.h"
#include "app/SubWindowTiling.h"
#include "app/TfrmMain.h"
#include "files/dialogs/BusyCursor.h"
#include "files/dialogs/FileDialogRunner.h"
#include "files/dialogs/MessageBoxes.h"
#include "files/dialogs/TfrmAbout.h"
#include "graph/TfrmGraph.h"
#include "meter/ScriptedMeterPeer.h"
#include "tools/virtual-meter/VirtualMeter.h"

#include <QAction>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenu>
#include <QMenuBar>
#include <QMessageBox>
#include <QScreen>
#include <QSignalSpy>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QWindow>

#include <memory>
#include <optional>

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

namespace {
constexpr int StartUpTimeout = 20000;

std::unique_ptr<vmeter::VirtualMeter> startVirtualMeter(int model)
{
    vmeter::VirtualMeterOptions options;
    options.protocol.model =
        model == 841 ? vmeter::MeterModel::Model841 : vmeter::MeterModel::Model842;
    options.protocol.idReply = model == 841 ? QByteArrayLiteral("0841") : QByteArrayLiteral("0842");
    auto meter = std::make_unique<vmeter::VirtualMeter>(options);
    if (!meter->start())
        return nullptr;
    return meter;
}

TfrmMain::Environment portsOnly(const QStringList& ports)
{
    TfrmMain::Environment environment;
    environment.listPorts = [ports] { return ports; };
    return environment;
}

void writeSettings(int port, int model, double rate = 0.2)
{
    QSettings store;
    store.clear();
    store.setValue(QStringLiteral("LastConnectedPort"), port);
    store.setValue(QStringLiteral("LastConnectedModel"), model);
    store.setValue(QStringLiteral("RealTimeRate"), rate);
    store.sync();
}

QAction* action(const TfrmMain& w, const char* name)
{
    return w.findChild<QAction*>(QLatin1String(name));
}

QToolButton* button(const TfrmMain& w, const char* name)
{
    return w.findChild<QToolButton*>(QLatin1String(name));
}

bool panelShowsNoConnection(const TfrmMain& w)
{
    const QLabel* label = w.PanelWindow()->findChild<QLabel*>(QStringLiteral("lblNoConnection"));
    return label && !label->isHidden();
}

// Shows the window and waits for the end of FormShow.
bool startUp(TfrmMain& w)
{
    QSignalSpy finished(&w, &TfrmMain::startUpFinished);
    w.show();
    return finished.wait(StartUpTimeout);
}

// A path whose open for writing fails for want of permission, for root too:
// a read-only kernel setting. Empty when none here refuses.
QString pathRefusingOpen(int* error)
{
    for (const char* path : {"/proc/sys/kernel/osrelease", "/sys/devices/system/cpu/online"}) {
        const int fd = ::open(path, O_RDWR | O_NOCTTY | O_NONBLOCK);
        if (fd >= 0)
            ::close(fd);
        else if ((*error = errno) == EACCES || errno == EPERM)
            return QString::fromLatin1(path);
    }
    return {};
}

} // namespace

class TestMainWindow : public QObject
{
    Q_OBJECT

private slots:
    void init() { QSettings().clear(); }

    void mainWindowLayout()
    {
        TfrmMain w(portsOnly({}));
        QCOMPARE(w.windowTitle(), QStringLiteral("QV58M"));

        QStringList menus;
        for (QAction* a : w.menuBar()->actions())
            menus << a->text();
        QCOMPARE(menus,
                 (QStringList{"&File", "Real Time", "&Data Logger", "&View", "&Window", "&Help"}));

        const auto items = [&w](const char* menu) {
            QStringList texts;
            for (QAction* a : w.findChild<QMenu*>(QLatin1String(menu))->actions())
                texts << (a->isSeparator() ? QStringLiteral("-") : a->text()) +
                             (a->isVisible() ? "" : " (hidden)");
            return texts;
        };
        QCOMPARE(items("File1"),
                 (QStringList{"&Open", "&Save", "Export Report (PDF)...", "History...", "-", "&Print",
                              "&Printer Setup", "-", "E&xit"}));
        QCOMPARE(items("RealTime1"), (QStringList{"Run", "Stop", "-", "Monitor..."}));
        QCOMPARE(items("DataLogger1"),
                 (QStringList{"Load Data", "Erase Memory", "Setup (hidden)",
                              "Start Auto Loading (hidden)", "Stop Auto Loading (hidden)",
                              "dump_and_clear_memory (hidden)",
                              "Test Loading Every 1 Minute  (hidden)"}));
        QCOMPARE(items("View1"), (QStringList{"&Control Panel", "Real Time &Graph", "-",
                                               "&Acoustic Statistics"}));
        QCOMPARE(items("Help1"), (QStringList{"&Contents", "-", "&About"}));
        QVERIFY(action(w, "ControlPanel1")->isChecked());
        QVERIFY(action(w, "RealTimeGraph1")->isChecked());

        // The toolbar, left to right, with its hints.
        QStringList hints;
        for (QAction* a : w.findChild<QToolBar*>(QStringLiteral("Panel1"))->actions())
            if (!a->isSeparator() && a->isVisible() && !a->toolTip().isEmpty() &&
                !a->icon().isNull())
                hints << a->toolTip();
        QCOMPARE(hints, (QStringList{"Open File", "Save to file", "Print", "Data Logger",
                                     "Output Tabular to graph", "Start Graphing Real Time Data",
                                     "Stop Graphing Real Time Data", "Help"}));
        QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("ComboBoxDeviceName"))->currentText(),
                 QStringLiteral("ComPort"));
        const auto* edit1 = w.findChild<QLineEdit*>(QStringLiteral("Edit1"));
        QCOMPARE(edit1->text(), QStringLiteral("0"));

        QList<int> widths;
        for (int i = 0; i < 3; ++i)
            widths << w.findChild<QLabel*>(QStringLiteral("StatusPanel%1").arg(i))->width();
        QCOMPARE(widths, (QList<int>{100, 150, 50}));

        QCOMPARE(w.MaxMinTimer.interval(), 500);
        QCOMPARE(w.Timer1.interval(), 60000);
        QVERIFY(!w.Timer1.isActive());
        QCOMPARE(w.mdiArea()->horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(w.mdiArea()->verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
        QCOMPARE(w.mdiArea()->frameShape(), QFrame::NoFrame);
    }

    // Every toolbar button agrees with its menu item whatever the link reports.
    void buttonAndMenuItemShareTheirState_data()
    {
        QTest::addColumn<int>("event");
        QTest::addColumn<bool>("run");
        QTest::addColumn<bool>("stop");
        QTest::addColumn<bool>("loggerShown");
        QTest::addColumn<bool>("loggerEnabled");
        QTest::newRow("window loaded") << 0 << false << false << true << true;
        QTest::newRow("port search found the meter") << 1 << true << false << true << true;
        QTest::newRow("identification of an 842") << 2 << true << false << true << true;
        QTest::newRow("identification of an 841") << 3 << true << false << false << true;
        QTest::newRow("link lost") << 4 << false << false << true << false;
        QTest::newRow("an 842 after an 841") << 5 << true << false << true << true;
    }

    void buttonAndMenuItemShareTheirState()
    {
        QFETCH(int, event);
        QFETCH(bool, run);
        QFETCH(bool, stop);
        QFETCH(bool, loggerShown);
        QFETCH(bool, loggerEnabled);

        TfrmMain w(portsOnly({}));
        // Shown, so that the toolbar has laid out its buttons.
        QVERIFY(startUp(w));
        MeterLink& link = w.link();
        // Only the events of this row: no tick declares the missing meter lost.
        link.MainTimer().stop();
        switch (event) {
        case 1:
            emit link.runStopChanged(true, false);
            break;
        case 2:
            emit link.modelChanged(842);
            emit link.dataLoggerEnabledChanged(true);
            emit link.runStopChanged(true, false);
            break;
        case 3:
            emit link.modelChanged(841);
            emit link.runStopChanged(true, false);
            break;
        case 4:
            emit link.runStopChanged(false, false);
            emit link.dataLoggerEnabledChanged(false);
            break;
        case 5:
            emit link.modelChanged(841);
            emit link.dataLoggerEnabledChanged(false);
            emit link.modelChanged(842);
            emit link.dataLoggerEnabledChanged(true);
            emit link.runStopChanged(true, false);
            break;
        default:
            break;
        }

        QCOMPARE(button(w, "btnRun")->isEnabled(), run);
        QCOMPARE(action(w, "Run1")->isEnabled(), run);
        QCOMPARE(button(w, "btnStop")->isEnabled(), stop);
        QCOMPARE(action(w, "Stop1")->isEnabled(), stop);

        const QAction* loggerMenu =
            w.findChild<QMenu*>(QStringLiteral("DataLogger1"))->menuAction();
        // The toolbar shows and hides its buttons when it next lays itself out.
        QTRY_COMPARE(button(w, "btnDataLogger")->isVisibleTo(&w), loggerShown);
        QCOMPARE(loggerMenu->isVisible(), loggerShown);
        // A hidden command cannot be chosen: its enabled state does not matter.
        if (loggerShown) {
            QCOMPARE(button(w, "btnDataLogger")->isEnabled(), loggerEnabled);
            QCOMPARE(loggerMenu->isEnabled(), loggerEnabled);
        }

        QVERIFY(!button(w, "btnOutputToGraph")->isEnabled());
        QVERIFY(button(w, "SpeedButton1")->isEnabled());
        QVERIFY(button(w, "SpeedButton8")->isEnabled());
    }

    void startUpFindsTheMeterOnTheThirdPort()
    {
        ScriptedMeterPeer silent1{QByteArray()};
        ScriptedMeterPeer silent2{QByteArray()};
        auto meter = startVirtualMeter(842);
        QVERIFY(meter);
        const QStringList ports{silent1.path(), silent2.path(), meter->slavePath()};

        auto* splash = new TfrmAbout;
        splash->setAttribute(Qt::WA_DeleteOnClose);
        splash->showAsSplash();
        QPointer<TfrmAbout> splashGuard(splash);

        TfrmMain w(portsOnly(ports));
        w.setSplash(splash);
        QStringList splashTexts;
        connect(&w.link(), &MeterLink::progressText, this, [&] {
            if (splashGuard)
                splashTexts << splashGuard->progressText();
        });
        QVERIFY(startUp(w));

        QCOMPARE(splashTexts,
                 (QStringList{"Initializing COM Port ...", "Searching Meter on " + ports[0],
                              "Searching Meter on " + ports[1], "Searching Meter on " + ports[2]}));
        QTRY_VERIFY(splashGuard.isNull());
        QCOMPARE(w.statusText(0), ports[2]);
        QCOMPARE(w.statusText(1), QStringLiteral("On Connection"));
        QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("ComboBoxDeviceName"))->currentIndex(), 2);
        QVERIFY(button(w, "btnRun")->isEnabled());
        QVERIFY(!button(w, "btnStop")->isEnabled());
        QVERIFY(w.link().MeterConnected());
        QVERIFY(!panelShowsNoConnection(w));
        QCOMPARE(w.PanelWindow()->parentWidget()->pos(), QPoint(0, 0));
        QVERIFY(w.link().MainTimer().isActive());
        // The live stream runs: the link keeps answering frames.
        QSignalSpy answered(&w.link(), &MeterLink::frameAnswered);
        QVERIFY(answered.wait(3000));

        // Closing writes the settings of this run.
        w.RealTimeInterval = 5.0f;
        QVERIFY(w.close());
        QVERIFY(!w.link().Comm1().Active());
        QSettings store;
        QCOMPARE(store.value(QStringLiteral("LastConnectedPort")).toInt(), 2);
        QCOMPARE(store.value(QStringLiteral("LastConnectedModel")).toInt(), 842);
        QCOMPARE(store.value(QStringLiteral("RealTimeRate")).toDouble(), 5.0);
        meter->stop();
    }

    void startUpWithoutAMeter()
    {
        // A saved port beyond the list and a model that does not exist.
        writeSettings(5, 100);
        ScriptedMeterPeer silent1{QByteArray()};
        ScriptedMeterPeer silent2{QByteArray()};
        ScriptedMeterPeer silent3{QByteArray()};
        TfrmMain w(portsOnly({silent1.path(), silent2.path(), silent3.path()}));
        QCOMPARE(w.savedSettings().lastConnectedPort, 5);
        QVERIFY(startUp(w));

        QCOMPARE(w.statusText(0), silent1.path());
        QCOMPARE(w.statusText(1), QStringLiteral("Off Connection"));
        QCOMPARE(w.findChild<QComboBox*>(QStringLiteral("ComboBoxDeviceName"))->currentIndex(), 0);
        QCOMPARE(w.link().MeterModel(), 842);
        QVERIFY(action(w, "LoadData1")->isVisible());
        QVERIFY(panelShowsNoConnection(w));
        QVERIFY(!button(w, "btnRun")->isEnabled());

        // Three ticks without a frame: the link is declared lost.
        QSignalSpy lost(&w.link(), &MeterLink::linkLost);
        QVERIFY(lost.wait(6000));
        QCOMPARE(w.statusText(1), QStringLiteral("No Connection"));
        QVERIFY(panelShowsNoConnection(w));
        QVERIFY(!button(w, "btnDataLogger")->isEnabled());
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("DataLogger1"))->menuAction()->isEnabled());
        // The live port stayed open on the first port and polls for a meter.
        QTRY_VERIFY_WITH_TIMEOUT(silent1.count('A') >= 1, 3000);

        QVERIFY(w.close());
        QSettings store;
        QCOMPARE(store.value(QStringLiteral("LastConnectedPort")).toInt(), 0);
        QCOMPARE(store.value(QStringLiteral("LastConnectedModel")).toInt(), 842);
    }

    void firstStartUsesTheDefaults()
    {
        QVERIFY(QSettings().allKeys().isEmpty());
        TfrmMain w(portsOnly({}));
        QCOMPARE(w.savedSettings(), SavedSettings{});
        QCOMPARE(w.RealTimeInterval, 0.2f);
        QVERIFY(startUp(w));
        QCOMPARE(w.statusText(1), QStringLiteral("Off Connection"));
        QVERIFY(w.close());
        QSettings store;
        QCOMPARE(store.value(QStringLiteral("RealTimeRate")).toDouble(), double(0.2f));
        QCOMPARE(store.value(QStringLiteral("LastConnectedModel")).toInt(), 842);
        // No port listed: nothing selected in the list.
        QCOMPARE(store.value(QStringLiteral("LastConnectedPort")).toInt(), -1);
    }

    void model841HidesTheDataLogger()
    {
        auto meter = startVirtualMeter(841);
        QVERIFY(meter);
        TfrmMain w(portsOnly({meter->slavePath()}));
        QVERIFY(startUp(w));
        QCOMPARE(w.statusText(1), QStringLiteral("On Connection"));
        QCOMPARE(w.link().MeterModel(), 841);
        // The toolbar hides the button when it next lays itself out.
        QTRY_VERIFY(!button(w, "btnDataLogger")->isVisibleTo(&w));
        QVERIFY(!w.findChild<QMenu*>(QStringLiteral("DataLogger1"))->menuAction()->isVisible());
        const QLabel* overlay = w.PanelWindow()->findChild<QLabel*>(QStringLiteral("img841Bottom"));
        QVERIFY(overlay && !overlay->isHidden());
        QVERIFY(w.close());
        QCOMPARE(QSettings().value(QStringLiteral("LastConnectedModel")).toInt(), 841);
        meter->stop();
    }

    void dateOrderFollowsTheLocale_data()
    {
        QTest::addColumn<QLocale>("locale");
        QTest::addColumn<int>("order");
        QTest::newRow("en_US") << QLocale(QLocale::English, QLocale::UnitedStates) << 2;
        QTest::newRow("de_DE") << QLocale(QLocale::German, QLocale::Germany) << 1;
        QTest::newRow("ja_JP") << QLocale(QLocale::Japanese, QLocale::Japan) << 3;
    }

    void dateOrderFollowsTheLocale()
    {
        QFETCH(QLocale, locale);
        QFETCH(int, order);
        TfrmMain::Environment environment = portsOnly({});
        environment.locale = locale;
        TfrmMain w(environment);
        QCOMPARE(w.DateOrder(), order);
    }

    void controlPanelCanBeClosedAndRecreated()
    {
        TfrmMain w(portsOnly({}));
        QVERIFY(startUp(w));
        QPointer<TfrmPanel> first = w.PanelWindow();
        QVERIFY(first);
        QAction* item = action(w, "ControlPanel1");
        QVERIFY(item->isChecked());

        first->close();
        QTRY_VERIFY(first.isNull());
        QCOMPARE(w.PanelWindow(), nullptr);
        QVERIFY(!item->isChecked());
        // The real-time graph stays.
        QTRY_COMPARE(w.mdiArea()->subWindowList().size(), 1);

        item->trigger();
        QVERIFY(w.PanelWindow());
        QVERIFY(item->isChecked());
        QCOMPARE(w.PanelWindow()->parentWidget()->pos(), QPoint(0, 0));
        QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
        // Choosing the item again with the panel there keeps one panel, checked.
        item->trigger();
        QVERIFY(item->isChecked());
        QCOMPARE(w.mdiArea()->subWindowList().size(), 2);
        QVERIFY(w.close());
    }

    void helpOpensThePageInTheDataDirectory()
    {
        QTemporaryDir data;
        QList<QUrl> opened;
        TfrmMain::Environment environment = portsOnly({});
        environment.dataDirectory = data.path();
        bool browserStarts = true;
        environment.openUrl = [&opened, &browserStarts](const QUrl& url) {
            opened << url;
            return browserStarts;
        };
        TfrmMain w(environment);

        QString message;
        QTimer::singleShot(0, this, [&message] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        action(w, "Contents1")->trigger();
        QVERIFY(opened.isEmpty());
        QCOMPARE(message,
                 QStringLiteral("The help file QV58M.htm was not found in %1.").arg(data.path()));

        QFile page(data.filePath(QStringLiteral("QV58M.htm")));
        QVERIFY(page.open(QIODevice::WriteOnly));
        page.close();
        action(w, "Contents1")->trigger();
        QCOMPARE(opened, QList<QUrl>{QUrl::fromLocalFile(page.fileName())});

        // No browser to show it: the user is told where the page lies.
        browserStarts = false;
        message.clear();
        QTimer::singleShot(0, this, [&message] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                message = box->text();
                box->accept();
            }
        });
        action(w, "Contents1")->trigger();
        QCOMPARE(opened.size(), 2);
        QCOMPARE(message, TfrmMain::helpNotOpenedText(page.fileName()));
        QVERIFY(message.contains(page.fileName()));
    }

    // Every message box is wide enough for its title, however short its text.
    void messageBoxesFitTheirTitle_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("text");
        QTest::newRow("file command, information") << "inform" << "invalid integer";
        QTest::newRow("file command, error") << "error" << "x";
        QTest::newRow("file command, question") << "ask" << "Save ?";
        QTest::newRow("logger command") << "logger" << "Memory error!";
    }

    void messageBoxesFitTheirTitle()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QString title;
        int width = 0;
        int needed = -1;
        QTimer::singleShot(0, this, [&] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                title = box->windowTitle();
                width = box->width();
                needed = MessageBoxes::minimumWidthFor(title, box->font());
                box->done(QMessageBox::Cancel);
            }
        });
        const FileDialogRunner runner = FileDialogRunner::modal();
        if (kind == QLatin1String("inform"))
            runner.inform(nullptr, text);
        else if (kind == QLatin1String("error"))
            runner.showError(nullptr, text);
        else if (kind == QLatin1String("ask"))
            (void)runner.ask(nullptr, text, QMessageBox::Yes | QMessageBox::No);
        else {
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Audimark"), text,
                            QMessageBox::Ok);
            (void)LoggerDialogs::modal().exec(box);
        }
        QVERIFY(!title.isEmpty());
        QVERIFY2(width >= needed, qPrintable(QStringLiteral("%1 < %2").arg(width).arg(needed)));
        QVERIFY(needed > QFontMetrics(QApplication::font()).horizontalAdvance(title));
    }

    // The busy cursor of a blocking command: set while it runs, the arrow
    // over a question in between, gone afterwards however the command ends.
    void busyCursorWhileBlocked()
    {
        QCOMPARE(QApplication::overrideCursor(), nullptr);
        std::optional<Qt::CursorShape> duringQuestion;
        {
            const BusyCursor busy;
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
            QTimer::singleShot(0, this, [&] {
                if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                    duringQuestion = QApplication::overrideCursor()->shape();
                    box->done(QMessageBox::Ok);
                }
            });
            QMessageBox box(QMessageBox::Warning, QStringLiteral("Audimark"),
                            QStringLiteral("Memory error!"), QMessageBox::Ok);
            (void)LoggerDialogs::modal().exec(box);
            QCOMPARE(QApplication::overrideCursor()->shape(), Qt::WaitCursor);
        }
        QCOMPARE(duringQuestion, std::optional<Qt::CursorShape>(Qt::ArrowCursor));
        QCOMPARE(QApplication::overrideCursor(), nullptr);
    }

    void aboutShowsTheVersionModally()
    {
        TfrmMain w(portsOnly({}));
        QString version;
        bool modal = false;
        QTimer::singleShot(0, this, [&] {
            if (auto* about = qobject_cast<TfrmAbout*>(QApplication::activeModalWidget())) {
                modal = true;
                version = about->versionText();
                about->accept();
            }
        });
        action(w, "About1")->trigger();
        QVERIFY(modal);
        QCOMPARE(version, QStringLiteral("3.5.0.0"));
        QCOMPARE(w.findChild<TfrmAbout*>(), nullptr);
    }

    void windowMenuListsTheChildWindows()
    {
        TfrmMain w(portsOnly({}));
        QVERIFY(startUp(w));
        auto* menu = w.findChild<QMenu*>(QStringLiteral("Window1"));
        emit menu->aboutToShow();
        QStringList texts;
        for (QAction* a : menu->actions())
            texts << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(texts.mid(0, 3), (QStringList{"&Tile", "&Cascade", "-"}));
        // The control panel and the real-time graph.
        QCOMPARE(texts.size(), 5);
        QVERIFY(texts[3].startsWith(QStringLiteral("&1 ")));
        QCOMPARE(texts[4], QStringLiteral("&2 Real-Time Graph"));
        QVERIFY(w.close());
    }

    // The splash and the main window are on the screen, painted, before the
    // port search blocks the event loop for seconds.
    void startUpShowsItsWindowsBeforeTheSearch()
    {
        ScriptedMeterPeer silent{QByteArray()};
        auto* splash = new TfrmAbout;
        splash->setAttribute(Qt::WA_DeleteOnClose);
        splash->showAsSplash();
        QPointer<TfrmAbout> splashGuard(splash);
        QVERIFY(splash->windowHandle() && splash->windowHandle()->isExposed());

        TfrmMain w(portsOnly({silent.path()}));
        w.setSplash(splash);
        bool mainExposed = false;
        bool splashExposed = false;
        QSize sizeAtSearch;
        connect(&w.link(), &MeterLink::progressText, this, [&](const QString& text) {
            if (text != QLatin1String("Initializing COM Port ..."))
                return;
            mainExposed = w.windowHandle() && w.windowHandle()->isExposed();
            splashExposed = splashGuard && splashGuard->windowHandle()->isExposed();
            sizeAtSearch = w.size();
        });
        QSignalSpy finished(&w, &TfrmMain::startUpFinished);
        w.showMaximized();
        QVERIFY(finished.wait(StartUpTimeout));
        QVERIFY(mainExposed);
        QVERIFY(splashExposed);
        // The maximised size had arrived before the search.
        QCOMPARE(sizeAtSearch, w.size());
        QVERIFY(w.close());
    }

    // Beside the control panel, as wide as the maximised window allows and
    // as high as the work area.
    void realTimeGraphFillsTheMaximisedWorkArea()
    {
        TfrmMain w(portsOnly({}));
        QSignalSpy finished(&w, &TfrmMain::startUpFinished);
        w.showMaximized();
        QVERIFY(finished.wait(StartUpTimeout));
        const QRect available = w.screen()->availableGeometry();
        QCOMPARE(w.frameGeometry().size(), available.size());

        const QWidget* panelFrame = w.PanelWindow()->parentWidget();
        const QWidget* graphFrame = w.graphState().RealTimeGraph->parentWidget();
        QCOMPARE(graphFrame->geometry(),
                 QRect(panelFrame->width(), 0, w.frameGeometry().width() - panelFrame->width() - 5,
                       w.mdiArea()->height()));
        QVERIFY(w.close());
    }

    // The saved port is the listed one the box shows, -1 for a typed device
    // that is not in the list.
    void lastConnectedPortFollowsTheBox_data()
    {
        QTest::addColumn<QString>("typed");
        QTest::addColumn<int>("saved");
        QTest::newRow("listed port chosen") << "@1" << 1;
        QTest::newRow("device not in the list") << "/dev/ttyUSB7" << -1;
        QTest::newRow("listed name typed") << "@2" << 2;
    }

    void lastConnectedPortFollowsTheBox()
    {
        QFETCH(QString, typed);
        QFETCH(int, saved);
        ScriptedMeterPeer silent1{QByteArray()};
        ScriptedMeterPeer silent2{QByteArray()};
        ScriptedMeterPeer silent3{QByteArray()};
        const QStringList ports{silent1.path(), silent2.path(), silent3.path()};
        TfrmMain w(portsOnly(ports));
        QVERIFY(startUp(w));
        auto* box = w.findChild<QComboBox*>(QStringLiteral("ComboBoxDeviceName"));
        if (typed == QLatin1String("@1")) {
            box->setCurrentIndex(1);
        } else {
            const QString text = typed.startsWith('@') ? ports.at(typed.mid(1).toInt()) : typed;
            box->lineEdit()->selectAll();
            QTest::keyClicks(box->lineEdit(), text);
        }
        QVERIFY(w.close());
        QCOMPARE(QSettings().value(QStringLiteral("LastConnectedPort")).toInt(), saved);
    }

    void tilesCoverTheAreaWithoutGaps_data()
    {
        QTest::addColumn<int>("count");
        QTest::addColumn<QList<QRect>>("expected");
        const QRect area(190, 0, 600, 400);
        QTest::newRow("one") << 1 << QList<QRect>{area};
        QTest::newRow("two side by side")
            << 2 << QList<QRect>{{190, 0, 300, 400}, {490, 0, 300, 400}};
        QTest::newRow("three: the first column takes two")
            << 3 << QList<QRect>{{190, 0, 300, 200}, {190, 200, 300, 200}, {490, 0, 300, 400}};
        const QList<QRect> five{{190, 0, 200, 200},
                                {190, 200, 200, 200},
                                {390, 0, 200, 200},
                                {390, 200, 200, 200},
                                {590, 0, 200, 400}};
        QTest::newRow("five in three columns") << 5 << five;
        QTest::newRow("none") << 0 << QList<QRect>{};
    }

    void tilesCoverTheAreaWithoutGaps()
    {
        QFETCH(int, count);
        QFETCH(QList<QRect>, expected);
        QCOMPARE(SubWindowTiling::tiles(QRect(190, 0, 600, 400), count), expected);
    }

    void roomBesideTheFixedWindow_data()
    {
        QTest::addColumn<QRect>("fixed");
        QTest::addColumn<QRect>("room");
        QTest::newRow("panel at the left") << QRect(0, 0, 190, 471) << QRect(190, 0, 610, 600);
        QTest::newRow("panel near the right edge")
            << QRect(500, 40, 190, 471) << QRect(0, 0, 500, 600);
        QTest::newRow("panel over everything") << QRect(-10, 0, 900, 600) << QRect(0, 0, 800, 600);
    }

    void roomBesideTheFixedWindow()
    {
        QFETCH(QRect, fixed);
        QFETCH(QRect, room);
        QCOMPARE(SubWindowTiling::areaBeside(QRect(0, 0, 800, 600), fixed), room);
    }

    // Window > Tile leaves the fixed-size panel as it is and tiles the other
    // windows beside it; child windows carry the program's icon.
    void tileKeepsThePanelAndIconsAreTheProgramsOwn()
    {
        TfrmMain w(portsOnly({}));
        QVERIFY(startUp(w));
        w.openSampleGraph(20);
        QMdiSubWindow* panelFrame = qobject_cast<QMdiSubWindow*>(w.PanelWindow()->parentWidget());
        QVERIFY(panelFrame);
        panelFrame->move(0, 0);
        const QRect panelPlace = panelFrame->geometry();

        action(w, "Tile1")->trigger();
        QCOMPARE(panelFrame->geometry(), panelPlace);
        const QRect rest(panelPlace.right() + 1, 0,
                         w.mdiArea()->viewport()->width() - panelPlace.width(),
                         w.mdiArea()->viewport()->height());
        QList<QRect> tiles;
        for (QMdiSubWindow* frame : w.mdiArea()->subWindowList())
            if (frame != panelFrame)
                tiles << frame->geometry();
        QCOMPARE(tiles.size(), 2);
        QCOMPARE(tiles[0], QRect(rest.left(), 0, rest.width() / 2, rest.height()));
        QCOMPARE(tiles[1].left(), rest.left() + rest.width() / 2);
        QCOMPARE(tiles[1].right(), rest.right());
        QCOMPARE(tiles[1].height(), rest.height());

        // Captions show the icon drawn for 16 px, not the large one scaled down.
        const QImage programIcon = QImage(QStringLiteral(":/icons/audimark-16.png"))
                                       .convertToFormat(QImage::Format_ARGB32_Premultiplied);
        QCOMPARE(programIcon.size(), QSize(16, 16));
        for (QMdiSubWindow* frame : w.mdiArea()->subWindowList())
            QCOMPARE(frame->windowIcon().pixmap(16, 16).toImage().convertToFormat(
                         QImage::Format_ARGB32_Premultiplied),
                     programIcon);
        w.graphState().LoggerDataUnsaved = false;
        QVERIFY(w.close());
    }

    // A port that cannot be opened (a user not yet in the dialout group, a
    // port another program holds, a device that is not there): the status
    // bar says why and what to do, once although every tick tries again, and
    // no more once a port opens.
    void portThatCannotBeOpenedSaysWhy_data()
    {
        QTest::addColumn<QString>("cause");
        QTest::addColumn<QString>("remedy");
        QTest::newRow("no permission")
            << "permission"
            << "Run sudo usermod -aG dialout $USER, then log out and in again.";
        QTest::newRow("held by another opener")
            << "busy"
            << "Another program is using it: close that program, then choose the port again.";
        QTest::newRow("not there") << "missing"
                                   << "Plug the meter's cable in, or choose another port.";
    }

    void portThatCannotBeOpenedSaysWhy()
    {
        QFETCH(QString, cause);
        QFETCH(QString, remedy);
        ScriptedMeterPeer held{QByteArray()};
        ScriptedMeterPeer free{QByteArray()};
        TComPort holder;
        int error = cause == QLatin1String("busy") ? EBUSY : ENOENT;
        QString refused =
            cause == QLatin1String("missing") ? QStringLiteral("/dev/ttyGone7") : held.path();
        if (cause == QLatin1String("permission") && (refused = pathRefusingOpen(&error)).isEmpty())
            QSKIP("No path here refuses to be opened for want of permission.");
        if (cause == QLatin1String("busy")) {
            holder.setDeviceName(refused);
            holder.setActive(true);
        }
        // No meter answers: the live link falls back to the saved port 0, the refusing one.
        TfrmMain w(portsOnly({refused, free.path()}));
        QSignalSpy changes(&w.link(), &MeterLink::livePortOpenErrorChanged);
        QVERIFY(startUp(w));
        QCOMPARE(w.link().livePortOpenError(), error);
        const QString expected =
            QStringLiteral("Cannot open %1: %2. ").arg(refused, qt_error_string(error)) + remedy;
        QCOMPARE(w.portProblemText(), expected);
        const auto* label = w.findChild<QLabel*>(QStringLiteral("lblPortProblem"));
        QVERIFY(label->isVisible());
        const qsizetype said = changes.size();
        QSignalSpy lost(&w.link(), &MeterLink::linkLost);
        QVERIFY(lost.wait(6000)); // three ticks, each trying the port again
        QCOMPARE(changes.size(), said);

        w.findChild<QComboBox*>(QStringLiteral("ComboBoxDeviceName"))->setCurrentIndex(1);
        QVERIFY(w.link().Comm1().Active());
        QCOMPARE(changes.last().at(1).toInt(), 0);
        QCOMPARE(w.portProblemText(), QString());
        QVERIFY(label->isHidden());
    }

    void closingAsksAboutUnsavedLoggerData_data()
    {
        QTest::addColumn<QMessageBox::StandardButton>("answer");
        QTest::addColumn<bool>("closes");
        QTest::newRow("cancel keeps the program and its data") << QMessageBox::Cancel << false;
        QTest::newRow("no lets the program end") << QMessageBox::No << true;
    }

    void closingAsksAboutUnsavedLoggerData()
    {
        QFETCH(QMessageBox::StandardButton, answer);
        QFETCH(bool, closes);
        TfrmMain w(portsOnly({}));
        QVERIFY(startUp(w));
        w.openSampleGraph(50);
        w.graphState().LoggerDataUnsaved = true;
        QStringList asked;
        w.graphState().dialogs.ask = [&](QWidget*, const QString& text,
                                         QMessageBox::StandardButtons) {
            asked << text;
            return answer;
        };

        QCOMPARE(w.close(), closes);
        QCOMPARE(asked, QStringList{QStringLiteral("Save DataLogger Data ?")});
        QCOMPARE(w.graphState().LoggerGraph.isNull(), closes);
        QCOMPARE(w.graphState().LoggerDataUnsaved, !closes);
        // A refused close leaves the live link running.
        QCOMPARE(w.link().MainTimer().isActive(), !closes);
    }
};

AUDIMARK_TEST_MAIN_GUI(TestMainWindow)
#include "tst_mainwindow.moc"
