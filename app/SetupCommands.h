#pragma once

// The main window's logger setup put together: its own logger port on the
// main window's link, the window-free commands (LoggerSetup) with their
// windows (WindowSetupUi), the "Data Logger Setup" window (Setup1Click) and
// the main menu's Erase Memory (EraseMemory1Click).
//
// Contract: owned by the main window and created once; main thread only.

#include "app/LoggerDialogs.h"
#include "app/WindowSetupUi.h"
#include "logger/LoggerPort.h"
#include "logger/LoggerSetup.h"
#include "logger/LoggerSetupPort.h"

#include <QPointer>

class MeterLink;
class QMdiArea;
class QMdiSubWindow;

class SetupCommands
{
public:
    struct Context
    {
        QWidget* mainWindow = nullptr;
        QMdiArea* mdiArea = nullptr;
        MeterLink* link = nullptr;
        // DateOrder (1..4) and the date separator of the user's short date format.
        int dateOrder = 2;
        QString dateSeparator = QStringLiteral("/");
        LoggerDialogs dialogs = LoggerDialogs::modal();
    };

    explicit SetupCommands(Context context);

    // Restores the setup window when it is open, else creates it.
    void Setup1Click();
    void EraseMemory1Click();

    // The setup window while it is open (null otherwise).
    [[nodiscard]] TfrmSetup* window() const { return window_; }
    [[nodiscard]] LoggerSetup& setup() { return setup_; }
    [[nodiscard]] WindowSetupUi& ui() { return ui_; }

private:
    QMdiArea* mdiArea_;
    LoggerPort port_;
    LoggerSetupPort setupPort_;
    WindowSetupUi ui_;
    LoggerSetup setup_;
    QPointer<TfrmSetup> window_;
    QPointer<QMdiSubWindow> frame_;
};
