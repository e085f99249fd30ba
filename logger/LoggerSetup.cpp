#include "logger/LoggerSetup.h"

#include "logger/LoggerSetupUi.h"
#include "logger/SetupFrames.h"
#include "logger/SetupTexts.h"
#include "logger/PortActions.h"
#include "meter/MeterLink.h"
#include "serial/ComErrors.h"

#include <QCoreApplication>
#include <QScopeGuard>

#include <utility>

namespace {
using PortActions::quietly;
using Label = LoggerSetupUi::Label;

// The two digits of an edit as a number, or -1.
int twoDigitValue(const QString& text)
{
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty() || trimmed.size() > 2)
        return -1;
    for (QChar c : trimmed) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return -1;
    }
    return trimmed.toInt();
}
} // namespace

LoggerSetup::LoggerSetup(LoggerSetupPort& port, LoggerSetupUi& ui) : port_(port), ui_(ui) {}

void LoggerSetup::setDateFormat(int dateOrder, const QString& separator)
{
    dateOrder_ = dateOrder;
    dateSeparator_ = separator;
}

std::optional<SetupInterval> LoggerSetup::parseInterval(const QString& minutes,
                                                        const QString& seconds)
{
    const int m = twoDigitValue(minutes);
    const int s = twoDigitValue(seconds);
    const bool underAMinute = m == 0 && s >= 1 && s <= 59;
    const bool aMinute = m == 1 && s == 0;
    if (!underAMinute && !aMinute)
        return std::nullopt;
    return SetupInterval{SetupFrames::toBcd(m), SetupFrames::toBcd(s), m * 60 + s};
}

bool LoggerSetup::refuseWhileRecording()
{
    if (!port_.link().MeterRecording())
        return false;
    ui_.showMessage(SetupTexts::EraseWhileRecording);
    return true;
}

bool LoggerSetup::setClock()
{
    MeterClock& clock = port_.clock();
    port_.enterLoggerMode();
    clock.Delay(LoggerSetupPort::StepDelayMs);
    if (!port_.sendAndVerify(SetupFrames::rtc()))
        return false;
    clock.Delay(LoggerSetupPort::StepDelayMs);
    clockFrame_ = SetupFrames::clock(clock.currentDateTime());
    return port_.sendAndVerify(clockFrame_);
}

bool LoggerSetup::Button1Click()
{
    ui_.setBusy(true);
    bool done = false;
    {
        const auto restore = qScopeGuard([this] { port_.restore(); });
        done = port_.connectLoggerPort() && setClock();
    }
    ui_.setBusy(false);
    ui_.showMessage(done ? SetupTexts::clockMessage(clockFrame_) : SetupTexts::TimeUpdateFailed);
    return done;
}

bool LoggerSetup::Button2Click(const QString& minutes, const QString& seconds)
{
    const std::optional<SetupInterval> interval = parseInterval(minutes, seconds);
    if (!interval) {
        ui_.showMessage(SetupTexts::InvalidInput);
        return false;
    }
    ui_.setBusy(true);
    bool done = false;
    {
        const auto restore = qScopeGuard([this] { port_.restore(); });
        if (port_.connectLoggerPort()) {
            port_.enterLoggerMode();
            done = port_.sendAndVerify(
                SetupFrames::interval(interval->minutesBcd, interval->secondsBcd));
            if (done) {
                // The meter takes the new interval on its restart.
                port_.clock().Delay(LoggerSetupPort::StepDelayMs);
                port_.boot();
            }
        }
    }
    ui_.setBusy(false);
    ui_.showMessage(done ? SetupTexts::IntervalDone : SetupTexts::IntervalFailed);
    return done;
}

LoggerSetup::EraseConsent LoggerSetup::askBeforeErase()
{
    const std::optional<ControlPage> page = port_.readControlPage();
    if (!page)
        return EraseConsent::NoInformation;
    if (page->dataSets() == 0)
        return EraseConsent::Erase;
    ui_.setBusy(false);
    const bool yes = ui_.askYesNo(SetupTexts::EraseQuestion);
    ui_.setBusy(true);
    return yes ? EraseConsent::Erase : EraseConsent::Declined;
}

bool LoggerSetup::Button3Click()
{
    if (refuseWhileRecording())
        return false;
    ui_.setBusy(true);
    bool erased = false;
    bool declined = false;
    {
        const auto restore = qScopeGuard([this] { port_.restore(); });
        if (port_.connectLoggerPort()) {
            port_.enterLoggerMode();
            switch (askBeforeErase()) {
            case EraseConsent::Erase:
                erased = port_.eraseMemory();
                port_.boot();
                break;
            case EraseConsent::Declined:
                declined = true;
                break;
            case EraseConsent::NoInformation:
                break;
            }
        }
    }
    ui_.setBusy(false);
    if (!declined)
        ui_.showMessage(erased ? SetupTexts::EraseDone : SetupTexts::EraseFailed);
    return erased;
}

void LoggerSetup::clearInformationLabels()
{
    for (Label label : {Label::MemoryAvailable, Label::MeterTime, Label::Interval, Label::DataSets,
                        Label::Version, Label::MemoryTest})
        ui_.setLabel(label, QString());
}

SetupInformation LoggerSetup::readInformationAfterFirmwareRequest()
{
    SetupInformation result;
    result.portTakenOver = true;
    result.information = port_.readInformationAfterFirmwareRequest();
    const LoggerInformation& info = result.information;
    if (info.firmware)
        ui_.setLabel(Label::Version, SetupTexts::firmwareText(*info.firmware, locale_));
    if (info.meterClock)
        ui_.setLabel(Label::MeterTime,
                     SetupTexts::meterTimeText(*info.meterClock, dateOrder_, dateSeparator_));
    if (!info.controlPage)
        return result;
    const ControlPage& page = *info.controlPage;
    ui_.setLabel(Label::DataSets, QString::number(page.dataSets()));
    ui_.setLabel(Label::Interval,
                 SetupTexts::intervalText(page.intervalMinutesBcd(), page.intervalSecondsBcd()));
    ui_.setLabel(Label::MemoryAvailable, QString::number(page.memoryAvailable()));
    port_.clock().Delay(MemoryTestPauseMs);
    result.memoryTest = runMemoryTest(port_, ui_, page);
    ui_.setLabel(Label::MemoryTest, memoryTestText(result.memoryTest));
    return result;
}

SetupInformation LoggerSetup::Button4Click()
{
    clearInformationLabels();
    ui_.setBusy(true);
    SetupInformation result;
    {
        const auto restore = qScopeGuard([this] { port_.restore(); });
        if (port_.connectLoggerPort()) {
            port_.enterLoggerMode();
            port_.write(SetupFrames::firmware());
            result = readInformationAfterFirmwareRequest();
        }
    }
    ui_.setBusy(false);
    return result;
}

bool LoggerSetup::Button5Click(const QString& minutes, const QString& seconds)
{
    if (refuseWhileRecording())
        return false;
    MeterClock& clock = port_.clock();
    const auto settle = [&] {
        clock.Delay(LoggerSetupPort::StepDelayMs);
        port_.purge();
        clock.Delay(LoggerSetupPort::StepDelayMs);
    };

    ui_.showStage(SetupTexts::StageClock);
    ui_.setBusy(true);
    const bool taken = port_.connectLoggerPort();
    // The combined run restarts the meter before it gives the device back.
    const auto restore = qScopeGuard([&] {
        if (taken) {
            clock.Delay(LoggerSetupPort::StepDelayMs);
            port_.boot();
            clock.Delay(LoggerSetupPort::StepDelayMs);
        }
        port_.restore(taken ? CombinedRestoreSettleMs : 0);
    });
    bool ok = taken && setClock();

    if (ok) {
        ui_.showStage(SetupTexts::StageInterval);
        const std::optional<SetupInterval> interval = parseInterval(minutes, seconds);
        ok = interval.has_value();
        if (ok) {
            settle();
            ok = port_.sendAndVerify(
                SetupFrames::interval(interval->minutesBcd, interval->secondsBcd));
        }
    }
    if (ok) {
        ui_.showStage(SetupTexts::StageErase);
        settle();
        switch (askBeforeErase()) {
        case EraseConsent::Erase:
            ok = port_.eraseMemory();
            break;
        case EraseConsent::Declined:
            // The other stages still run; only the erase was not wanted.
            break;
        case EraseConsent::NoInformation:
            ok = false;
            break;
        }
    }
    if (ok) {
        ui_.showStage(SetupTexts::StageTest);
        clearInformationLabels();
        settle();
        port_.write(SetupFrames::firmware());
        const SetupInformation read = readInformationAfterFirmwareRequest();
        ok = read.information.controlPage.has_value();
    }

    ui_.showStage(SetupTexts::StageDone);
    ui_.closeStage();
    ui_.setBusy(false);
    if (!ok)
        ui_.showMessage(SetupTexts::RunFailed);
    return ok;
}

bool LoggerSetup::EraseMemory1Click()
{
    if (refuseWhileRecording())
        return false;
    if (!ui_.askYesNo(SetupTexts::EraseQuestion))
        return false;

    MeterLink& link = port_.link();
    MeterClock& clock = port_.clock();
    TComPort& comm1 = link.Comm1();
    ui_.setBusy(true);
    link.MainTimer().stop();
    while (link.RxBusy()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        clock.Delay(1);
    }
    // The erase goes out on the live port itself, its receive handler
    // detached meanwhile.
    const TNotifyEvent receiveHandler = comm1.OnRxChar();
    (void)quietly([&] { comm1.setActive(false); });
    clock.Delay(LoggerSetupPort::StepDelayMs);
    (void)quietly([&] { comm1.setOnRxChar(nullptr); });
    (void)quietly([&] { comm1.setActive(true); });
    clock.Delay(MenuEraseReopenMs);
    const QByteArray frame = SetupFrames::erase();
    const bool sent = quietly([&] {
        if (!comm1.Active())
            throw EAbort();
        comm1.Write(frame.constData(), int(frame.size()), false);
    });
    (void)quietly([&] { comm1.setActive(false); });
    clock.Delay(LoggerSetupPort::StepDelayMs);
    (void)quietly([&] { comm1.setOnRxChar(receiveHandler); });
    (void)quietly([&] { comm1.setActive(true); });
    clock.Delay(LoggerSetupPort::StepDelayMs);
    link.MainTimer().start();
    // The live stream stopped while nobody answered it.
    (void)quietly([&] {
        if (comm1.Active())
            link.sendCommand(CommandLetter::StartLive);
    });
    ui_.setBusy(false);
    ui_.showMessage(sent ? SetupTexts::PowerCycle : SetupTexts::EraseFailed);
    return sent;
}
