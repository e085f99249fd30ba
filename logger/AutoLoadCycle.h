#pragma once

// One unattended emptying of the logger (dumpAndClearMemory): stop the
// meter's recording, download its memory, write every data set to its own
// dump file and the whole image beside them, and only when all of that was
// written and read back correct erase the memory; then restart the meter,
// start its recording again and give the device back to the live link. Each
// cycle appends one line to "autoload.log" in the data directory.
//
// Whatever fails, nothing is erased that was not safely written, and the
// cycle still ends with "boot" and "E" on the logger port (the meter
// recording again) and the live port open, "a" sent and MainTimer running.
//
// The recording key toggles, so the cycle never presses it on a state it
// does not know: without a live frame of the meter it first lets the live
// link run for a while; when still no frame tells whether the meter records,
// the cycle downloads and writes the sets but neither stops, erases, restarts
// nor starts the meter (a record it may be growing is not in the download).
// After the final "E" it watches the live frames until they show REC, and
// presses the key again (a few times at most) when they show it idle; a
// meter that does not record again is named in the reason.
//
// Timing, on the one clock: "c", 500 ms; the download; "erase", 5 s; an
// information read of the data set count; "boot", 3 s; "E", 1 s; the live
// port back, 2 x 100 ms; "a", 1 s.

#include "logger/AutoLoadLog.h"

#include <QDateTime>
#include <QLocale>
#include <QString>

class AutoLoadDevice;
class LoggerMemory;
class MeterClock;

class AutoLoadCycle
{
public:
    static constexpr int AfterClearMs = 500;
    static constexpr int AfterEraseMs = 5000;
    static constexpr int AfterBootMs = 3000;
    static constexpr int AfterRecordMs = 1000;
    static constexpr int PortSwitchMs = 100;
    static constexpr int AfterLiveStartMs = 1000;
    // Live frames come at least every few hundred milliseconds, and the tick
    // gives a silent link up after 3 s: two fresh frames within 6 s, or the
    // meter is not talking.
    static constexpr int FreshFramesLimitMs = 6000;
    static constexpr int RecordingChecks = 3;

    // memory is the program's memory image (emptied before and after).
    AutoLoadCycle(AutoLoadDevice& device, LoggerMemory& memory, MeterClock& clock);

    // Where the dump files and the image file go.
    void setDataDirectory(const QString& directory) { dataDirectory_ = directory; }
    // Where autoload.log is kept; the data directory when not set.
    void setLogDirectory(const QString& directory) { logDirectory_ = directory; }
    // Dates and decimals of the dump files and the log.
    void setLocale(const QLocale& locale) { locale_ = locale; }

    // The cycle. A cycle asked for while one runs, or while another logger
    // command holds the device, is skipped (and logged as skipped).
    AutoLoadOutcome dumpAndClearMemory();

    [[nodiscard]] bool running() const { return running_; }

private:
    void runCycle(AutoLoadOutcome& outcome);
    void downloadAndKeep(AutoLoadOutcome& outcome);
    void eraseMemory(AutoLoadOutcome& outcome);
    void finish(bool restartMeter, AutoLoadOutcome& outcome);
    [[nodiscard]] bool confirmRecordingAgain();

    AutoLoadDevice& device_;
    LoggerMemory& memory_;
    MeterClock& clock_;
    QString dataDirectory_;
    QString logDirectory_;
    QLocale locale_;
    bool running_ = false;
};
