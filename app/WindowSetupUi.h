#pragma once

// The logger setup's LoggerSetupUi in the program: message boxes and the
// erase question through LoggerDialogs (which tests replace), the stages of
// the combined run in the information window (TfrmInfo), the hourglass as
// the application's override cursor with SetupTexts::WaitingForMeter in the
// information window while no stage is shown (taking the port over alone
// waits seconds), and the labels and the grid of the setup window while it
// is open.
//
// Contract: main thread only; none of the windows is owned.

#include "app/LoggerDialogs.h"
#include "app/TfrmSetup.h"
#include "app/WindowLoggerUi.h"
#include "files/dialogs/BusyCursor.h"
#include "logger/LoggerSetupUi.h"

#include <QPointer>

#include <optional>

class QMdiArea;

class WindowSetupUi : public LoggerSetupUi
{
public:
    WindowSetupUi(QWidget* mainWindow, QMdiArea* mdiArea, LoggerDialogs dialogs);
    ~WindowSetupUi() override;
    WindowSetupUi(const WindowSetupUi&) = delete;
    WindowSetupUi& operator=(const WindowSetupUi&) = delete;

    // The window whose labels and grid show the results (may be null).
    void setWindow(TfrmSetup* window) { window_ = window; }

    void showMessage(const QString& text) override;
    [[nodiscard]] bool askYesNo(const QString& text) override;
    void setBusy(bool busy) override;
    void setLabel(Label label, const QString& text) override;
    void startMemoryTestLog() override;
    void logMemoryTestRow(const QStringList& cells) override;
    void showStage(const QString& text) override;
    void closeStage() override;

    [[nodiscard]] TfrmInfo* stageWindow() const { return windows_.infoWindow(); }

private:
    QWidget* mainWindow_;
    LoggerDialogs dialogs_;
    WindowLoggerUi windows_;
    QPointer<TfrmSetup> window_;
    std::optional<BusyCursor> busy_;
    // The information window that setBusy opened to say what is waited for
    // (the combined run shows its own stages instead).
    bool waitShown_ = false;
};
