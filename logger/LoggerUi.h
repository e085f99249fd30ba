#pragma once

// What the logger commands show and ask, without any window: the main window
// implements it with TfrmInfo, TfrmScope, message boxes and the "DataLogger"
// graph window; tests and audimark-cli plug in scripted versions.
//
// Contract: every call comes from the main thread while a command blocks it;
// implementations show and return at once, except ask(), which returns the
// user's answer (closing the dialog counts as Cancel).

#include "logger/DataSetListRow.h"

#include <QList>
#include <QString>

class LoggerUi
{
public:
    enum class Buttons
    {
        RetryOkCancel, // the data error question
        RetryCancel    // the failed read question
    };
    enum class Answer
    {
        Retry,
        Ok,
        Cancel
    };

    virtual ~LoggerUi() = default;

    // The information window with one label ("Preparing to load .....").
    virtual void showInfo(const QString& text) = 0;
    virtual void closeInfo() = 0;

    // The transfer progress dialog: caption "Data Retriving Progress", the
    // "bytes received" and "total bytes" counters and the bar from 0 to total.
    virtual void showTransferProgress(int totalBytes) = 0;
    // Called after every accepted block; the dialog repaints.
    virtual void setBytesReceived(int bytesReceived) = 0;
    // Called after every rejected block or discarded fragment.
    virtual void repaintTransferProgress() = 0;
    virtual void closeTransferProgress() = 0;

    // A message box with one OK button.
    virtual void showMessage(const QString& text) = 0;
    // A confirmation dialog with the given buttons.
    [[nodiscard]] virtual Answer ask(const QString& text, Buttons buttons) = 0;
    // An error that ends the command, for the application's error display.
    virtual void showError(const QString& text) = 0;

    // Creates the "DataLogger" graph window, or restores it when it exists.
    // Returns true when the window was created (not only restored).
    virtual bool prepareLoggerWindow() = 0;
    // Replaces the rows of its data set list (heading row excluded) and
    // selects the first row.
    virtual void showDataSetRows(const QList<DataSetListRow>& rows) = 0;
    // Puts data set k on the "DataLogger" graph window.
    virtual void showDataSet(int index) = 0;
};
