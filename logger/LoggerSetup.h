#pragma once

// The commands of the logger setup without their window: set the meter
// clock (Button1Click), set the recording interval (Button2Click), erase the
// logger (Button3Click), read the logger information with the memory test
// (Button4Click), all of them in one run (Button5Click), and the main
// menu's Erase Memory (EraseMemory1Click). TfrmSetup and audimark-cli call
// these with their own LoggerSetupUi.
//
// Contract:
// - Main thread only; each command blocks until it ends and, once past its
//   input checks, ends with the device back on the live link (Comm1 open,
//   MainTimer running, "a" written), whatever happened on the way.
// - A success message is shown only for a step the meter confirmed: an
//   echo for the clock and the interval, an information read showing no
//   data sets for an erase.
// - Intervals from 00:01 to 01:00 are accepted (the record decoder reads no
//   longer ones); anything else is "Invalid Input" and touches no port.
// - Erasing asks "Are you sure to erase memory ?" first (the setup window:
//   when the memory holds data sets) and is refused while the meter records.
// - The memory test writes only above the recorded data, and nothing while
//   the meter records or its recording state is unknown (MemoryTest.h).

#include "logger/LoggerSetupPort.h"
#include "logger/MemoryTest.h"

#include <QLocale>
#include <QString>

#include <cstdint>
#include <optional>

class LoggerSetupUi;

// A recording interval as the "int" frame carries it.
struct SetupInterval
{
    std::uint8_t minutesBcd = 0;
    std::uint8_t secondsBcd = 0;
    int seconds = 0;
};

// What an information read found.
struct SetupInformation
{
    bool portTakenOver = false;
    LoggerInformation information;
    MemoryTestResult memoryTest = MemoryTestResult::Skipped;
};

class LoggerSetup
{
public:
    static constexpr int MemoryTestPauseMs = 1500;
    static constexpr int CombinedRestoreSettleMs = 300;
    static constexpr int MenuEraseReopenMs = 2000;

    LoggerSetup(LoggerSetupPort& port, LoggerSetupUi& ui);

    // The date order (1..4) and separator of the user's short date format,
    // for the meter time label.
    void setDateFormat(int dateOrder, const QString& separator);
    void setLocale(const QLocale& locale) { locale_ = locale; }

    // The interval of the two edits: minutes 00 with seconds 01..59, or
    // exactly 01:00; empty for anything else.
    [[nodiscard]] static std::optional<SetupInterval> parseInterval(const QString& minutes,
                                                                    const QString& seconds);

    // Each returns whether it did what it was asked.
    bool Button1Click();
    bool Button2Click(const QString& minutes, const QString& seconds);
    bool Button3Click();
    SetupInformation Button4Click();
    bool Button5Click(const QString& minutes, const QString& seconds);
    bool EraseMemory1Click();

    // The clock frame of the last Button1Click or Button5Click (empty before).
    [[nodiscard]] const QByteArray& lastClockFrame() const { return clockFrame_; }

private:
    [[nodiscard]] bool setClock();
    [[nodiscard]] bool refuseWhileRecording();
    // Reads the data set count and, when the memory holds sets, asks first.
    enum class EraseConsent
    {
        Erase,
        Declined,
        NoInformation
    };
    [[nodiscard]] EraseConsent askBeforeErase();
    void clearInformationLabels();
    // Firmware reply onwards; fills the labels and runs the memory test.
    SetupInformation readInformationAfterFirmwareRequest();

    LoggerSetupPort& port_;
    LoggerSetupUi& ui_;
    QLocale locale_;
    int dateOrder_ = 2;
    QString dateSeparator_ = QStringLiteral("/");
    QByteArray clockFrame_;
};
