#pragma once

// The setup commands of a virtual model 842: all 8-byte frames
// 02 b1 b2 b3 b4 b5 b6 03, recognised by their bytes:
//   "c"      02 63 ..            no answer; the live stream stops
//   "rtc"    02 72 74 63 ..      echo; the next frame is the clock frame
//   clock    02 YY MM DD hh mm ss 03 (BCD, after "rtc")   echo; sets the meter clock
//   "int"    02 69 6E 74 MM SS 00 03   echo; stores the interval in the control page
//   "boot"   02 62 6F 6F 74 ..   no answer; the meter restarts (stream and recording stop)
//   "erase"  02 65 72 61 73 65 ..  no answer; the logger memory is erased
//   "V"      02 56 ..            echo and the firmware byte (9 bytes)
//   "ti"     02 74 69 ..         8 clock bytes: YY 00 MM DD hh mm ss 00 (BCD)
// The information "P" and "Q" (sub-command "i") are the logger's transfer;
// only their faults live here.
//
// The meter clock runs beside the wall clock with the offset the last clock
// frame set; it stamps new data sets and the live frames.
//
// Faults name the command they spoil: "rtc", "clock", "int", "V", "ti",
// "info". No echo sends nothing at all, a wrong echo changes byte 4, a short
// reply drops the last byte (the firmware byte of "V", byte 7 of "ti").
//
// Contract: driven by MeterProtocol from one thread; answers are appended
// to the caller's output list.

#include "tools/virtual-meter/MeterLogger.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QSet>
#include <QString>

#include <chrono>
#include <functional>
#include <optional>

namespace vmeter {

struct SetupFaults
{
    QSet<QString> noEcho;
    QSet<QString> wrongEcho;
    QSet<QString> shortReply;
    // The information "P" is echoed but no block follows.
    bool noInfoBlock = false;
    // After "boot" the meter answers nothing for this long.
    std::chrono::milliseconds bootSilence{0};
    // "erase" is taken but the memory stays as it is.
    bool ignoreErase = false;
};

struct SetupSettings
{
    // Firmware byte answered to "V" (105 shows as 1.05).
    std::uint8_t firmware = 105;
    // The meter clock at start; the wall clock when unset.
    std::optional<QDateTime> meterTime;
    SetupFaults faults;
};

class MeterSetup
{
public:
    using WallClock = std::function<QDateTime()>;

    enum class Action
    {
        NotSetup,   // not a setup frame: somebody else's
        Answered,   // handled; nothing else to do
        StopStream, // "c"
        Boot,       // "boot"
        Erased      // "erase" (also when the fault ignores it)
    };

    MeterSetup(const SetupSettings& settings, WallClock wall, MeterLogger& logger);

    [[nodiscard]] Action handleFrame(const QByteArray& frame, QList<QByteArray>& out);
    // Applies the information faults to the logger's answer to "P" with "i".
    void spoilInformation(QList<LoggerMessage>& answers);

    [[nodiscard]] static bool isInformationFrame(const QByteArray& frame);
    [[nodiscard]] QDateTime meterTime() const;
    [[nodiscard]] std::chrono::milliseconds bootSilence() const { return faults_.bootSilence; }
    // A restart forgets a half-done clock setting.
    void reset() { awaitingClock_ = false; }

private:
    void reply(const QString& name, QByteArray bytes, QList<QByteArray>& out) const;
    // The date and time of a clock frame; invalid when it is none.
    [[nodiscard]] static QDateTime clockOf(const QByteArray& frame);
    [[nodiscard]] QByteArray clockReply() const;

    SetupFaults faults_;
    std::uint8_t firmware_;
    WallClock wall_;
    MeterLogger& logger_;
    qint64 offsetMs_ = 0;
    bool awaitingClock_ = false;
};

} // namespace vmeter
