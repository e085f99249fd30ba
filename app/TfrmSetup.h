#pragma once

// The logger setup window, "Data Logger Setup": set the meter clock, the
// recording interval, erase the logger, read its information with the
// memory test and its log, or run everything at once. The window only reads
// its edits, calls LoggerSetup and shows what it reports; it is an MDI child
// that frees itself when closed.
//
// Contract: main thread only. The LoggerSetup outlives the window. A command
// blocks the program until it ends (the meter's delays: at least 5 s).

#include "logger/LoggerSetupUi.h"

#include <QWidget>

class LoggerSetup;
class QGroupBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;

class TfrmSetup : public QWidget
{
    Q_OBJECT

public:
    static constexpr int GridColumns = 12;
    static constexpr int GridColumnWidth = 32;
    static constexpr int GridRowHeight = 16;

    explicit TfrmSetup(LoggerSetup& setup, QWidget* parent = nullptr);

    // What the commands report.
    void setLabelText(LoggerSetupUi::Label label, const QString& text);
    [[nodiscard]] QString labelText(LoggerSetupUi::Label label) const;
    void startMemoryTestLog();
    void logMemoryTestRow(const QStringList& cells);

    // The commands of the five buttons.
    void Button1Click();
    void Button2Click();
    void Button3Click();
    void Button4Click();
    void Button5Click();

private:
    [[nodiscard]] QLabel* valueLabel(LoggerSetupUi::Label label) const;
    void setCommandsEnabled(bool enabled);
    template <typename Command> void runCommand(Command command);

    LoggerSetup& setup_;
    QPushButton* Button1 = nullptr;
    QGroupBox* GroupBox1 = nullptr;
    QLineEdit* edtInt1 = nullptr;
    QLineEdit* edtInt2 = nullptr;
    QLabel* Label2 = nullptr;
    QPushButton* Button2 = nullptr;
    QPushButton* Button3 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QLabel* lblVer = nullptr;
    QLabel* lblMeterTime = nullptr;
    QLabel* lblInt = nullptr;
    QLabel* lblDataSets = nullptr;
    QLabel* lblMemoryAvailable = nullptr;
    QLabel* lblMemTest = nullptr;
    QPushButton* Button4 = nullptr;
    QTableWidget* Grid1 = nullptr;
    QPushButton* Button5 = nullptr;
};
