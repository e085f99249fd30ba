#include "app/TfrmMain.h"

#include "app/ArchiveOfferBar.h"
#include "app/ArchiveSession.h"
#include "app/AutoLoadCommands.h"
#include "app/ChildWindowIcons.h"
#include "app/DateOrder.h"
#include "app/HelpFile.h"
#include "app/LoggerDownloadCommand.h"
#include "app/ProgramIcon.h"
#include "app/SetupCommands.h"
#include "app/SubWindowTiling.h"
#include "app/TfrmHistory.h"
#include "app/TfrmMonitor.h"
#include "app/TfrmPanel.h"
#include "data/DataDirectory.h"
#include "data/GeneratedDataSets.h"
#include "data/GraphTexts.h"
#include "files/dialogs/MessageBoxes.h"
#include "files/dialogs/TfrmAbout.h"
#include "files/dialogs/WindowOnScreen.h"
#include "files/windows/FileCommands.h"
#include "files/windows/TabularCommands.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "logger/DataSetListRow.h"
#include "logger/SetupTexts.h"
#include "realtime/RealTimeArchiver.h"
#include "realtime/RealTimeCommands.h"
#include "serial/ComErrors.h"

#include <QAction>
#include <QCloseEvent>
#include <QComboBox>
#include <QCoreApplication>
#include <QDesktopServices>
#include <QDir>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QMenuBar>
#include <QMessageBox>
#include <QPrinter>
#include <QSettings>
#include <QStatusBar>
#include <QToolBar>
#include <QToolButton>
#include <QUrl>

#include <algorithm>
#include <cerrno>

// The pictures live in this static library; naming them here keeps them in
// every program that shows the main window.
static void initResources()
{
    Q_INIT_RESOURCE(audimark_app_icons);
    Q_INIT_RESOURCE(resources);
}

namespace {
constexpr int StatusPanelWidths[3] = {100, 150, 50};

QIcon toolbarIcon(const char* name)
{
    return QIcon(QStringLiteral(":/toolbar/%1.svg").arg(QLatin1String(name)));
}

void setToolButtonName(QToolBar* bar, QAction* action, const char* name)
{
    if (QWidget* button = bar->widgetForAction(action))
        button->setObjectName(QLatin1String(name));
}

// The index of the listed port the box shows; -1 when it shows a typed
// device that is not in the list (the list keeps its old selection then).
int shownPortIndex(const QComboBox& box)
{
    const int current = box.currentIndex();
    if (current >= 0 && box.itemText(current) == box.currentText())
        return current;
    return box.findText(box.currentText(), Qt::MatchExactly | Qt::MatchCaseSensitive);
}
} // namespace

TfrmMain::TfrmMain(Environment environment, QWidget* parent)
    : QMainWindow(parent), environment_(std::move(environment)),
      link_(environment_.clock ? *environment_.clock : MeterClock::system())
{
    initResources();
    graphState_.dataSets = &dataSets_;
    setObjectName(QStringLiteral("frmMain"));
    setWindowTitle(QStringLiteral("QV58M"));
    resize(938, 666);

    mdiArea_ = new QMdiArea(this);
    mdiArea_->setObjectName(QStringLiteral("MDIClient"));
    // The client area has neither frame nor scroll bars.
    mdiArea_->setFrameShape(QFrame::NoFrame);
    mdiArea_->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    mdiArea_->setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setCentralWidget(mdiArea_);
    new ChildWindowIcons(*mdiArea_, ProgramIcon::icon());

    MaxMinTimer.setObjectName(QStringLiteral("MaxMinTimer"));
    MaxMinTimer.setInterval(MaxMinInterval);
    connect(&MaxMinTimer, &QTimer::timeout, this, [this] {
        HandlerGuard::run([this] {
            if (panelWindow_)
                panelWindow_->MaxMinTimerTimer();
        });
    });
    Timer1.setObjectName(QStringLiteral("Timer1"));
    Timer1.setInterval(Timer1Interval);
    connect(&Timer1, &QTimer::timeout, this,
            [this] { HandlerGuard::run([this] { Timer1Timer(); }); });

    buildActions();
    buildToolBar();
    buildMenus();
    buildStatusBar();
    connectLink();
    connectRealTime();
    connectArchive();

    HandlerGuard::run([this] { FormCreate(); });
}

TfrmMain::~TfrmMain()
{
    // The child windows use the link and this window's members: they go
    // first, while everything they use still exists.
    delete mdiArea_;
    mdiArea_ = nullptr;
    link_.setPanel(nullptr);
    link_.setRecorder(nullptr);
}

QAction* TfrmMain::addCommand(const QString& name, const QString& text, void (TfrmMain::*handler)())
{
    auto* action = new QAction(text, this);
    action->setObjectName(name);
    connect(action, &QAction::triggered, this,
            [this, handler] { HandlerGuard::run([this, handler] { (this->*handler)(); }); });
    return action;
}

void TfrmMain::buildActions()
{
    const auto withHint = [](QAction* action, const char* icon, const QString& hint) {
        action->setIcon(toolbarIcon(icon));
        action->setToolTip(hint);
        action->setStatusTip(hint);
        return action;
    };

    Open1 = withHint(
        addCommand(QStringLiteral("Open1"), QStringLiteral("&Open"), &TfrmMain::Open1Click), "open",
        QStringLiteral("Open File"));
    Open1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    Save1 = withHint(
        addCommand(QStringLiteral("Save1"), QStringLiteral("&Save"), &TfrmMain::Save1Click), "save",
        QStringLiteral("Save to file"));
    Save1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));
    Print1 = withHint(
        addCommand(QStringLiteral("Print1"), QStringLiteral("&Print"), &TfrmMain::btnPrintClick),
        "print", QStringLiteral("Print"));
    Print1->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_P));
    LoadData1 = withHint(addCommand(QStringLiteral("LoadData1"), QStringLiteral("Load Data"),
                                    &TfrmMain::LoadData1Click),
                         "datalogger", QStringLiteral("Data Logger"));
    btnOutputToGraph = withHint(addCommand(QStringLiteral("btnOutputToGraph"),
                                           QStringLiteral("Output Tabular to graph"),
                                           &TfrmMain::btnOutputToGraphClick),
                                "tabletograph", QStringLiteral("Output Tabular to graph"));
    Run1 =
        withHint(addCommand(QStringLiteral("Run1"), QStringLiteral("Run"), &TfrmMain::btnRunClick),
                 "run", QStringLiteral("Start Graphing Real Time Data"));
    Stop1 = withHint(
        addCommand(QStringLiteral("Stop1"), QStringLiteral("Stop"), &TfrmMain::btnStopClick),
        "stop", QStringLiteral("Stop Graphing Real Time Data"));
    Contents1 = withHint(addCommand(QStringLiteral("Contents1"), QStringLiteral("&Contents"),
                                    &TfrmMain::Contents1Click),
                         "help", QStringLiteral("Help"));
    Contents1->setShortcut(QKeySequence(Qt::Key_F1));

    PrinterSetup1 = addCommand(QStringLiteral("PrinterSetup1"), QStringLiteral("&Printer Setup"),
                               &TfrmMain::PrinterSetup1Click);
    ExportReport1 = addCommand(QStringLiteral("ExportReport1"),
                               QStringLiteral("Export Report (PDF)..."), &TfrmMain::ExportReport1Click);
    ExportReport1->setEnabled(false);
    connect(mdiArea_, &QMdiArea::subWindowActivated, ExportReport1, [this](QMdiSubWindow* frame) {
        ExportReport1->setEnabled(frame && qobject_cast<TfrmGraph*>(frame->widget()));
    });
    History1 = addCommand(QStringLiteral("History1"), QStringLiteral("History..."),
                          &TfrmMain::History1Click);
    History1->setEnabled(false);
    Exit1 = addCommand(QStringLiteral("Exit1"), QStringLiteral("E&xit"), &TfrmMain::Exit1Click);
    EraseMemory1 = addCommand(QStringLiteral("EraseMemory1"), QStringLiteral("Erase Memory"),
                              &TfrmMain::EraseMemory1Click);
    Setup1 = addCommand(QStringLiteral("Setup1"), QStringLiteral("Setup"), &TfrmMain::Setup1Click);
    StartAutoLoading1 =
        addCommand(QStringLiteral("StartAutoLoading1"), QStringLiteral("Start Auto Loading"),
                   &TfrmMain::StartAutoLoading1Click);
    StopAutoLoading1 =
        addCommand(QStringLiteral("StopAutoLoading1"), QStringLiteral("Stop Auto Loading"),
                   &TfrmMain::StopAutoLoading1Click);
    dumpandclearmemory1 =
        addCommand(QStringLiteral("dumpandclearmemory1"), QStringLiteral("dump_and_clear_memory"),
                   &TfrmMain::dumpandclearmemory1Click);
    estLoadingEvery1Minute1 = addCommand(QStringLiteral("estLoadingEvery1Minute1"),
                                         QStringLiteral("Test Loading Every 1 Minute "),
                                         &TfrmMain::estLoadingEvery1Minute1Click);
    for (QAction* hidden : {Setup1, StartAutoLoading1, StopAutoLoading1, dumpandclearmemory1,
                            estLoadingEvery1Minute1})
        hidden->setVisible(false);

    ControlPanel1 = addCommand(QStringLiteral("ControlPanel1"), QStringLiteral("&Control Panel"),
                               &TfrmMain::ControlPanel1Click);
    ControlPanel1->setCheckable(true);
    ControlPanel1->setChecked(true);
    RealTimeGraph1 = addCommand(QStringLiteral("RealTimeGraph1"),
                                QStringLiteral("Real Time &Graph"), &TfrmMain::RealTimeGraph1Click);
    RealTimeGraph1->setCheckable(true);
    RealTimeGraph1->setChecked(true);
    AcousticStatistics1 =
        addCommand(QStringLiteral("AcousticStatistics1"), QStringLiteral("&Acoustic Statistics"),
                   &TfrmMain::AcousticStatistics1Click);
    AcousticStatistics1->setCheckable(true);
    AcousticStatistics1->setChecked(true);
    Tile1 = addCommand(QStringLiteral("Tile1"), QStringLiteral("&Tile"), &TfrmMain::Tile1Click);
    Cascade1 = addCommand(QStringLiteral("Cascade1"), QStringLiteral("&Cascade"),
                          &TfrmMain::Cascade1Click);
    About1 = addCommand(QStringLiteral("About1"), QStringLiteral("&About"), &TfrmMain::About1Click);

    // Window loaded: Run and Stop wait for a meter, the tabular command for a table.
    Run1->setEnabled(false);
    Stop1->setEnabled(false);
    btnOutputToGraph->setEnabled(false);
}

void TfrmMain::buildToolBar()
{
    Panel1 = addToolBar(QStringLiteral("Toolbar"));
    Panel1->setObjectName(QStringLiteral("Panel1"));
    Panel1->setMovable(false);
    Panel1->setFloatable(false);
    Panel1->setIconSize(QSize(24, 24));
    Panel1->setToolButtonStyle(Qt::ToolButtonIconOnly);
    // The toolbar is always there; offering to hide it would lose the port list.
    Panel1->toggleViewAction()->setVisible(false);
    setContextMenuPolicy(Qt::NoContextMenu);

    Panel1->addAction(Open1);
    Panel1->addAction(Save1);
    Panel1->addAction(Print1);
    Panel1->addAction(LoadData1);
    Panel1->addAction(btnOutputToGraph);
    Panel1->addAction(Run1);
    Panel1->addAction(Stop1);
    Panel1->addAction(Contents1);
    setToolButtonName(Panel1, Open1, "SpeedButton1");
    setToolButtonName(Panel1, Save1, "SpeedButton2");
    setToolButtonName(Panel1, Print1, "btnPrint");
    setToolButtonName(Panel1, LoadData1, "btnDataLogger");
    setToolButtonName(Panel1, btnOutputToGraph, "btnOutputToGraph");
    setToolButtonName(Panel1, Run1, "btnRun");
    setToolButtonName(Panel1, Stop1, "btnStop");
    setToolButtonName(Panel1, Contents1, "SpeedButton8");
    Panel1->addSeparator();

    ComboBoxDeviceName = new QComboBox(Panel1);
    ComboBoxDeviceName->setObjectName(QStringLiteral("ComboBoxDeviceName"));
    ComboBoxDeviceName->setEditable(true);
    ComboBoxDeviceName->setInsertPolicy(QComboBox::NoInsert);
    ComboBoxDeviceName->setMinimumContentsLength(14);
    ComboBoxDeviceName->setSizeAdjustPolicy(QComboBox::AdjustToMinimumContentsLengthWithIcon);
    ComboBoxDeviceName->setToolTip(QStringLiteral("Serial port of the meter"));
    ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    Panel1->addWidget(ComboBoxDeviceName);
    connect(ComboBoxDeviceName, &QComboBox::currentTextChanged, this, [this](const QString& text) {
        HandlerGuard::run([this, &text] { link_.ComboBoxDeviceNameChange(text); });
    });

    MaskEdit1 = new QLineEdit(Panel1);
    MaskEdit1->setObjectName(QStringLiteral("MaskEdit1"));
    Edit1 = new QLineEdit(QStringLiteral("0"), Panel1);
    Edit1->setObjectName(QStringLiteral("Edit1"));
    Panel1->addWidget(MaskEdit1)->setVisible(false);
    Panel1->addWidget(Edit1)->setVisible(false);
}

void TfrmMain::buildMenus()
{
    QMenuBar* bar = menuBar();
    bar->setObjectName(QStringLiteral("MainMenu1"));

    QMenu* file = bar->addMenu(QStringLiteral("&File"));
    file->setObjectName(QStringLiteral("File1"));
    file->addAction(Open1);
    file->addAction(Save1);
    file->addAction(ExportReport1);
    file->addAction(History1);
    file->addSeparator();
    file->addAction(Print1);
    file->addAction(PrinterSetup1);
    file->addSeparator();
    file->addAction(Exit1);

    QMenu* realTime = bar->addMenu(QStringLiteral("Real Time"));
    realTime->setObjectName(QStringLiteral("RealTime1"));
    realTime->addAction(Run1);
    realTime->addAction(Stop1);
    realTime->addSeparator();
    realTime->addAction(addCommand(QStringLiteral("Monitor1"), QStringLiteral("Monitor..."),
                                   &TfrmMain::Monitor1Click));

    DataLogger1 = bar->addMenu(QStringLiteral("&Data Logger"));
    DataLogger1->setObjectName(QStringLiteral("DataLogger1"));
    DataLogger1->menuAction()->setObjectName(QStringLiteral("DataLogger1Menu"));
    DataLogger1->addAction(LoadData1);
    DataLogger1->addAction(EraseMemory1);
    DataLogger1->addAction(Setup1);
    DataLogger1->addAction(StartAutoLoading1);
    DataLogger1->addAction(StopAutoLoading1);
    DataLogger1->addAction(dumpandclearmemory1);
    DataLogger1->addAction(estLoadingEvery1Minute1);
    // The "&Data Logger" menu and btnDataLogger always agree: the menu
    // follows the button's action, the one place their state is set.
    connect(LoadData1, &QAction::changed, this, [this] {
        DataLogger1->menuAction()->setEnabled(LoadData1->isEnabled());
        DataLogger1->menuAction()->setVisible(LoadData1->isVisible());
    });

    QMenu* view = bar->addMenu(QStringLiteral("&View"));
    view->setObjectName(QStringLiteral("View1"));
    view->addAction(ControlPanel1);
    view->addAction(RealTimeGraph1);
    view->addSeparator();
    view->addAction(AcousticStatistics1);

    Window1 = bar->addMenu(QStringLiteral("&Window"));
    Window1->setObjectName(QStringLiteral("Window1"));
    rebuildWindowMenu();
    connect(Window1, &QMenu::aboutToShow, this, &TfrmMain::rebuildWindowMenu);

    QMenu* help = bar->addMenu(QStringLiteral("&Help"));
    help->setObjectName(QStringLiteral("Help1"));
    help->addAction(Contents1);
    help->addSeparator();
    help->addAction(About1);
}

void TfrmMain::buildStatusBar()
{
    QStatusBar* bar = statusBar();
    bar->setObjectName(QStringLiteral("StatusBar1"));
    portProblem_ = new QLabel(bar);
    portProblem_->setObjectName(QStringLiteral("lblPortProblem"));
    // A long text is cut at the panels rather than widening the window;
    // the tooltip holds all of it.
    portProblem_->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    portProblem_->setTextInteractionFlags(Qt::TextSelectableByMouse);
    portProblem_->setVisible(false);
    bar->addWidget(portProblem_, 1);
    for (int i = 0; i < 3; ++i) {
        auto* panel = new QLabel(bar);
        panel->setObjectName(QStringLiteral("StatusPanel%1").arg(i));
        panel->setFixedWidth(StatusPanelWidths[i]);
        panel->setFrameShape(QFrame::StyledPanel);
        panel->setFrameShadow(QFrame::Sunken);
        panel->setContentsMargins(3, 0, 3, 0);
        bar->addPermanentWidget(panel);
        statusPanels_[i] = panel;
    }
}

void TfrmMain::connectLink()
{
    connect(&link_, &MeterLink::statusChanged, this,
            [this](const QString& port, const QString& status) {
                statusPanels_[0]->setText(port);
                statusPanels_[1]->setText(status);
            });
    connect(&link_, &MeterLink::runStopChanged, this, [this](bool runEnabled, bool stopEnabled) {
        Run1->setEnabled(runEnabled);
        Stop1->setEnabled(stopEnabled);
    });
    connect(&link_, &MeterLink::dataLoggerEnabledChanged, LoadData1, &QAction::setEnabled);
    connect(&link_, &MeterLink::modelChanged, this, &TfrmMain::showModel);
    connect(&link_, &MeterLink::noConnectionLabelChanged, this, [this](bool visible) {
        if (panelWindow_)
            panelWindow_->setNoConnectionVisible(visible);
    });
    connect(&link_, &MeterLink::progressText, this, [this](const QString& text) {
        if (splash_)
            splash_->setProgressText(text);
    });
    connect(&link_, &MeterLink::portSelected, this, [this](int index) {
        // The search moves the selection itself; the box only shows it.
        const QSignalBlocker quiet(ComboBoxDeviceName);
        ComboBoxDeviceName->setCurrentIndex(index);
    });
    connect(&link_, &MeterLink::livePortOpenErrorChanged, this, &TfrmMain::showPortProblem);
    link_.setAutoLoadCheck([this](const QDateTime& now) { autoLoad().checkSchedule(now); });
}

void TfrmMain::showPortProblem(const QString& device, int error, const QString& text)
{
    // "No Connection" alone leaves a user who may not open serial devices
    // without a clue; the reason and the remedy stay shown until the port opens.
    QString shown;
    if (error != 0) {
        shown = QStringLiteral("Cannot open %1: %2.").arg(device, text);
        if (error == EACCES || error == EPERM)
            shown +=
                QStringLiteral(" Run sudo usermod -aG dialout $USER, then log out and in again.");
        else if (error == EBUSY)
            shown += QStringLiteral(
                " Another program is using it: close that program, then choose the port again.");
        else if (error == ENOENT || error == ENODEV || error == ENXIO)
            shown += QStringLiteral(" Plug the meter's cable in, or choose another port.");
    }
    portProblem_->setText(shown);
    portProblem_->setToolTip(shown.isEmpty() ? QString()
                                             : shown + QStringLiteral(" (Help > Contents, "
                                                                      "Troubleshooting)"));
    portProblem_->setVisible(!shown.isEmpty());
}

QString TfrmMain::portProblemText() const
{
    return portProblem_->text();
}

void TfrmMain::setSplash(TfrmAbout* splash)
{
    splash_ = splash;
}

QString TfrmMain::statusText(int panel) const
{
    return panel >= 0 && panel < 3 ? statusPanels_[panel]->text() : QString();
}

QPrinter& TfrmMain::printer()
{
    // Created on first use: asking the print system for its printers is slow.
    if (!printer_)
        printer_ = std::make_unique<QPrinter>(QPrinter::HighResolution);
    return *printer_;
}

// Start-up ---------------------------------------------------------------------

void TfrmMain::FormCreate()
{
    const QLocale locale = environment_.locale.value_or(QLocale::system());
    dateOrder_ = DateOrder::fromShortDateFormat(locale.dateFormat(QLocale::ShortFormat));

    dataDirectory_ = environment_.dataDirectory.isEmpty() ? DataDirectory::choose(QString())
                                                          : environment_.dataDirectory;
    (void)DataDirectory::ensureExists(dataDirectory_);
    graphState_.dataDirectory = dataDirectory_;
    // The graph windows' questions, as wide as their title like every box.
    graphState_.dialogs.ask = FileDialogRunner::modal().ask;
    graphState_.dialogs.inform = FileDialogRunner::modal().inform;

    settings_ = AppSettings::read(QSettings());
    RealTimeInterval = float(settings_.realTimeRate);
    graphState_.acousticBox = AcousticBoxSettings::read(QSettings());
    AcousticStatistics1->setChecked(graphState_.acousticBox.shown);
    // Setup and auto-loading stay hidden unless the user asks for them.
    for (QAction* tool : {Setup1, StartAutoLoading1, StopAutoLoading1, dumpandclearmemory1,
                          estLoadingEvery1Minute1})
        tool->setVisible(environment_.loggerTools || settings_.loggerTools);

    if (!digitImages_.load())
        qWarning("The digit images of the control panel could not be loaded.");

    fillPortList();
}

void TfrmMain::fillPortList()
{
    QStringList ports;
    if (environment_.listPorts)
        ports = environment_.listPorts();
    else
        TComPort::EnumComPorts(ports);
    {
        const QSignalBlocker quiet(ComboBoxDeviceName);
        ComboBoxDeviceName->clear();
        ComboBoxDeviceName->addItems(ports);
        if (ports.isEmpty())
            ComboBoxDeviceName->setEditText(QStringLiteral("ComPort"));
    }
    link_.setPortList(ports);
    // Without any port the device name is whatever the box shows; opening
    // it fails quietly and the program runs without a meter.
    if (ports.isEmpty())
        link_.Comm1().setDeviceName(ComboBoxDeviceName->currentText());
}

void TfrmMain::showEvent(QShowEvent* event)
{
    QMainWindow::showEvent(event);
    if (formShown_)
        return;
    formShown_ = true;
    // Runs once the window is on the screen, from the event loop.
    QTimer::singleShot(0, this, [this] { HandlerGuard::run([this] { FormShow(); }); });
}

void TfrmMain::FormShow()
{
    // The port search blocks the event loop for seconds: the window gets its
    // maximised size and is painted first, with the panel and the splash.
    (void)WindowOnScreen::waitUntilShown(*this);
    createPanel();
    paintBeforeBlocking();
    link_.connectAtStartUp(settings_.lastConnectedPort, settings_.lastConnectedModel);
    if (link_.MeterConnected())
        settings_.lastConnectedModel = link_.MeterModel();
    if (splash_) {
        splash_->setProgressText(QString());
        splash_->close();
    }
    createRealTimeGraphWindow();
    if (environment_.archive && !environment_.archive->openError().isEmpty())
        tellArchiveProblem(environment_.archive->openError());
    emit startUpFinished();
}

void TfrmMain::paintBeforeBlocking()
{
    // Without a window manager the main window has just covered the splash.
    if (splash_)
        splash_->raise();
    // The layouts and exposures of the windows just shown, user input held back.
    QCoreApplication::processEvents(QEventLoop::ExcludeUserInputEvents |
                                    QEventLoop::ExcludeSocketNotifiers);
    repaint();
    if (splash_)
        splash_->repaint();
}

// Graph windows -------------------------------------------------------------------

TfrmGraph* TfrmMain::addGraphWindow(const QString& caption)
{
    auto* graph = new TfrmGraph(graphState_);
    graph->setWindowTitle(caption);
    QMdiSubWindow* frame = mdiArea_->addSubWindow(graph);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    connect(frame, &QMdiSubWindow::aboutToActivate, this,
            [this] { btnOutputToGraph->setEnabled(false); });
    // The window that asks is the one saved, whichever window is active.
    connect(graph, &TfrmGraph::saveRequested, this,
            [this, graph] { (void)fileCommands().saveBeforeDiscard(*graph); });
    connect(graph, &TfrmGraph::realTimeGraphClosed, this, [this] {
        RealTimeGraph1->setChecked(false);
        Run1->setEnabled(link_.MeterConnected());
        Stop1->setEnabled(false);
    });
    connect(graph, &TfrmGraph::realTimeGraphCleared, this,
            [this] { RealTimeGraph1->setChecked(true); });
    return graph;
}

void TfrmMain::createRealTimeGraphWindow()
{
    if (graphState_.RealTimeGraph)
        return;
    TfrmGraph* graph = addGraphWindow(TfrmGraph::RealTimeCaption);
    graphState_.RealTimeGraph = graph;
    RealTimeGraph1->setChecked(true);
    graph->makeRealTimeGraph();
    realTime_->attachGraph(graph);

    // Beside the control panel, filling the rest of the work area: the
    // window's outer width less the panel's and 5 (never beyond the work
    // area), and the whole height of the work area. Start-up comes here once
    // the window has its maximised size.
    QWidget* frame = graph->parentWidget();
    const int left = panelWindow_ && panelWindow_->parentWidget()
                         ? panelWindow_->parentWidget()->width()
                         : 0;
    const int width = std::min(frameGeometry().width() - left - 5, mdiArea_->width() - left);
    const int height = mdiArea_->height();
    frame->setGeometry(left, 0, std::max(width, 300), std::max(height, 200));
    frame->show();
    mdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(frame));
}

TfrmGraph* TfrmMain::openLoggerGraph()
{
    if (TfrmGraph* graph = graphState_.LoggerGraph) {
        if (QWidget* frame = graph->parentWidget())
            frame->showNormal();
        return graph;
    }
    TfrmGraph* graph = addGraphWindow(TfrmGraph::LoggerCaption);
    graphState_.LoggerGraph = graph;
    graph->setDataSetsPanelVisible(true);
    QWidget* frame = graph->parentWidget();
    frame->resize(mdiArea_->width() * 9 / 10, mdiArea_->height() * 9 / 10);
    frame->show();
    mdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(frame));
    return graph;
}

void TfrmMain::openSampleGraph(int points)
{
    const double start =
        GraphTexts::fromDateTime(QDateTime(QDate::currentDate().addDays(-1), QTime(10, 0, 0)));
    dataSets_ = GeneratedDataSets::collection({{start, 1, std::max(points, 1), true},
                                               {start + 1.0, 2, 120, true},
                                               {start + 2.0, 5, std::max(points / 2, 1), false}});
    TfrmGraph* graph = openLoggerGraph();
    QList<QStringList> rows;
    for (const DataSetListRow& row : dataSetListRows(dataSets_))
        rows << QStringList{row.number, row.date,  row.time,
                            row.interval, row.count, row.weighting};
    graph->setDataSetRows(rows);
    (void)graph->showDataSet(0);
}

void TfrmMain::showModel(int model)
{
    if (panelWindow_)
        panelWindow_->setModel(model);
    LoadData1->setVisible(model != 841);
}

// Shut-down --------------------------------------------------------------------

void TfrmMain::closeEvent(QCloseEvent* event)
{
    bool allowed = true;
    HandlerGuard::run([this, &allowed] { allowed = FormCloseQuery(); });
    if (!allowed) {
        event->ignore();
        return;
    }
    HandlerGuard::run([this] { FormClose(); });
    event->accept();
}

bool TfrmMain::FormCloseQuery()
{
    // A receive handler half-way through (it processes events while it
    // identifies the meter) has to end before its port goes away. Waiting
    // here in a nested loop could never let it end, so the close is refused
    // and asked again shortly.
    if (link_.RxBusy()) {
        if (!closeRetryPending_) {
            closeRetryPending_ = true;
            QTimer::singleShot(CloseRetryInterval, this, [this] {
                closeRetryPending_ = false;
                close();
            });
        }
        return false;
    }
    // The child windows ask their own close questions (unsaved logger or
    // real-time data) before the program ends; one that refuses keeps the
    // program running with every window as it was.
    if (!childWindowsAgreeToClose())
        return false;
    mdiArea_->closeAllSubWindows();
    const QList<QMdiSubWindow*> children = mdiArea_->subWindowList();
    if (std::any_of(children.cbegin(), children.cend(),
                    [](const QMdiSubWindow* child) { return !child->isHidden(); }))
        return false;
    link_.stopLiveLink();
    return true;
}

bool TfrmMain::childWindowsAgreeToClose()
{
    // Closing the windows one by one would lose the control panel, the
    // DataLogger window with its cursors, annotations and zoom, and the
    // opened graphs and tables before a later window's Cancel: all are asked
    // first, and none closes unless all agree.
    const bool loggerUnsaved = graphState_.LoggerDataUnsaved;
    const bool realTimeUnsaved = graphState_.RealTimeDataUnsaved;
    QStringList savedCaptions;
    for (QMdiSubWindow* frame : mdiArea_->subWindowList()) {
        auto* graph = qobject_cast<TfrmGraph*>(frame->widget());
        if (!graph)
            continue;
        const QMetaObject::Connection watch =
            connect(graph, &TfrmGraph::saveRequested, this,
                    [&savedCaptions, graph] { savedCaptions << graph->windowTitle(); });
        const bool agreed = graph->FormCloseQuery();
        disconnect(watch);
        if (agreed)
            continue;
        // A "No" to an earlier question gave the data up only for a close
        // that now does not happen: its question is asked again next time.
        // Data saved on the way stays saved.
        if (!savedCaptions.contains(TfrmGraph::LoggerCaption))
            graphState_.LoggerDataUnsaved = loggerUnsaved || graphState_.LoggerDataUnsaved;
        if (!savedCaptions.contains(TfrmGraph::RealTimeCaption))
            graphState_.RealTimeDataUnsaved = realTimeUnsaved || graphState_.RealTimeDataUnsaved;
        return false;
    }
    // Every question has been answered; the closes do not ask again.
    graphState_.LoggerDataUnsaved = false;
    graphState_.RealTimeDataUnsaved = false;
    return true;
}

void TfrmMain::FormClose()
{
    settings_.realTimeRate = RealTimeInterval;
    settings_.lastConnectedPort = shownPortIndex(*ComboBoxDeviceName);
    settings_.lastConnectedModel = link_.MeterModel();
    QSettings store;
    if (!AppSettings::write(store, settings_))
        qWarning("The settings could not be saved.");
}

// Control panel ----------------------------------------------------------------

void TfrmMain::createPanel()
{
    auto* panel = new TfrmPanel(link_, digitImages_, MaxMinTimer);
    QMdiSubWindow* frame = mdiArea_->addSubWindow(panel, Qt::FramelessWindowHint);
    frame->setObjectName(QStringLiteral("PanelSubWindow"));
    frame->setAttribute(Qt::WA_DeleteOnClose);
    panel->setModel(link_.MeterModel());
    panel->setNoConnectionVisible(!link_.MeterConnected());
    panelWindow_ = panel;
    link_.setPanel(panel);

    connect(panel, &TfrmPanel::closed, this, [this, frame = QPointer<QMdiSubWindow>(frame)] {
        panelClosed();
        if (frame && frame->isVisible())
            frame->close();
    });
    connect(panel, &TfrmPanel::activated, this, [this] { btnOutputToGraph->setEnabled(false); });
    connect(panel, &QObject::destroyed, this, &TfrmMain::panelClosed);

    frame->move(0, 0);
    frame->show();
    ControlPanel1->setChecked(true);
}

void TfrmMain::panelClosed()
{
    link_.setPanel(nullptr);
    panelWindow_ = nullptr;
    ControlPanel1->setChecked(false);
}

// View, Window and Help commands ----------------------------------------------------

void TfrmMain::ControlPanel1Click()
{
    if (panelWindow_) {
        if (QWidget* frame = panelWindow_->parentWidget())
            frame->showNormal();
        ControlPanel1->setChecked(true);
        return;
    }
    createPanel();
    panelWindow_->setForceRefresh();
}

void TfrmMain::RealTimeGraph1Click()
{
    if (TfrmGraph* graph = graphState_.RealTimeGraph) {
        if (QWidget* frame = graph->parentWidget())
            frame->showNormal();
        RealTimeGraph1->setChecked(true);
        return;
    }
    createRealTimeGraphWindow();
}

void TfrmMain::AcousticStatistics1Click()
{
    graphState_.acousticBox.shown = AcousticStatistics1->isChecked();
    for (QMdiSubWindow* frame : mdiArea_->subWindowList())
        if (auto* graph = qobject_cast<TfrmGraph*>(frame->widget()))
            graph->setAcousticBoxVisible(graphState_.acousticBox.shown);
    QSettings store;
    AcousticBoxSettings::writeShown(store, graphState_.acousticBox.shown);
}

void TfrmMain::Tile1Click()
{
    // The panel cannot be stretched: it keeps its place, the others share the rest.
    const QMdiSubWindow* panelFrame =
        panelWindow_ ? qobject_cast<QMdiSubWindow*>(panelWindow_->parentWidget()) : nullptr;
    SubWindowTiling::tileAround(*mdiArea_, panelFrame);
}

void TfrmMain::Cascade1Click()
{
    mdiArea_->cascadeSubWindows();
}

void TfrmMain::rebuildWindowMenu()
{
    Window1->clear();
    Window1->addAction(Tile1);
    Window1->addAction(Cascade1);
    const QList<QMdiSubWindow*> windows = mdiArea_->subWindowList();
    if (windows.isEmpty())
        return;
    Window1->addSeparator();
    int number = 0;
    for (QMdiSubWindow* window : windows) {
        ++number;
        const QString title =
            window->widget() ? window->widget()->windowTitle() : window->windowTitle();
        QAction* item = Window1->addAction(QStringLiteral("&%1 %2").arg(number).arg(title));
        item->setCheckable(true);
        item->setChecked(window == mdiArea_->activeSubWindow());
        connect(item, &QAction::triggered, this, [this, w = QPointer<QMdiSubWindow>(window)] {
            if (!w)
                return;
            if (w->isMinimized())
                w->showNormal();
            mdiArea_->setActiveSubWindow(w);
        });
    }
}

void TfrmMain::About1Click()
{
    if (!aboutWindow_)
        aboutWindow_ = new TfrmAbout(this);
    aboutWindow_->exec();
    delete aboutWindow_;
}

void TfrmMain::Contents1Click()
{
    const QString path = HelpFile::pathIn(dataDirectory_);
    if (!QFileInfo(path).isFile()) {
        (void)MessageBoxes::show(
            this, QMessageBox::Warning, HelpCaption,
            QStringLiteral("The help file %1 was not found in %2.")
                .arg(HelpFile::FileName, QDir::toNativeSeparators(dataDirectory_)));
        return;
    }
    const QUrl url = QUrl::fromLocalFile(path);
    const bool opened =
        environment_.openUrl ? environment_.openUrl(url) : QDesktopServices::openUrl(url);
    if (!opened)
        (void)MessageBoxes::show(this, QMessageBox::Warning, HelpCaption,
                                 helpNotOpenedText(path));
}

QString TfrmMain::helpNotOpenedText(const QString& path)
{
    return QStringLiteral("No web browser could be started to show the help. Open the help "
                          "file in a browser yourself:\n%1")
        .arg(QDir::toNativeSeparators(path));
}

void TfrmMain::Exit1Click()
{
    close();
}

void TfrmMain::PrinterSetup1Click()
{
    tabularCommands().PrinterSetup1Click();
}

// File commands ------------------------------------------------------------------

namespace {
// The environment's members where set, the real modal ones elsewhere.
FileDialogRunner completed(const FileDialogRunner& given)
{
    FileDialogRunner runner = FileDialogRunner::modal();
    if (given.saveFileName)
        runner.saveFileName = given.saveFileName;
    if (given.openFileName)
        runner.openFileName = given.openFileName;
    if (given.exec)
        runner.exec = given.exec;
    if (given.ask)
        runner.ask = given.ask;
    if (given.inform)
        runner.inform = given.inform;
    if (given.showError)
        runner.showError = given.showError;
    return runner;
}
} // namespace

QWidget* TfrmMain::activeChild() const
{
    const QMdiSubWindow* frame = mdiArea_ ? mdiArea_->currentSubWindow() : nullptr;
    return frame ? frame->widget() : nullptr;
}

TabularCommands& TfrmMain::tabularCommands()
{
    if (!tabularCommands_) {
        TabularCommands::Context context;
        context.mainWindow = this;
        context.mdiArea = mdiArea_;
        context.graphs = &graphState_;
        context.addGraphWindow = [this](const QString& caption) { return addGraphWindow(caption); };
        context.printer = [this]() -> QPrinter& { return printer(); };
        context.dataDirectory = dataDirectory_;
        context.dialogs = completed(environment_.fileDialogs);
        tabularCommands_ = std::make_unique<TabularCommands>(std::move(context));
        connect(tabularCommands_.get(), &TabularCommands::outputToGraphEnabled, btnOutputToGraph,
                &QAction::setEnabled);
    }
    return *tabularCommands_;
}

FileCommands& TfrmMain::fileCommands()
{
    if (!fileCommands_) {
        FileCommands::Context context;
        context.mainWindow = this;
        context.mdiArea = mdiArea_;
        context.graphs = &graphState_;
        context.dataSets = &dataSets_;
        context.addGraphWindow = [this](const QString& caption) { return addGraphWindow(caption); };
        // The collection open shows its sets as a download does.
        context.loggerWindow = &loggerDownload().ui();
        context.tabular = &tabularCommands();
        context.dataDirectory = dataDirectory_;
        context.now = [this] { return link_.clock().currentDateTime(); };
        context.dialogs = completed(environment_.fileDialogs);
        context.fileOpened = [this](QWidget* window, const QString& path) {
            ArchiveOfferBar::offer(window, environment_.archive, path,
                                   [this] { return link_.clock().currentDateTime(); });
        };
        fileCommands_ = std::make_unique<FileCommands>(std::move(context));
    }
    return *fileCommands_;
}

void TfrmMain::Open1Click()
{
    fileCommands().Open1Click();
}

void TfrmMain::Save1Click()
{
    fileCommands().Save1Click(activeChild());
}

void TfrmMain::setArchive(Archive* archive)
{
    if (archive == archive_)
        return;
    // The window holds the archive it was made with.
    if (historyWindow_) {
        QWidget* frame = historyWindow_->parentWidget();
        delete (frame ? frame : historyWindow_.data());
    }
    archive_ = archive;
    History1->setEnabled(archive_ != nullptr);
}

void TfrmMain::History1Click()
{
    if (!archive_)
        return;
    if (historyWindow_) {
        if (auto* frame = qobject_cast<QMdiSubWindow*>(historyWindow_->parentWidget())) {
            frame->showNormal();
            mdiArea_->setActiveSubWindow(frame);
        }
        return;
    }
    TfrmHistory::Context context;
    context.addGraphWindow = [this](const QString& caption) { return addGraphWindow(caption); };
    context.saveGraph = [this](TfrmGraph& graph) { fileCommands().Save1Click(&graph); };
    context.graphs = &graphState_;
    context.dialogs = completed(environment_.fileDialogs);
    historyWindow_ = new TfrmHistory(*archive_, std::move(context));
    // Listed again when something is stored while it is open; queued, so
    // never inside the live stream's receive handler.
    if (environment_.archive)
        connect(environment_.archive, &ArchiveSession::stored, historyWindow_, &TfrmHistory::relist,
                Qt::QueuedConnection);
    QMdiSubWindow* frame = mdiArea_->addSubWindow(historyWindow_);
    frame->setAttribute(Qt::WA_DeleteOnClose);
    // At the top left, as wide as the client area and two thirds as high,
    // so that its buttons are never below the client area's edge.
    const QSize area = mdiArea_->viewport()->size();
    frame->setGeometry(0, 0, area.width(), std::max(area.height() * 2 / 3, 300));
    frame->show();
    mdiArea_->setActiveSubWindow(frame);
}

TfrmMonitor* TfrmMain::monitorWindow() const
{
    return monitorWindow_;
}

void TfrmMain::Monitor1Click()
{
    if (!monitorWindow_) {
        monitorWindow_ = new TfrmMonitor(link_, environment_.archive, dataDirectory_,
                                         [this] { return graphState_.RealTimeGraph.data(); });
        QMdiSubWindow* frame = mdiArea_->addSubWindow(monitorWindow_);
        frame->setAttribute(Qt::WA_DeleteOnClose);
        frame->resize(880, 600);
    }
    monitorWindow_->parentWidget()->showNormal();
    mdiArea_->setActiveSubWindow(qobject_cast<QMdiSubWindow*>(monitorWindow_->parentWidget()));
}

void TfrmMain::ExportReport1Click()
{
    (void)fileCommands().ExportReport1Click(activeChild());
}

void TfrmMain::btnPrintClick()
{
    tabularCommands().btnPrintClick(activeChild());
}

// Commands of the subsystems that plug in later -----------------------------------

LoggerDownloadCommand& TfrmMain::loggerDownload()
{
    if (!loggerDownload_) {
        LoggerDownloadCommand::Context context;
        context.mainWindow = this;
        context.mdiArea = mdiArea_;
        context.link = &link_;
        context.graphs = &graphState_;
        context.dataSets = &dataSets_;
        context.openLoggerGraph = [this] { return openLoggerGraph(); };
        context.dataDirectory = dataDirectory_;
        if (environment_.loggerDialogs.exec)
            context.dialogs.exec = environment_.loggerDialogs.exec;
        if (environment_.loggerDialogs.showError)
            context.dialogs.showError = environment_.loggerDialogs.showError;
        context.archive = environment_.archive;
        context.meter = [this] { return archiveMeter(); };
        loggerDownload_ = std::make_unique<LoggerDownloadCommand>(std::move(context));
    }
    return *loggerDownload_;
}

void TfrmMain::LoadData1Click()
{
    (void)loggerDownload().run();
}
SetupCommands& TfrmMain::setupCommands()
{
    if (!setupCommands_) {
        SetupCommands::Context context;
        context.mainWindow = this;
        context.mdiArea = mdiArea_;
        context.link = &link_;
        context.dateOrder = dateOrder_;
        const QLocale locale = environment_.locale.value_or(QLocale::system());
        context.dateSeparator = SetupTexts::dateSeparator(locale.dateFormat(QLocale::ShortFormat));
        if (environment_.loggerDialogs.exec)
            context.dialogs.exec = environment_.loggerDialogs.exec;
        if (environment_.loggerDialogs.showError)
            context.dialogs.showError = environment_.loggerDialogs.showError;
        setupCommands_ = std::make_unique<SetupCommands>(std::move(context));
    }
    return *setupCommands_;
}

void TfrmMain::EraseMemory1Click()
{
    setupCommands().EraseMemory1Click();
}

void TfrmMain::Setup1Click()
{
    setupCommands().Setup1Click();
}

void TfrmMain::btnOutputToGraphClick()
{
    tabularCommands().btnOutputToGraphClick(activeChild());
}

// Scheduled auto-loading ----------------------------------------------------------

AutoLoadCommands& TfrmMain::autoLoad()
{
    if (!autoLoad_) {
        AutoLoadCommands::Context context;
        context.mainWindow = this;
        context.link = &link_;
        context.loggerDownload = [this]() -> LoggerDownloadCommand& { return loggerDownload(); };
        context.dataDirectory = dataDirectory_;
        context.dialogs = completed(environment_.fileDialogs);
        context.archive = environment_.archive;
        context.meter = [this] { return archiveMeter(); };
        autoLoad_ = std::make_unique<AutoLoadCommands>(std::move(context));
        QLabel* panel = statusPanels_[2];
        connect(autoLoad_.get(), &AutoLoadCommands::statusTextChanged, panel,
                [panel](const QString& text) {
                    panel->setText(text);
                    // Wide enough for the next cycle's date and time.
                    const int needed = panel->fontMetrics().horizontalAdvance(text) + 12;
                    panel->setFixedWidth(std::max(StatusPanelWidths[2], needed));
                    // Seen also while a cycle blocks the main thread.
                    if (panel->isVisible())
                        panel->repaint();
                });
        connect(autoLoad_.get(), &AutoLoadCommands::cycleFinished, panel, &QLabel::setToolTip);
    }
    return *autoLoad_;
}

void TfrmMain::StartAutoLoading1Click()
{
    autoLoad().StartAutoLoading1Click();
}

void TfrmMain::StopAutoLoading1Click()
{
    autoLoad().StopAutoLoading1Click();
}

void TfrmMain::dumpandclearmemory1Click()
{
    (void)autoLoad().dumpAndClearMemory();
}

void TfrmMain::estLoadingEvery1Minute1Click()
{
    autoLoad().startRecordingIfIdle();
    Timer1.start();
}

void TfrmMain::Timer1Timer()
{
    (void)autoLoad().dumpAndClearMemory();
}

// Real-time recording -------------------------------------------------------------

void TfrmMain::connectRealTime()
{
    RealTimeCommands::Environment environment;
    environment.meterConnected = [this] { return link_.MeterConnected(); };
    environment.createGraph = [this] { createRealTimeGraphWindow(); };
    environment.dialogParent = this;
    environment.saveGraph = [this](TfrmGraph& graph) {
        return fileCommands().saveBeforeDiscard(graph);
    };
    realTime_ = std::make_unique<RealTimeCommands>(
        graphState_, environment_.clock ? *environment_.clock : MeterClock::system(),
        std::move(environment));
    link_.setRecorder(&realTime_->recorder());
    connect(realTime_.get(), &RealTimeCommands::runStopChanged, this,
            [this](bool runEnabled, bool stopEnabled) {
                Run1->setEnabled(runEnabled);
                Stop1->setEnabled(stopEnabled);
            });
    connect(realTime_.get(), &RealTimeCommands::rejectedCountText, Edit1, &QLineEdit::setText);
    connect(&link_, &MeterLink::clearButtonEnabledChanged, &realTime_->graphController(),
            &RealTimeGraphController::setClearEnabled);
}

ArchiveMeter TfrmMain::archiveMeter()
{
    return {link_.MeterModel(), link_.Comm1().DeviceName()};
}

void TfrmMain::connectArchive()
{
    realTimeArchiver_ = std::make_unique<RealTimeArchiver>(
        realTime_->recorder(), environment_.clock ? *environment_.clock : MeterClock::system());
    realTimeArchiver_->setMeter([this] {
        const LoggerImageSource source =
            LoggerArchiving::sourceOf(MeasurementKind::RealTime, [this] { return archiveMeter(); });
        return RealTimeArchiver::Meter{source.meterModel, source.meterPort};
    });
    connect(realTimeArchiver_.get(), &RealTimeArchiver::inArchiveChanged, this,
            [this](bool inArchive) { graphState_.RealTimeDataInArchive = inArchive; });
    ArchiveSession* session = environment_.archive;
    if (!session)
        return;
    setArchive(session->archive());
    // A server out of reach hands over to its local spool, and back.
    connect(session, &ArchiveSession::archiveChanged, this,
            [this, session] { setArchive(session->archive()); });
    realTimeArchiver_->setArchive([session] { return session->archive(); });
    connect(realTimeArchiver_.get(), &RealTimeArchiver::writeFailed, session,
            &ArchiveSession::reportWriteFailure);
    connect(realTimeArchiver_.get(), &RealTimeArchiver::writeSucceeded, session,
            &ArchiveSession::reportWriteSuccess);
    // Queued: a failure inside the receive handler is told after it, so the
    // message box does not hold the live stream in the middle of a frame.
    connect(session, &ArchiveSession::problem, this,
            [this](const QString& text) {
                HandlerGuard::run([this, &text] { tellArchiveProblem(text); });
            },
            Qt::QueuedConnection);
}

void TfrmMain::tellArchiveProblem(const QString& text)
{
    completed(environment_.fileDialogs).inform(this, text);
}

void TfrmMain::btnRunClick()
{
    realTime_->btnRunClick();
}

void TfrmMain::btnStopClick()
{
    realTime_->btnStopClick();
}
