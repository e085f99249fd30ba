#include "meter/MeterLink.h"

#include "meter/LiveFrameCutter.h"

#include <QCoreApplication>
#include <QScopeGuard>
#include <QThread>

#include <algorithm>

namespace {
constexpr int IdReplySize = 4;

QString readIdReply(TComPort& port, bool waitOnCompletion)
{
    char reply[IdReplySize] = {};
    const int got = port.Read(reply, IdReplySize, waitOnCompletion);
    return QString::fromLatin1(reply, std::max(0, got));
}

void waitWhile(const bool& flag)
{
    while (flag) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
        QThread::msleep(1);
    }
}
} // namespace

MeterLink::MeterLink(MeterClock& clock, QObject* parent) : QObject(parent), clock_(clock)
{
    configureLivePort(comm1_);
    configureLivePort(comm2_);
    mainTimer_.setTimerType(Qt::PreciseTimer);
    mainTimer_.setInterval(InitialTickInterval);
    connect(&mainTimer_, &QTimer::timeout, this, [this] { HandlerGuard::run([this] { MainTimerTimer(); }); });
}

MeterLink::~MeterLink()
{
    mainTimer_.stop();
    comm1_.setOnRxChar(nullptr);
    closePortQuietly(comm1_);
    closePortQuietly(comm2_);
}

void MeterLink::configureLivePort(TComPort& port)
{
    port.setBaudRate(br9600);
    port.setDataBits(db8);
    port.setParity(paNone);
    port.setStopBits(sb1);
    port.FlowControl().setDTR(dcDisable);
    port.FlowControl().setRTS(rcEnable);
    // Serial errors never show a message: they end the operation silently.
    port.setOnError([](TCustomComPort&, const EComError&, TComAction& action) { action = caAbort; });
}

void MeterLink::setPortList(const QStringList& ports)
{
    ports_ = ports;
    if (!ports_.isEmpty())
        selectPort(0);
}

void MeterLink::selectPort(int index)
{
    if (index < 0 || index >= ports_.size())
        return;
    selectedPort_ = index;
    portName_ = ports_.at(index);
    comm1_.setDeviceName(portName_);
    emit portSelected(index);
}

void MeterLink::closePortQuietly(TComPort& port)
{
    try {
        port.setActive(false);
    } catch (...) {
    }
}

void MeterLink::openPortQuietly(TComPort& port)
{
    // The port's error handler turns the failure into a silent abort; the
    // reason is kept on the way, so that the user can be told why the live
    // port stays closed.
    int error = 0;
    QString text;
    const TComErrorEvent silent = port.OnError();
    port.setOnError([&](TCustomComPort& sender, const EComError& failure, TComAction& action) {
        error = failure.code();
        text = failure.message();
        if (silent)
            silent(sender, failure, action);
    });
    try {
        port.setActive(true);
    } catch (...) {
    }
    port.setOnError(silent);
    if (&port == &comm1_) {
        if (port.Active())
            noteLivePortOpen(0, QString());
        else if (error != 0)
            noteLivePortOpen(error, text);
    }
}

void MeterLink::noteLivePortOpen(int error, const QString& text)
{
    const QString device = comm1_.DeviceName();
    if (error == livePortOpenError_ && (error == 0 || device == livePortOpenErrorDevice_))
        return;
    livePortOpenError_ = error;
    livePortOpenErrorText_ = text;
    livePortOpenErrorDevice_ = error ? device : QString();
    emit livePortOpenErrorChanged(device, error, text);
}

void MeterLink::attachReceiveHandler()
{
    comm1_.setOnRxChar([this](TCustomComPort& sender) { Comm1RxChar(sender); });
}

void MeterLink::detachReceiveHandler()
{
    comm1_.setOnRxChar(nullptr);
}

void MeterLink::sendCommand(char letter)
{
    commandFrame_.setLetter(letter);
    comm1_.Write(commandFrame_.data(), CommandFrame::Size, false);
}

bool MeterLink::searchPorts()
{
    detachReceiveHandler();
    bool found = false;
    for (int i = 0; i < ports_.size() && !found; ++i) {
        closePortQuietly(comm1_);
        selectPort(i);
        emit progressText(QStringLiteral("Searching Meter on ") + portName_);
        clock_.Delay(300);
        openPortQuietly(comm1_);
        if (!comm1_.Active())
            continue;
        try {
            sendCommand(CommandLetter::Identify);
            clock_.Delay(500);
            if (comm1_.InputCount() >= IdReplySize) {
                const QString reply = readIdReply(comm1_, true);
                if (reply.contains(QLatin1String("841")) || reply.contains(QLatin1String("842"))) {
                    meterModel_ = reply.contains(QLatin1String("841")) ? 841 : 842;
                    meterConnected_ = true;
                    lastConnectedPort_ = i;
                    found = true;
                    emit runStopChanged(true, false);
                }
            }
        } catch (...) {
            // A port that fails mid-probe is simply not the meter's.
        }
        if (!found)
            closePortQuietly(comm1_);
    }
    attachReceiveHandler();
    return found;
}

void MeterLink::connectAtStartUp(int savedPort, int savedModel)
{
    emit progressText(QStringLiteral("Initializing COM Port ..."));
    if (searchPorts()) {
        emit noConnectionLabelChanged(false);
        emit statusChanged(portName_, LinkStatus::On);
    } else {
        meterModel_ = (savedModel == 841 || savedModel == 842) ? savedModel : 842;
        closePortQuietly(comm1_);
        selectPort(savedPort >= 0 && savedPort < ports_.size() ? savedPort : 0);
        emit noConnectionLabelChanged(true);
        emit statusChanged(portName_, LinkStatus::Off);
    }
    emit modelChanged(meterModel_);
    startLiveLink();
}

void MeterLink::startLiveLink()
{
    liveLinkWanted_ = true;
    closePortQuietly(comm1_);
    clock_.Delay(500);
    attachReceiveHandler();
    openPortQuietly(comm1_);
    clock_.Delay(100);
    try {
        comm1_.PurgeInput();
        if (comm1_.Active())
            sendCommand(CommandLetter::StartLive);
    } catch (...) {
    }
    mainTimer_.start();
}

void MeterLink::stopLiveLink()
{
    liveLinkWanted_ = false;
    mainTimer_.stop();
    closePortQuietly(comm1_);
    clock_.Delay(100);
}

void MeterLink::Comm1RxChar(TCustomComPort&)
{
    if (rxBusy_)
        return;
    rxBusy_ = true;
    const auto clearBusy = qScopeGuard([this] { rxBusy_ = false; });

    const int waiting = std::min(comm1_.InputCount(), MaxBytesPerEvent);
    if (waiting > 0) {
        char chunk[MaxBytesPerEvent];
        const int got = comm1_.Read(chunk, waiting, false);
        receiveBuffer_.append(chunk, std::max(0, got));
    }

    // Nobody answers frames once the port has been closed under us.
    while (receiveBuffer_.size() >= LiveFrame::Size && comm1_.Active()) {
        if (!LiveFrameCutter::seekFrame(receiveBuffer_))
            break;
        frameSeen_ = true;
        if (!meterConnected_) {
            // The frame stays at the head and is decoded on the next pass.
            identifyMeter();
            continue;
        }
        const MeterReading reading =
            decodeFrame(reinterpret_cast<const std::uint8_t*>(receiveBuffer_.constData()));
        receiveBuffer_.remove(0, LiveFrame::Size);
        dispatchReading(reading);
        requestNextFrame();
        emit frameAnswered();
    }
}

void MeterLink::requestNextFrame()
{
    // A peer that stopped reading still has an earlier request waiting in
    // the port. The meter answers each "X" with one frame, so one waiting
    // request is enough, and writing behind it would only fail: the frames
    // that keep coming are still all taken, decoded and dispatched.
    if (comm1_.HeldOutputCount() > 0)
        return;
    sendCommand(CommandLetter::NextFrame);
}

void MeterLink::dispatchReading(const MeterReading& reading)
{
    meterRecording_ = reading.recording;
    recordingKnown_ = true;
    if (panel_)
        panel_->renderReading(reading);
    if (recordingRunning())
        recorder_->sampleReading(reading);
    if (monitor_)
        monitor_->renderReading(reading);
}

bool MeterLink::recordingRunning() const
{
    return recorder_ && recorder_->isRunning();
}

void MeterLink::identifyMeter()
{
    waitWhile(tickBusy_);
    mainTimer_.stop();
    const TNotifyEvent receiveHandler = comm1_.OnRxChar();
    // Whatever happens on the port, the link must come back with its receive
    // handler and its tick, or the program would never notice the meter again.
    const auto restore = qScopeGuard([&] {
        if (!comm1_.OnRxChar()) {
            try {
                comm1_.setOnRxChar(receiveHandler);
            } catch (...) {
            }
        }
        mainTimer_.start();
    });
    detachReceiveHandler();
    comm1_.PurgeInput();

    commandFrame_.setLetter(CommandLetter::Identify);
    clock_.Delay(100);
    comm1_.Write(commandFrame_.data(), CommandFrame::Size, false);
    clock_.Delay(1000);
    QString reply;
    if (comm1_.InputCount() >= IdReplySize)
        reply = readIdReply(comm1_, false);

    meterModel_ = reply.contains(QLatin1String("841")) ? 841 : 842;
    meterConnected_ = true;
    emit modelChanged(meterModel_);
    if (meterModel_ == 842)
        emit dataLoggerEnabledChanged(true);

    comm1_.setOnRxChar(receiveHandler);
    comm1_.PurgeInput();
    sendCommand(CommandLetter::StartLive);

    emit statusChanged(portName_, LinkStatus::On);
    emit noConnectionLabelChanged(false);
    const bool running = recordingRunning();
    emit runStopChanged(!running, running);
    emit clearButtonEnabledChanged(!running);
}

void MeterLink::MainTimerTimer()
{
    const QDateTime now = clock_.currentDateTime();
    tickBusy_ = true;
    const auto clearBusy = qScopeGuard([this] { tickBusy_ = false; });

    if (frameSeen_) {
        frameSeen_ = false;
        missCount_ = 0;
    } else if (++missCount_ >= LinkLossLimit) {
        declareLinkLost();
    }

    if (meterConnected_ && autoLoadCheck_)
        autoLoadCheck_(now);

    // A device that went away (a hang-up closes the port) is looked for
    // again on every tick, so the link comes back by itself when it returns.
    const bool reopened = liveLinkWanted_ && !comm1_.Active() && reopenLivePort();
    if (!meterConnected_ && comm1_.Active() && !reopened) {
        try {
            sendCommand(CommandLetter::Poll);
        } catch (const EAbort&) {
            // A failed poll must not stop the tick from keeping its pace.
        }
    }
    correctTickInterval();
}

void MeterLink::declareLinkLost()
{
    emit runStopChanged(false, false);
    emit dataLoggerEnabledChanged(false);
    emit statusChanged(portName_, LinkStatus::None);
    emit noConnectionLabelChanged(true);
    if (meterConnected_)
        receiveBuffer_.clear();
    meterConnected_ = false;
    recordingKnown_ = false;
    missCount_ = 0;
    emit linkLost();
}

bool MeterLink::reopenLivePort()
{
    openPortQuietly(comm1_);
    if (!comm1_.Active())
        return false;
    // Bytes from before the loss belong to no frame that can still come.
    receiveBuffer_.clear();
    recordingKnown_ = false;
    // Pseudo-terminals and USB adapters renumbered by the kernel reuse
    // names: what is there now may be another program's port or another
    // instrument, which must not be talked to as the meter.
    if (!identifiesAsMeter()) {
        closePortQuietly(comm1_);
        return false;
    }
    try {
        comm1_.PurgeInput();
        sendCommand(CommandLetter::StartLive);
    } catch (const EAbort&) {
        // Gone again at once: the next tick tries anew.
    }
    emit livePortReopened();
    return true;
}

bool MeterLink::identifiesAsMeter()
{
    const TNotifyEvent receiveHandler = comm1_.OnRxChar();
    const auto reattach = qScopeGuard([&] {
        try {
            comm1_.setOnRxChar(receiveHandler);
        } catch (...) {
        }
    });
    try {
        detachReceiveHandler();
        comm1_.PurgeInput();
        sendCommand(CommandLetter::Identify);
        clock_.Delay(ReidentifyReplyMs);
        const int waiting = std::min(comm1_.InputCount(), MaxBytesPerEvent);
        if (waiting < IdReplySize)
            return false;
        char bytes[MaxBytesPerEvent];
        const int got = comm1_.Read(bytes, waiting, false);
        const QString reply = QString::fromLatin1(bytes, std::max(0, got));
        const bool is841 = reply.contains(QLatin1String("841"));
        if (!is841 && !reply.contains(QLatin1String("842")))
            return false;
        const int model = is841 ? 841 : 842;
        if (model != meterModel_) {
            meterModel_ = model;
            emit modelChanged(meterModel_);
        }
        return true;
    } catch (...) {
        return false;
    }
}

void MeterLink::correctTickInterval()
{
    const MeterClock::TimePoint t = clock_.now();
    if (firstTick_) {
        firstTick_ = false;
        lastTick_ = t;
        return;
    }
    const double lateMs = (std::chrono::duration<double>(t - lastTick_).count() - 1.0) * 1000.0;
    const int next = static_cast<int>(mainTimer_.interval() - lateMs);
    mainTimer_.setInterval(std::max(next, MinimumTickInterval));
    lastTick_ = t;
}

void MeterLink::ComboBoxDeviceNameChange(const QString& text)
{
    waitWhile(tickBusy_);
    closePortQuietly(comm1_);
    recordingKnown_ = false;
    portName_ = text;
    selectedPort_ = static_cast<int>(ports_.indexOf(text));
    comm1_.setDeviceName(text);
    openPortQuietly(comm1_);
}
