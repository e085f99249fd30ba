#pragma once

// The program's only top-level window: a maximised multiple-document frame
// with the toolbar, the main menu, the status bar and the timers. It owns the
// live link (MeterLink: Comm1, Comm2, MainTimer and the link state) and the
// saved settings, creates the control panel, runs start-up and shut-down, and
// displays what the link reports. It never decides the link state itself.
//
// Start-up: the constructor is FormCreate (date order, settings, digit
// images, port list); the first show schedules FormShow, which waits (at
// most about a second, user input held back) until the window system has
// exposed and maximised the window, then paints it with the panel and the
// splash before the blocking port search, the live stream and the real-time
// graph placed for the maximised work area.
//
// Shut-down: a close is refused and retried shortly while the receive
// handler runs, then every graph window with unsaved data asks its question,
// and only when none refuses are the child windows closed (one Cancel keeps
// the program and all its windows open), then the live port is closed and
// the settings are written.

#include "app/AppSettings.h"
#include "app/LoggerArchiving.h"
#include "app/DigitImages.h"
#include "app/LoggerDialogs.h"
#include "app/TfrmHistory.h"
#include "app/TfrmPanel.h"
#include "data/DataSetCollection.h"
#include "files/dialogs/FileDialogRunner.h"
#include "graph/GraphWindowState.h"
#include "meter/MeterLink.h"

#include <QLocale>
#include <QMainWindow>
#include <QPointer>
#include <QTimer>

#include <functional>
#include <memory>
#include <optional>

class QAction;
class QComboBox;
class QLabel;
class QLineEdit;
class QMdiArea;
class QMdiSubWindow;
class QMenu;
class QPrinter;
class QToolBar;
class TfrmAbout;
class TfrmGraph;
class RealTimeCommands;
class RealTimeArchiver;
class ArchiveSession;
class TfrmMonitor;
class LoggerDownloadCommand;
class SetupCommands;
class AutoLoadCommands;
class FileCommands;
class TabularCommands;
class Archive;

// What the window takes from its surroundings; every member has the real
// system's behaviour when left empty, and tests replace what they need.
struct MainWindowEnvironment
{
    // The clock of every serial wait; the system clock when null.
    MeterClock* clock = nullptr;
    // The serial ports present; TComPort::EnumComPorts when empty.
    std::function<QStringList()> listPorts;
    // The locale whose short date format gives DateOrder; the system's when unset.
    std::optional<QLocale> locale;
    // The directory of the program's files; DataDirectory::choose("") when empty.
    QString dataDirectory;
    // Shows Setup and the auto-loading items of the "&Data Logger" menu
    // (--logger-tools); the saved setting "logger-tools" does the same.
    bool loggerTools = false;
    // Opens the help page; QDesktopServices::openUrl when empty.
    std::function<bool(const QUrl&)> openUrl;
    // Message boxes and errors of the logger commands; each empty member is
    // the real modal one.
    LoggerDialogs loggerDialogs;
    // File dialogs, modal dialogs and messages of the file commands (Save,
    // Open, Print and the list window's commands); each empty member is the
    // real modal one.
    FileDialogRunner fileDialogs;
    // The measurement archive every recording and download goes to, owned by
    // the caller and outliving the window; null: none. Its problems are told
    // through fileDialogs.inform.
    ArchiveSession* archive = nullptr;
};

class TfrmMain : public QMainWindow
{
    Q_OBJECT

public:
    using Environment = MainWindowEnvironment;

    static constexpr int CloseRetryInterval = 50;
    static constexpr int MaxMinInterval = 500;
    static constexpr int Timer1Interval = 60000;
    // The caption of Help > Contents' messages, and what it says when no
    // browser could be started for the help file at path.
    static inline const QString HelpCaption = QStringLiteral("Help");
    [[nodiscard]] static QString helpNotOpenedText(const QString& path);

    explicit TfrmMain(Environment environment = {}, QWidget* parent = nullptr);
    ~TfrmMain() override;

    // The start-up splash: receives the progress texts and is closed at the
    // end of FormShow. The splash frees itself when closed.
    void setSplash(TfrmAbout* splash);

    [[nodiscard]] MeterLink& link() { return link_; }
    [[nodiscard]] QMdiArea* mdiArea() const { return mdiArea_; }
    [[nodiscard]] TfrmPanel* PanelWindow() const { return panelWindow_; }
    [[nodiscard]] int DateOrder() const { return dateOrder_; }
    [[nodiscard]] const SavedSettings& savedSettings() const { return settings_; }
    [[nodiscard]] const QString& dataDirectory() const { return dataDirectory_; }
    [[nodiscard]] QString statusText(int panel) const;
    // Why the live port cannot be opened, with what to do about it, as the
    // status bar shows it; empty while the port opens.
    [[nodiscard]] QString portProblemText() const;
    // The printer chosen in Printer Setup, used by every later printout.
    [[nodiscard]] QPrinter& printer();

private:
    // The state shared by the graph windows; declared before the names below
    // that refer into it.
    GraphWindowState graphState_;

public:
    // Seconds between real-time samples; saved as "RealTimeRate". Part of
    // the graph windows' shared state.
    float& RealTimeInterval = graphState_.RealTimeInterval;

    // ---- Graph windows ------------------------------------------------------
    [[nodiscard]] GraphWindowState& graphState() { return graphState_; }
    // The data set collection of the last decode; the DataLogger graph shows it.
    [[nodiscard]] DataSetCollection& dataSets() { return dataSets_; }
    // A new graph window with the caption in the MDI area, freed when closed.
    TfrmGraph* addGraphWindow(const QString& caption);
    // The "DataLogger" graph window (LoggerGraph), created with its data set
    // list when there is none, else restored.
    TfrmGraph* openLoggerGraph();
    // Creates and places the real-time graph (RealTimeGraph) unless it exists.
    void createRealTimeGraphWindow();
    // For developers: a generated collection of three data sets, the first
    // of `points` samples, shown in the DataLogger graph as after a download.
    void openSampleGraph(int points);

    // The "Load Data" command with its logger port and memory image.
    [[nodiscard]] LoggerDownloadCommand& loggerDownload();
    // The logger setup window (Setup) and the menu's Erase Memory.
    [[nodiscard]] SetupCommands& setupCommands();
    // Scheduled auto-loading: Start/Stop, the schedule, the cycle.
    [[nodiscard]] AutoLoadCommands& autoLoad();

    // Real-time recording: the Run and Stop commands, the recorder and the
    // real-time graph's recording side.
    [[nodiscard]] RealTimeCommands& realTime() { return *realTime_; }
    // Writes each real-time recording into the archive as it records.
    [[nodiscard]] RealTimeArchiver& realTimeArchiver() { return *realTimeArchiver_; }
    // The archive, or null without one.
    [[nodiscard]] ArchiveSession* archiveSession() const { return environment_.archive; }

    // Save and Open, and the saves of the save questions.
    [[nodiscard]] FileCommands& fileCommands();
    // The measurement archive File > "History..." shows, null when there is
    // none (the item is then disabled). It outlives its use here: a new one
    // (or none) closes the History window first.
    void setArchive(Archive* archive);
    [[nodiscard]] Archive* archive() const { return archive_; }
    // The History window, null while it is not open.
    [[nodiscard]] TfrmHistory* historyWindow() const { return historyWindow_; }
    // The Monitor window (Real Time > "Monitor..."), null while it is not open.
    [[nodiscard]] TfrmMonitor* monitorWindow() const;
    // The list window's commands: text import and export, Output Tabular to
    // graph, printing and Printer Setup.
    [[nodiscard]] TabularCommands& tabularCommands();
    // The widget of the active child window (the last active one while the
    // program itself is not active), or null.
    [[nodiscard]] QWidget* activeChild() const;

    QTimer MaxMinTimer;
    QTimer Timer1;

signals:
    // FormShow has finished: the live stream runs and the splash is closed.
    void startUpFinished();

protected:
    void showEvent(QShowEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void buildActions();
    void buildToolBar();
    void buildMenus();
    void buildStatusBar();
    void connectLink();
    void connectRealTime();
    void connectArchive();
    // The meter as the archive records it: model and live port.
    [[nodiscard]] ArchiveMeter archiveMeter();
    void tellArchiveProblem(const QString& text);

    void FormCreate();
    void FormShow();
    [[nodiscard]] bool FormCloseQuery();
    // Asks every child window that may refuse to close (a graph window with
    // unsaved data) before any of them closes; true when all agree.
    [[nodiscard]] bool childWindowsAgreeToClose();
    void FormClose();
    void showPortProblem(const QString& device, int error, const QString& text);

    void paintBeforeBlocking();
    void createPanel();
    void panelClosed();
    void fillPortList();
    void showModel(int model);
    void rebuildWindowMenu();

    // View, Window and Help commands.
    void ControlPanel1Click();
    void RealTimeGraph1Click();
    // Shows or hides the "Acoustic" box of every graph window; saved.
    void AcousticStatistics1Click();
    void Tile1Click();
    void Cascade1Click();
    void About1Click();
    void Contents1Click();
    void Exit1Click();
    void PrinterSetup1Click();

    // Commands of the subsystems that plug in later.
    void Open1Click();
    void Save1Click();
    // The PDF noise report of the active graph window (enabled only then).
    void ExportReport1Click();
    // Opens the History window, or brings it to the front.
    void History1Click();
    void Monitor1Click();
    void btnPrintClick();
    void LoadData1Click();
    void EraseMemory1Click();
    void Setup1Click();
    void StartAutoLoading1Click();
    void StopAutoLoading1Click();
    void dumpandclearmemory1Click();
    void estLoadingEvery1Minute1Click();
    void btnOutputToGraphClick();
    void btnRunClick();
    void btnStopClick();
    void Timer1Timer();

    QAction* addCommand(const QString& name, const QString& text, void (TfrmMain::*handler)());

    Environment environment_;
    MeterLink link_;
    DigitImages digitImages_;
    SavedSettings settings_;
    int dateOrder_ = 1;
    QString dataDirectory_;
    bool formShown_ = false;
    bool closeRetryPending_ = false;

    QMdiArea* mdiArea_ = nullptr;
    QToolBar* Panel1 = nullptr;
    QComboBox* ComboBoxDeviceName = nullptr;
    QLineEdit* Edit1 = nullptr;
    QLineEdit* MaskEdit1 = nullptr;
    QLabel* statusPanels_[3] = {};
    // Left of the panels: why the live port cannot be opened, and the remedy.
    QLabel* portProblem_ = nullptr;

    // A toolbar button and its menu item are one action.
    QAction* Open1 = nullptr;     // SpeedButton1, "&Open"
    QAction* Save1 = nullptr;     // SpeedButton2, "&Save"
    QAction* Print1 = nullptr;    // btnPrint, "&Print"
    QAction* LoadData1 = nullptr; // btnDataLogger, "Load Data"
    QAction* btnOutputToGraph = nullptr;
    QAction* Run1 = nullptr;      // btnRun, "Run"
    QAction* Stop1 = nullptr;     // btnStop, "Stop"
    QAction* Contents1 = nullptr; // SpeedButton8, "&Contents"
    QAction* PrinterSetup1 = nullptr;
    QAction* ExportReport1 = nullptr;
    QAction* History1 = nullptr;
    QAction* Exit1 = nullptr;
    QAction* EraseMemory1 = nullptr;
    QAction* Setup1 = nullptr;
    QAction* StartAutoLoading1 = nullptr;
    QAction* StopAutoLoading1 = nullptr;
    QAction* dumpandclearmemory1 = nullptr;
    QAction* estLoadingEvery1Minute1 = nullptr;
    QAction* ControlPanel1 = nullptr;
    QAction* RealTimeGraph1 = nullptr;
    QAction* AcousticStatistics1 = nullptr;
    QAction* Tile1 = nullptr;
    QAction* Cascade1 = nullptr;
    QAction* About1 = nullptr;
    QMenu* DataLogger1 = nullptr;
    QMenu* Window1 = nullptr;

    DataSetCollection dataSets_;
    QPointer<TfrmPanel> panelWindow_;
    QPointer<TfrmAbout> splash_;
    QPointer<TfrmAbout> aboutWindow_;
    std::unique_ptr<QPrinter> printer_;
    std::unique_ptr<RealTimeCommands> realTime_;
    std::unique_ptr<RealTimeArchiver> realTimeArchiver_;
    std::unique_ptr<LoggerDownloadCommand> loggerDownload_;
    std::unique_ptr<SetupCommands> setupCommands_;
    std::unique_ptr<AutoLoadCommands> autoLoad_;
    std::unique_ptr<TabularCommands> tabularCommands_;
    std::unique_ptr<FileCommands> fileCommands_;
    Archive* archive_ = nullptr;
    QPointer<TfrmHistory> historyWindow_;
    QPointer<TfrmMonitor> monitorWindow_;
};
