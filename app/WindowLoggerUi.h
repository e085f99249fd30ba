#pragma once

// The logger commands' windows in the program: the information window
// (TfrmInfo, an MDI child), the transfer progress dialog (TfrmScope, a
// stay-on-top dialog), message boxes and questions with their exact texts
// and buttons, errors through the application's error display, and the
// "DataLogger" graph window through LoggerGraphWindow.
//
// Contract: main thread only. The logger commands block the main thread, so
// the info window and the progress dialog are painted directly (repaint)
// instead of through the event loop. The one exception: a newly shown
// progress dialog waits (at most 0.5 s, user input held back) for the window
// system to expose it, since an unexposed window cannot be painted at all.
// Message boxes go through LoggerDialogs::exec, which tests replace.

#include "app/LoggerDialogs.h"
#include "files/dialogs/TfrmInfo.h"
#include "files/dialogs/TfrmScope.h"
#include "logger/LoggerUi.h"

#include <QPointer>

class LoggerGraphWindow;
class QMdiArea;
class QMdiSubWindow;

class WindowLoggerUi : public LoggerUi
{
public:
    // mdiArea holds the info window; mainWindow parents the progress dialog
    // and the boxes; graphWindow may be null (the window calls then do
    // nothing). None is owned.
    WindowLoggerUi(QWidget* mainWindow, QMdiArea* mdiArea, LoggerGraphWindow* graphWindow,
                   LoggerDialogs dialogs = LoggerDialogs::modal());
    ~WindowLoggerUi() override;
    WindowLoggerUi(const WindowLoggerUi&) = delete;
    WindowLoggerUi& operator=(const WindowLoggerUi&) = delete;

    void showInfo(const QString& text) override;
    void closeInfo() override;
    void showTransferProgress(int totalBytes) override;
    void setBytesReceived(int bytesReceived) override;
    void repaintTransferProgress() override;
    void closeTransferProgress() override;
    void showMessage(const QString& text) override;
    [[nodiscard]] Answer ask(const QString& text, Buttons buttons) override;
    void showError(const QString& text) override;
    bool prepareLoggerWindow() override;
    void showDataSetRows(const QList<DataSetListRow>& rows) override;
    void showDataSet(int index) override;

    // The windows while they are shown (null otherwise).
    [[nodiscard]] TfrmInfo* infoWindow() const { return info_; }
    [[nodiscard]] TfrmScope* transferProgressDialog() const { return progress_; }

private:
    QWidget* mainWindow_;
    QMdiArea* mdiArea_;
    LoggerGraphWindow* graphWindow_;
    LoggerDialogs dialogs_;
    QPointer<TfrmInfo> info_;
    QPointer<QMdiSubWindow> infoFrame_;
    // The window that was active before the information window came; it is
    // active again when the information window goes.
    QPointer<QMdiSubWindow> activeBeforeInfo_;
    QPointer<TfrmScope> progress_;
};
