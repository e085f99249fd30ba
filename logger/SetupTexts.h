#pragma once

// The texts of the logger setup, exactly as the user sees them, and the
// values of the information labels in the user's regional settings. The
// status texts of the combined run are Traditional Chinese.

#include <QByteArray>
#include <QLocale>
#include <QString>

#include <cstdint>

namespace SetupTexts {

inline const QString Caption = QStringLiteral("Data Logger Setup");
inline const QString AdjustTime = QStringLiteral("Adjust Meter Time To Computer Time");
inline const QString IntervalGroup = QStringLiteral("Meter Recording Interval ");
// The accepted range: the record decoder reads intervals up to one minute.
inline const QString IntervalHint = QStringLiteral("mm:ss(00:01~01:00)");
inline const QString AdjustInterval =
    QStringLiteral("Adjust Meter Recording Interval To This Amount");
inline const QString EraseButton = QStringLiteral("Erase Meter Memory");
inline const QString InformationGroup = QStringLiteral("Meter DataLogger Information");
inline const QString FirmwareLabel = QStringLiteral("FirmWare Version:");
inline const QString MeterTimeLabel = QStringLiteral("Meter Time:");
inline const QString IntervalLabel = QStringLiteral("Recording Interval:");
inline const QString DataSetsLabel = QStringLiteral("Data Sets In Memory:");
inline const QString MemoryAvailableLabel = QStringLiteral("Memory Available:");
inline const QString MemoryTestLabel = QStringLiteral("Memory Test:");
inline const QString ReadButton = QStringLiteral("Read  ");
inline const QString ExecuteAll = QStringLiteral("全部執行");

inline const QString TimeUpdateFailed = QStringLiteral("Meter time updated fail");
inline const QString InvalidInput = QStringLiteral("Invalid Input");
// In the information window while a setup command waits for the meter.
inline const QString WaitingForMeter =
    QStringLiteral("Waiting for the meter's data logger, please wait .....");
inline const QString IntervalDone = QStringLiteral("Recording Interval Setup Successfully");
inline const QString IntervalFailed = QStringLiteral("Recording Interval Setup Fail");
inline const QString EraseDone = QStringLiteral("Memory erased successfully");
inline const QString EraseFailed = QStringLiteral("Memory erased fail");
inline const QString EraseQuestion = QStringLiteral("Are you sure to erase memory ?");
inline const QString EraseWhileRecording =
    QStringLiteral("The meter is recording data, please stop recording before erasing data.");
inline const QString PowerCycle =
    QStringLiteral("Please power off and power on meter before recording data or loading again.");

inline const QString MemoryTestOk = QStringLiteral("OK");
inline const QString MemoryTestFailed = QStringLiteral("False");
inline const QString MemoryTestSkipped = QStringLiteral("Skipped");
inline const QString MemoryTestSkippedRecording = QStringLiteral("Skipped (recording)");
inline const QString MemoryTestSkippedUnknown = QStringLiteral("Skipped (no live frame)");

// The stages of the combined run.
inline const QString StageClock = QStringLiteral("開始設定電表時間");
inline const QString StageInterval = QStringLiteral("設定記錄間隔");
inline const QString StageErase = QStringLiteral("清除記憶體");
inline const QString StageTest = QStringLiteral("開始測試記憶體");
inline const QString StageDone = QStringLiteral("Preparing to load .....");
inline const QString RunFailed = QStringLiteral("設定失敗");

// The message after a clock frame was echoed: the values are the two digits
// of the BCD bytes that were sent.
[[nodiscard]] QString clockMessage(const QByteArray& clockFrame);
// The firmware byte times 0.01 with two decimals (105 -> "1.05", "1,05" under de_DE).
[[nodiscard]] QString firmwareText(std::uint8_t firmware, const QLocale& locale = QLocale());
// The "ti" reply as date and time: year, month and day in the date order
// (1 d m y, 2 m d y, 3 y m d, 4 y d m, any other m d y) joined by the
// separator, two blanks, hh:mm:ss. Bytes missing from a short reply count as 0.
[[nodiscard]] QString meterTimeText(const QByteArray& clockReply, int dateOrder,
                                    const QString& separator);
// "MM:SS(mm:ss)" from the control page's interval bytes.
[[nodiscard]] QString intervalText(std::uint8_t minutesBcd, std::uint8_t secondsBcd);
// The date separator of a short date format: the first of "/", "-", ".", ","
// it contains, else "-".
[[nodiscard]] QString dateSeparator(const QString& shortDateFormat);

} // namespace SetupTexts
