#include "serial/TComPort.h"

#include "serial/ComEventChannel.h"
#include "serial/PosixSerialDevice.h"
#include "serial/TComThread.h"

#include <QCoreApplication>
#include <QSerialPortInfo>

#include <cerrno>
#include <unistd.h>

namespace {

const QString kClosedPortMessage = QStringLiteral("Can't perform this operation on a closed port");
const QString kOpenPortMessage = QStringLiteral("Can't perform this operation on an open port");
const QString kThreadMessage = QStringLiteral("Can't create thread");
const QString kTimeoutMessage = QStringLiteral("Timeout");

// Zero timeouts would mean "wait for ever"; a port must never hang the
// program, so such waits get a cap generous for any baud rate in use.
constexpr int kDefaultWaitMs = 1000;
constexpr int kDefaultWaitPerByteMs = 2;

QThread::Priority threadPriority(TThreadPriority priority)
{
    switch (priority) {
    case tpIdle:
        return QThread::IdlePriority;
    case tpLowest:
        return QThread::LowestPriority;
    case tpLower:
        return QThread::LowPriority;
    case tpNormal:
        return QThread::NormalPriority;
    case tpHigher:
        return QThread::HighPriority;
    case tpHighest:
        return QThread::HighestPriority;
    case tpTimeCritical:
        return QThread::TimeCriticalPriority;
    }
    return QThread::InheritPriority;
}

QStringList& registeredExtraPorts()
{
    static QStringList ports;
    return ports;
}

void appendOnce(QStringList& ports, const QString& port)
{
    if (!port.isEmpty() && !ports.contains(port))
        ports.append(port);
}

} // namespace

struct TCustomComPort::Private
{
    PosixSerialDevice device;
    // The part of non-waiting writes the device had no room for yet.
    QByteArray heldOutput;
    std::unique_ptr<TComThread> thread;
    std::shared_ptr<ComEventChannel> channel;
};

// Settings objects -----------------------------------------------------------

void TFlowControl::setDTR(TDTRControl value)
{
    dtr_ = value;
    port_.applySettings();
}

void TFlowControl::setRTS(TRTSControl value)
{
    rts_ = value;
    port_.applySettings();
}

void TFlowControl::setXOnXOff(TXOnXOffControl value)
{
    xonxoff_ = value;
    port_.applySettings();
}

void TFlowControl::setXOnLimit(std::int16_t value)
{
    xonLimit_ = value;
    port_.applySettings();
}

void TFlowControl::setXOffLimit(std::int16_t value)
{
    xoffLimit_ = value;
    port_.applySettings();
}

void TCharacters::setXOn(char value)
{
    xon_ = value;
    port_.applySettings();
}

void TCharacters::setXOff(char value)
{
    xoff_ = value;
    port_.applySettings();
}

void TCharacters::setError(char value)
{
    error_ = value;
    port_.applySettings();
}

void TCharacters::setEof(char value)
{
    eof_ = value;
    port_.applySettings();
}

void TCharacters::setEvent(char value)
{
    event_ = value;
    port_.applySettings();
}

void TBufferSizes::setInput(int value)
{
    input_ = value;
    port_.applyBufferSizes();
}

void TBufferSizes::setOutput(int value)
{
    output_ = value;
    port_.applyBufferSizes();
}

void TTimeouts::setReadInterval(int value)
{
    readInterval_ = value;
    port_.applyTimeouts();
}

void TTimeouts::setReadMultiplier(int value)
{
    readMultiplier_ = value;
    port_.applyTimeouts();
}

void TTimeouts::setReadConstant(int value)
{
    readConstant_ = value;
    port_.applyTimeouts();
}

void TTimeouts::setWriteMultiplier(int value)
{
    writeMultiplier_ = value;
    port_.applyTimeouts();
}

void TTimeouts::setWriteConstant(int value)
{
    writeConstant_ = value;
    port_.applyTimeouts();
}

// Port -------------------------------------------------------------------------

TCustomComPort::TCustomComPort() : d(std::make_unique<Private>()) {}

TCustomComPort::~TCustomComPort()
{
    // The owner is being torn down: its Before/AfterClose handlers may refer
    // to parts of it already gone, so the destructor closes without them.
    stopEventThread();
    d->device.close(finishOutputBeforeClose());
}

bool TCustomComPort::Active() const
{
    return d->device.isOpen();
}

void TCustomComPort::setActive(bool value)
{
    if (value == Active())
        return;
    if (value)
        openPort();
    else if (calledFromEventThread())
        closeHandedToMainThread();
    else
        closePort();
}

void TCustomComPort::openPort()
{
    if (beforeOpen_)
        beforeOpen_(*this);
    stopEventThread();
    d->device.close();
    try {
        d->device.open(deviceName_);
        d->device.purgeInput();
        // The previous user of the device (often our other port object, at a
        // hand-over) may have written just before; its bytes are let out.
        d->device.drainOrPurgeOutput(writeTimeoutMs(d->device.outputCount()));
        d->device.apply(currentSettings());
        updateEventThread();
    } catch (const EComError& error) {
        stopEventThread();
        d->device.close();
        raiseError(error);
    }
    if (afterOpen_)
        afterOpen_(*this);
}

void TCustomComPort::closePort()
{
    if (beforeClose_)
        beforeClose_(*this);
    stopEventThread();
    d->device.close(finishOutputBeforeClose());
    if (afterClose_)
        afterClose_(*this);
}

void TCustomComPort::closeHandedToMainThread()
{
    QMetaObject::invokeMethod(
        QCoreApplication::instance(),
        [channel = d->channel, this] {
            if (!channel->terminated())
                HandlerGuard::run([this] { setActive(false); });
        },
        Qt::QueuedConnection);
}

void TCustomComPort::raiseError(const EComError& error)
{
    TComAction action = caFail;
    if (onError_) {
        const TComErrorEvent handler = onError_;
        handler(*this, error, action);
    }
    if (action == caAbort)
        throw EAbort();
    throw error;
}

void TCustomComPort::requireOpen()
{
    if (!Active())
        raiseError(EComError(kClosedPortMessage, 0));
}

void TCustomComPort::requireClosed()
{
    if (Active())
        raiseError(EComError(kOpenPortMessage, 0));
}

SerialSettings TCustomComPort::currentSettings() const
{
    SerialSettings settings;
    settings.baudRate = baudRate_;
    settings.customBaudRate = customBaudRate_;
    settings.dataBits = dataBits_;
    settings.parity = parity_;
    settings.stopBits = stopBits_;
    settings.options = options_;
    settings.dtr = flowControl_.DTR();
    settings.rts = flowControl_.RTS();
    settings.xonXoff = flowControl_.XOnXOff();
    settings.xon = characters_.XOn();
    settings.xoff = characters_.XOff();
    return settings;
}

void TCustomComPort::applySettings()
{
    if (!Active())
        return;
    try {
        d->device.apply(currentSettings());
    } catch (const EComError& error) {
        raiseError(error);
    }
}

void TCustomComPort::applyBufferSizes()
{
    // termios has no queue sizes; the kernel sizes tty buffers itself. The
    // input size still sets the "80 percent full" mark of the event thread.
    if (d->channel)
        d->channel->setRx80Threshold(bufferSizes_.Input() * 8 / 10);
}

void TCustomComPort::applyTimeouts()
{
    // Nothing to hand to the device: Read and Write bound their own waits.
}

void TCustomComPort::setDeviceName(const QString& value)
{
    requireClosed();
    deviceName_ = value;
}

void TCustomComPort::setBaudRate(TBaudRate value)
{
    baudRate_ = value;
    applySettings();
}

void TCustomComPort::setCustomBaudRate(int value)
{
    customBaudRate_ = value;
    baudRate_ = brCustom;
    applySettings();
}

void TCustomComPort::setDataBits(TDataBits value)
{
    dataBits_ = value;
    applySettings();
}

void TCustomComPort::setParity(TParity value)
{
    parity_ = value;
    applySettings();
}

void TCustomComPort::setStopBits(TStopBits value)
{
    stopBits_ = value;
    applySettings();
}

void TCustomComPort::setOptions(TOptions value)
{
    options_ = value;
    applySettings();
}

void TCustomComPort::setSynchronizeEvents(bool value)
{
    requireClosed();
    synchronizeEvents_ = value;
}

void TCustomComPort::setThreadPriority(TThreadPriority value)
{
    threadPriority_ = value;
    if (d->thread && d->thread->isRunning())
        d->thread->setPriority(threadPriority(value));
}

void TCustomComPort::setPriorityClass(TPriorityClass value)
{
    // Stored only: Linux has no process priority classes, and renicing the
    // whole program for a serial port is not this component's business.
    requireClosed();
    priorityClass_ = value;
}

TModemStatus TCustomComPort::ModemStatus()
{
    requireOpen();
    try {
        return d->device.modemStatus();
    } catch (const EComError& error) {
        raiseError(error);
    }
}

void TCustomComPort::checkLineErrors()
{
    TLineErrors errors;
    try {
        errors = d->device.takeLineErrors();
    } catch (const EComError& error) {
        raiseError(error);
    }
    if (!errors.isEmpty() && onLineError_) {
        const TLineErrorEvent handler = onLineError_;
        handler(*this, errors);
    }
}

int TCustomComPort::InputCount()
{
    requireOpen();
    checkLineErrors();
    try {
        return d->device.inputCount();
    } catch (const EComError& error) {
        raiseError(error);
    }
}

int TCustomComPort::readTimeoutMs(int length) const
{
    const int configured = timeouts_.ReadConstant() + timeouts_.ReadMultiplier() * length;
    return configured > 0 ? configured : kDefaultWaitMs + kDefaultWaitPerByteMs * length;
}

int TCustomComPort::finishOutputBeforeClose() noexcept
{
    try {
        if (!d->device.isOpen())
            return 0;
        // Bytes still held go out if the peer takes them within the limit.
        const bool handedOver = handOverHeldOutput(writeTimeoutMs(heldOutputSize()));
        d->heldOutput.clear();
        return handedOver ? writeTimeoutMs(d->device.outputCount()) : 0;
    } catch (const EComError&) {
        d->heldOutput.clear();
        return 0; // a device that fails has nothing to wait for
    }
}

int TCustomComPort::writeTimeoutMs(int length) const
{
    const int configured = timeouts_.WriteConstant() + timeouts_.WriteMultiplier() * length;
    return configured > 0 ? configured : kDefaultWaitMs + kDefaultWaitPerByteMs * length;
}

int TCustomComPort::Read(void* buffer, int length, bool waitOnCompletion)
{
    requireOpen();
    checkLineErrors();
    if (beforeRead_)
        beforeRead_(*this, buffer, length, waitOnCompletion);
    int done = 0;
    if (length > 0) {
        try {
            done = d->device.read(static_cast<char*>(buffer), length,
                                  waitOnCompletion ? readTimeoutMs(length) : 0);
            if (d->channel)
                d->channel->noteInputConsumed();
        } catch (const EComError& error) {
            raiseError(error);
        }
        if (waitOnCompletion && done < length)
            raiseError(EComError(kTimeoutMessage, 0));
    }
    if (afterRead_)
        afterRead_(*this, buffer, length, waitOnCompletion);
    return done;
}

int TCustomComPort::Write(const void* buffer, int length, bool waitOnCompletion)
{
    requireOpen();
    checkLineErrors();
    if (beforeWrite_)
        beforeWrite_(*this, const_cast<void*>(buffer), length, waitOnCompletion);
    if (length > 0) {
        const char* bytes = static_cast<const char*>(buffer);
        // Writes never overlap on the wire: the previous one completes first,
        // or this one fails. Only a waiting write waits for room.
        bool previousComplete = false;
        try {
            previousComplete =
                handOverHeldOutput(waitOnCompletion ? writeTimeoutMs(heldOutputSize()) : 0);
        } catch (const EComError& error) {
            raiseError(error);
        }
        if (!previousComplete)
            raiseError(EComError(kTimeoutMessage, 0));
        int done = 0;
        try {
            done = d->device.write(bytes, length, waitOnCompletion ? writeTimeoutMs(length) : 0);
        } catch (const EComError& error) {
            raiseError(error);
        }
        if (d->channel && (d->channel->mask() & ComEvent::TxEmpty))
            d->channel->markTxPending();
        if (done < length) {
            if (waitOnCompletion)
                raiseError(EComError(kTimeoutMessage, 0));
            // A full output queue (a peer that does not read) must not stall
            // the caller: the rest waits here and goes out first next time.
            d->heldOutput.append(bytes + done, length - done);
        }
    }
    if (afterWrite_)
        afterWrite_(*this, const_cast<void*>(buffer), length, waitOnCompletion);
    return length;
}

int TCustomComPort::heldOutputSize() const
{
    return static_cast<int>(d->heldOutput.size());
}

bool TCustomComPort::handOverHeldOutput(int timeoutMs)
{
    if (d->heldOutput.isEmpty())
        return true;
    const int done = d->device.write(d->heldOutput.constData(), heldOutputSize(), timeoutMs);
    d->heldOutput.remove(0, done);
    return d->heldOutput.isEmpty();
}

int TCustomComPort::HeldOutputCount()
{
    requireOpen();
    try {
        (void)handOverHeldOutput(0);
    } catch (const EComError& error) {
        raiseError(error);
    }
    return heldOutputSize();
}

int TCustomComPort::WriteString(const QByteArray& text)
{
    return Write(text.constData(), static_cast<int>(text.size()), false);
}

void TCustomComPort::PurgeInput()
{
    if (!Active())
        return;
    try {
        d->device.purgeInput();
    } catch (const EComError& error) {
        raiseError(error);
    }
    if (d->channel)
        d->channel->noteInputConsumed();
}

void TCustomComPort::PurgeOutput()
{
    if (!Active())
        return;
    d->heldOutput.clear();
    try {
        d->device.purgeOutput();
    } catch (const EComError& error) {
        raiseError(error);
    }
}

void TCustomComPort::ResetDevice()
{
    // A tty has no "reset device" request; starting afresh with empty queues
    // is the part of a reset that matters to a caller, and it keeps the line
    // settings and modem lines as they are (no break is sent). What the
    // caller wrote just before still goes out: only output that cannot
    // drain is discarded.
    requireOpen();
    try {
        const bool handedOver = handOverHeldOutput(writeTimeoutMs(heldOutputSize()));
        d->heldOutput.clear();
        if (handedOver)
            d->device.drainOrPurgeOutput(writeTimeoutMs(d->device.outputCount()));
        else
            d->device.purgeOutput();
        d->device.purgeInput();
    } catch (const EComError& error) {
        raiseError(error);
    }
}

// Port list --------------------------------------------------------------------

void TCustomComPort::EnumComPorts(QStringList& ports)
{
    for (const QSerialPortInfo& info : QSerialPortInfo::availablePorts())
        appendOnce(ports, info.systemLocation());
    for (const QString& port : registeredExtraPorts())
        appendOnce(ports, port);
    const QString fromEnvironment = qEnvironmentVariable("AUDIMARK_PORTS");
    for (const QString& port : fromEnvironment.split(QLatin1Char(':'), Qt::SkipEmptyParts))
        appendOnce(ports, port);
}

void TCustomComPort::setExtraPorts(const QStringList& ports)
{
    registeredExtraPorts() = ports;
}

QStringList TCustomComPort::extraPorts()
{
    return registeredExtraPorts();
}

// Events -----------------------------------------------------------------------

std::uint32_t TCustomComPort::eventMask() const
{
    std::uint32_t mask = 0;
    const auto add = [&mask](bool assigned, std::uint32_t bit) {
        if (assigned)
            mask |= bit;
    };
    add(bool(onRxChar_), ComEvent::RxChar);
    add(bool(onRxFlag_), ComEvent::RxFlag);
    add(bool(onTxEmpty_), ComEvent::TxEmpty);
    add(bool(onCTSChange_), ComEvent::CTSChange);
    add(bool(onDSRChange_), ComEvent::DSRChange);
    add(bool(onRLSDChange_), ComEvent::RLSDChange);
    add(bool(onBreak_), ComEvent::Break);
    add(bool(onLineError_), ComEvent::LineError);
    add(bool(onRing_), ComEvent::Ring);
    add(bool(onPrinterError_), ComEvent::PrinterError);
    add(bool(onRx80PercFull_), ComEvent::Rx80PercFull);
    add(bool(onEvent1_), ComEvent::Event1);
    add(bool(onEvent2_), ComEvent::Event2);
    return mask;
}

bool TCustomComPort::eventThreadRunning() const
{
    return d->thread && d->thread->isRunning();
}

bool TCustomComPort::calledFromEventThread() const
{
    return d->thread && QThread::currentThread() == d->thread.get();
}

void TCustomComPort::eventsChanged()
{
    if (!Active())
        return;
    try {
        updateEventThread();
    } catch (const EComError& error) {
        raiseError(error);
    }
}

void TCustomComPort::updateEventThread()
{
    const std::uint32_t mask = eventMask();
    if (mask == 0)
        stopEventThread();
    else if (!d->thread)
        startEventThread(mask);
    else
        d->channel->setMask(mask);
}

void TCustomComPort::startEventThread(std::uint32_t mask)
{
    std::shared_ptr<ComEventChannel> channel;
    try {
        channel = std::make_shared<ComEventChannel>();
    } catch (const std::exception&) {
        throw EComError(kThreadMessage, 0);
    }
    channel->setMask(mask);
    channel->setRx80Threshold(bufferSizes_.Input() * 8 / 10);
    const int threadFd = ::dup(d->device.fd());
    if (threadFd < 0)
        throw PosixSerialDevice::systemError(errno);
    auto thread = std::make_unique<TComThread>(*this, channel, threadFd, synchronizeEvents_);
    thread->start(threadPriority(threadPriority_));
    // A failed pthread_create leaves the thread neither running nor finished.
    if (!thread->isRunning() && !thread->isFinished())
        throw EComError(kThreadMessage, 0);
    d->channel = std::move(channel);
    d->thread = std::move(thread);
}

void TCustomComPort::stopEventThread()
{
    if (!d->thread)
        return;
    std::unique_ptr<TComThread> thread = std::move(d->thread);
    const std::shared_ptr<ComEventChannel> channel = std::move(d->channel);
    channel->terminate();
    if (QThread::currentThread() == thread.get()) {
        // A handler on the event thread removed the last handler: the thread
        // cannot wait for itself, so it frees itself once it has returned.
        TComThread* self = thread.release();
        QObject::connect(self, &QThread::finished, self, &QObject::deleteLater);
        return;
    }
    // Terminating wakes every wait of the thread, so this returns promptly
    // even when it was waiting for a dispatch on this very thread.
    thread->wait();
}

void TCustomComPort::dispatchEvents(TCustomComPort* port, std::uint32_t events,
                                    const std::shared_ptr<ComEventChannel>& channel)
{
    // Fixed firing order. After every handler the channel is checked before
    // the port is touched again: the handler may have closed or destroyed it.
    static const std::pair<std::uint32_t, TNotifyEvent TCustomComPort::*> order[] = {
        {ComEvent::Break, &TCustomComPort::onBreak_},
        {ComEvent::CTSChange, &TCustomComPort::onCTSChange_},
        {ComEvent::DSRChange, &TCustomComPort::onDSRChange_},
        {ComEvent::LineError, nullptr},
        {ComEvent::Event1, &TCustomComPort::onEvent1_},
        {ComEvent::Event2, &TCustomComPort::onEvent2_},
        {ComEvent::PrinterError, &TCustomComPort::onPrinterError_},
        {ComEvent::Ring, &TCustomComPort::onRing_},
        {ComEvent::RLSDChange, &TCustomComPort::onRLSDChange_},
        {ComEvent::Rx80PercFull, &TCustomComPort::onRx80PercFull_},
        {ComEvent::RxChar, &TCustomComPort::onRxChar_},
        {ComEvent::RxFlag, &TCustomComPort::onRxFlag_},
        {ComEvent::TxEmpty, &TCustomComPort::onTxEmpty_},
    };
    for (const auto& [bit, member] : order) {
        if (channel->terminated())
            return;
        if (!(events & bit))
            continue;
        if (member == nullptr) {
            HandlerGuard::run([port] { port->checkLineErrors(); });
            continue;
        }
        // A copy, so that a handler may replace or remove itself.
        const TNotifyEvent handler = port->*member;
        if (handler)
            HandlerGuard::run([&handler, port] { handler(*port); });
    }
}

void TCustomComPort::handleDeviceFailure(TCustomComPort* port, int error,
                                         const std::shared_ptr<ComEventChannel>& channel)
{
    if (channel->terminated())
        return;
    HandlerGuard::run([port, error] { port->raiseError(PosixSerialDevice::systemError(error)); });
    // OnError may have closed or destroyed the port in the meantime.
    if (!channel->terminated())
        HandlerGuard::run([port] { port->setActive(false); });
}

#define AUDIMARK_ONE_EVENT_SETTER(Name, member)                                                    \
    void TCustomComPort::Name(TNotifyEvent handler)                                                \
    {                                                                                              \
        member = std::move(handler);                                                               \
        eventsChanged();                                                                           \
    }
AUDIMARK_ONE_EVENT_SETTER(setOnRxChar, onRxChar_)
AUDIMARK_ONE_EVENT_SETTER(setOnRxFlag, onRxFlag_)
AUDIMARK_ONE_EVENT_SETTER(setOnTxEmpty, onTxEmpty_)
AUDIMARK_ONE_EVENT_SETTER(setOnBreak, onBreak_)
AUDIMARK_ONE_EVENT_SETTER(setOnCTSChange, onCTSChange_)
AUDIMARK_ONE_EVENT_SETTER(setOnDSRChange, onDSRChange_)
AUDIMARK_ONE_EVENT_SETTER(setOnRLSDChange, onRLSDChange_)
AUDIMARK_ONE_EVENT_SETTER(setOnRing, onRing_)
AUDIMARK_ONE_EVENT_SETTER(setOnRx80PercFull, onRx80PercFull_)
AUDIMARK_ONE_EVENT_SETTER(setOnPrinterError, onPrinterError_)
AUDIMARK_ONE_EVENT_SETTER(setOnEvent1, onEvent1_)
AUDIMARK_ONE_EVENT_SETTER(setOnEvent2, onEvent2_)
#undef AUDIMARK_ONE_EVENT_SETTER

void TCustomComPort::setOnLineError(TLineErrorEvent handler)
{
    onLineError_ = std::move(handler);
    eventsChanged();
}
