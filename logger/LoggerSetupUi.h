#pragma once

// What the logger setup shows and asks, without any window: TfrmSetup
// implements it with its labels, its grid, the information window and
// message boxes; tests and audimark-cli plug in their own.
//
// Contract: every call comes from the main thread while a command blocks it;
// implementations show and return at once, except askYesNo(), which returns
// the user's answer (closing the question counts as No).

#include <QString>
#include <QStringList>

class LoggerSetupUi
{
public:
    // The value labels of the information group.
    enum class Label
    {
        Version,         // lblVer
        MeterTime,       // lblMeterTime
        Interval,        // lblInt
        DataSets,        // lblDataSets
        MemoryAvailable, // lblMemoryAvailable
        MemoryTest       // lblMemTest
    };

    virtual ~LoggerSetupUi() = default;

    // A message box with one OK button.
    virtual void showMessage(const QString& text) = 0;
    // A confirmation with the buttons Yes and No.
    [[nodiscard]] virtual bool askYesNo(const QString& text) = 0;
    // The hourglass cursor while a command talks to the meter.
    virtual void setBusy(bool busy) = 0;
    virtual void setLabel(Label label, const QString& text) = 0;

    // The memory test's log (Grid1): two rows, the second blank with "00" in
    // its first column.
    virtual void startMemoryTestLog() = 0;
    // Fills columns 1 onwards of the last row, appends a blank row and
    // scrolls it into view.
    virtual void logMemoryTestRow(const QStringList& cells) = 0;

    // The information window of the combined run, showing its stage.
    virtual void showStage(const QString& text) = 0;
    virtual void closeStage() = 0;
};
