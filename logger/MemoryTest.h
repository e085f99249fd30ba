#pragma once

// The write/read-back test of the logger memory: 0x96 is written to
// 0x008F00, 0x009F00, ... 0x00FF00 and read back, each reply (9 bytes: the
// echo of the frame and the byte) checked. Only addresses above the end
// address of the recorded data are tested, so no recorded sample is ever
// overwritten; without a control page (no end address known) nothing is
// written at all. The test stops at the first failure.
// While the meter records, or while no live frame has told whether it does,
// nothing is written: the control page's end address does not yet cover a
// record the meter is growing, so the test would write into it.
//
// Per address: PurgeInput, the write frame, at most 1.5 s for 9 bytes
// (exactly 9 or it fails), the reply logged in the grid with the time it
// took, then the same for the read frame.

#include "logger/ControlPage.h"

#include <QList>

#include <optional>

class LoggerSetupPort;
class LoggerSetupUi;

enum class MemoryTestResult
{
    Ok,                     // every tested address passed
    Failed,                 // a reply was missing, short or wrong
    Skipped,                // no address above the recorded data, or no control page
    SkippedRecording,       // the meter records
    SkippedRecordingUnknown // no live frame told whether the meter records
};

// The addresses the test would use with this end address, in order.
[[nodiscard]] QList<quint32> memoryTestAddresses(int endAddress);

[[nodiscard]] MemoryTestResult runMemoryTest(LoggerSetupPort& port, LoggerSetupUi& ui,
                                             const std::optional<ControlPage>& page);

// "OK", "False", "Skipped", "Skipped (recording)" or "Skipped (no live frame)".
[[nodiscard]] QString memoryTestText(MemoryTestResult result);
