#pragma once

// The serial port component: one object per serial device, configured through
// properties, opened and closed through Active, and reporting line events on
// the main thread through its event thread.
//
// Contract:
// - All calls come from the main (GUI) thread; handlers run there too while
//   SynchronizeEvents is true (the default), with the event thread blocked.
// - A device name is a path such as "/dev/ttyUSB0" or a pty slave path.
// - Every failure is reported as EComError; before it leaves the component,
//   OnError sees it with the action preset to caFail; caAbort turns it into
//   the silent EAbort.

#include "serial/ComErrors.h"
#include "serial/ComTypes.h"

#include <QString>
#include <QStringList>

#include <cstdint>
#include <functional>
#include <memory>

class ComEventChannel;
struct SerialSettings;
class TCustomComPort;
class TComThread;

using TNotifyEvent = std::function<void(TCustomComPort& sender)>;
using TComErrorEvent =
    std::function<void(TCustomComPort& sender, const EComError& error, TComAction& action)>;
using TLineErrorEvent = std::function<void(TCustomComPort& sender, TLineErrors errors)>;
using TRWEvent =
    std::function<void(TCustomComPort& sender, void* buffer, int length, bool waitOnCompletion)>;

// The settings groups re-apply their part of the settings to an open port
// whenever one of their values changes.
class TFlowControl
{
public:
    explicit TFlowControl(TCustomComPort& port) : port_(port) {}
    TDTRControl DTR() const { return dtr_; }
    void setDTR(TDTRControl value);
    TRTSControl RTS() const { return rts_; }
    void setRTS(TRTSControl value);
    TXOnXOffControl XOnXOff() const { return xonxoff_; }
    void setXOnXOff(TXOnXOffControl value);
    std::int16_t XOnLimit() const { return xonLimit_; }
    void setXOnLimit(std::int16_t value);
    std::int16_t XOffLimit() const { return xoffLimit_; }
    void setXOffLimit(std::int16_t value);

private:
    TCustomComPort& port_;
    TDTRControl dtr_ = dcDefault;
    TRTSControl rts_ = rcDefault;
    TXOnXOffControl xonxoff_ = xcDefault;
    std::int16_t xonLimit_ = 0;
    std::int16_t xoffLimit_ = 0;
};

class TCharacters
{
public:
    explicit TCharacters(TCustomComPort& port) : port_(port) {}
    char XOn() const { return xon_; }
    void setXOn(char value);
    char XOff() const { return xoff_; }
    void setXOff(char value);
    char Error() const { return error_; }
    void setError(char value);
    char Eof() const { return eof_; }
    void setEof(char value);
    char Event() const { return event_; }
    void setEvent(char value);

private:
    TCustomComPort& port_;
    char xon_ = 17;
    char xoff_ = 19;
    char error_ = 0;
    char eof_ = 0;
    char event_ = 0;
};

class TBufferSizes
{
public:
    explicit TBufferSizes(TCustomComPort& port) : port_(port) {}
    int Input() const { return input_; }
    void setInput(int value);
    int Output() const { return output_; }
    void setOutput(int value);

private:
    TCustomComPort& port_;
    int input_ = 4096;
    int output_ = 2048;
};

// Timeouts in milliseconds, as the platform's serial timeouts.
class TTimeouts
{
public:
    explicit TTimeouts(TCustomComPort& port) : port_(port) {}
    int ReadInterval() const { return readInterval_; }
    void setReadInterval(int value);
    int ReadMultiplier() const { return readMultiplier_; }
    void setReadMultiplier(int value);
    int ReadConstant() const { return readConstant_; }
    void setReadConstant(int value);
    int WriteMultiplier() const { return writeMultiplier_; }
    void setWriteMultiplier(int value);
    int WriteConstant() const { return writeConstant_; }
    void setWriteConstant(int value);

private:
    TCustomComPort& port_;
    int readInterval_ = 0;
    int readMultiplier_ = 0;
    int readConstant_ = 0;
    int writeMultiplier_ = 0;
    int writeConstant_ = 0;
};

class TCustomComPort
{
public:
    TCustomComPort();
    virtual ~TCustomComPort();
    TCustomComPort(const TCustomComPort&) = delete;
    TCustomComPort& operator=(const TCustomComPort&) = delete;

    // Open or close. Opening runs BeforeOpen, the device open, the settings and
    // the event thread, then AfterOpen; any failure closes what was created
    // and is reported.
    bool Active() const;
    void setActive(bool value);

    QString DeviceName() const { return deviceName_; }
    void setDeviceName(const QString& value);

    TBaudRate BaudRate() const { return baudRate_; }
    void setBaudRate(TBaudRate value);
    int CustomBaudRate() const { return customBaudRate_; }
    void setCustomBaudRate(int value); // also sets BaudRate to brCustom
    TDataBits DataBits() const { return dataBits_; }
    void setDataBits(TDataBits value);
    TParity Parity() const { return parity_; }
    void setParity(TParity value);
    TStopBits StopBits() const { return stopBits_; }
    void setStopBits(TStopBits value);
    TOptions Options() const { return options_; }
    void setOptions(TOptions value);

    TFlowControl& FlowControl() { return flowControl_; }
    TCharacters& Characters() { return characters_; }
    TBufferSizes& BufferSizes() { return bufferSizes_; }
    TTimeouts& Timeouts() { return timeouts_; }

    bool SynchronizeEvents() const { return synchronizeEvents_; }
    void setSynchronizeEvents(bool value);
    TThreadPriority ThreadPriority() const { return threadPriority_; }
    void setThreadPriority(TThreadPriority value);
    TPriorityClass PriorityClass() const { return priorityClass_; }
    void setPriorityClass(TPriorityClass value);
    TModemStatus ModemStatus();

    // Bytes waiting in the device's input queue. Fires OnLineError first when
    // line errors were detected since the last query.
    int InputCount();
    // Reads up to length bytes; returns the number read. With waitOnCompletion
    // the call waits (bounded by Timeouts) for the whole length and reports
    // "Timeout" when fewer bytes came.
    int Read(void* buffer, int length, bool waitOnCompletion);
    // Writes length bytes after the bytes of the previous write; returns
    // length. A waiting write waits (bounded by Timeouts) for room and reports
    // "Timeout" when not all bytes got out. A non-waiting write never waits:
    // what the device cannot take at once is held by the port and handed
    // over first by the next write; it fails with "Timeout" at once when held
    // bytes still cannot go out.
    int Write(const void* buffer, int length, bool waitOnCompletion);
    // Writes every byte of text, zero bytes included, without waiting.
    int WriteString(const QByteArray& text);
    // Bytes of earlier non-waiting writes the device has not taken yet (its
    // output queue is full: the peer does not read). Asking hands over what
    // fits now.
    int HeldOutputCount();
    void PurgeInput();
    // Also drops held bytes.
    void PurgeOutput();
    // Empties the input; written bytes go out first, within the write
    // timeout, and only what cannot go out is discarded.
    void ResetDevice();

    // Appends the serial ports present: those the system lists, then the
    // extra ports registered with setExtraPorts (command line, environment).
    static void EnumComPorts(QStringList& ports);
    static void setExtraPorts(const QStringList& ports);
    static QStringList extraPorts();

    // The current line-event mask: the union of the bits of assigned handlers.
    std::uint32_t eventMask() const;
    // True while the event thread runs (for diagnostics and tests).
    bool eventThreadRunning() const;

    // Events. Assigning or removing one on an open port recomputes the mask:
    // an empty mask stops the event thread, a non-empty one starts it.
    void setOnRxChar(TNotifyEvent handler);
    const TNotifyEvent& OnRxChar() const { return onRxChar_; }
    void setOnRxFlag(TNotifyEvent handler);
    void setOnTxEmpty(TNotifyEvent handler);
    void setOnBreak(TNotifyEvent handler);
    void setOnCTSChange(TNotifyEvent handler);
    void setOnDSRChange(TNotifyEvent handler);
    void setOnRLSDChange(TNotifyEvent handler);
    void setOnRing(TNotifyEvent handler);
    void setOnRx80PercFull(TNotifyEvent handler);
    void setOnPrinterError(TNotifyEvent handler);
    void setOnEvent1(TNotifyEvent handler);
    void setOnEvent2(TNotifyEvent handler);
    void setOnLineError(TLineErrorEvent handler);
    void setOnError(TComErrorEvent handler) { onError_ = std::move(handler); }
    const TComErrorEvent& OnError() const { return onError_; }

    void setBeforeOpen(TNotifyEvent handler) { beforeOpen_ = std::move(handler); }
    void setAfterOpen(TNotifyEvent handler) { afterOpen_ = std::move(handler); }
    void setBeforeClose(TNotifyEvent handler) { beforeClose_ = std::move(handler); }
    void setAfterClose(TNotifyEvent handler) { afterClose_ = std::move(handler); }
    void setBeforeRead(TRWEvent handler) { beforeRead_ = std::move(handler); }
    void setAfterRead(TRWEvent handler) { afterRead_ = std::move(handler); }
    void setBeforeWrite(TRWEvent handler) { beforeWrite_ = std::move(handler); }
    void setAfterWrite(TRWEvent handler) { afterWrite_ = std::move(handler); }

    // Re-apply one settings group to an open port (used by the settings objects).
    void applySettings();
    void applyBufferSizes();
    void applyTimeouts();

private:
    friend class TComThread;
    struct Private;

    void openPort();
    void closePort();
    void closeHandedToMainThread();
    [[noreturn]] void raiseError(const EComError& error);
    void requireOpen();
    void requireClosed();
    void checkLineErrors();
    void eventsChanged();
    void updateEventThread();
    void startEventThread(std::uint32_t mask);
    void stopEventThread();
    [[nodiscard]] bool calledFromEventThread() const;
    [[nodiscard]] SerialSettings currentSettings() const;
    [[nodiscard]] int readTimeoutMs(int length) const;
    [[nodiscard]] int writeTimeoutMs(int length) const;
    // Hands held bytes over (bounded) before a close; returns how long the
    // close may wait for the device's queue to drain.
    [[nodiscard]] int finishOutputBeforeClose() noexcept;
    [[nodiscard]] int heldOutputSize() const;
    // Writes held bytes, waiting at most timeoutMs; true when none are left.
    [[nodiscard]] bool handOverHeldOutput(int timeoutMs);
    // Run by the event thread, on the main thread when events are synchronised.
    static void dispatchEvents(TCustomComPort* port, std::uint32_t events,
                               const std::shared_ptr<ComEventChannel>& channel);
    static void handleDeviceFailure(TCustomComPort* port, int error,
                                    const std::shared_ptr<ComEventChannel>& channel);

    QString deviceName_ = QStringLiteral("COM1");
    TBaudRate baudRate_ = brDefault;
    int customBaudRate_ = 0;
    TDataBits dataBits_ = dbDefault;
    TParity parity_ = paDefault;
    TStopBits stopBits_ = sbDefault;
    TOptions options_;
    TFlowControl flowControl_{*this};
    TCharacters characters_{*this};
    TBufferSizes bufferSizes_{*this};
    TTimeouts timeouts_{*this};
    bool synchronizeEvents_ = true;
    TThreadPriority threadPriority_ = tpTimeCritical;
    TPriorityClass priorityClass_ = pcDefault;

    TNotifyEvent onRxChar_, onRxFlag_, onTxEmpty_, onBreak_, onCTSChange_, onDSRChange_,
        onRLSDChange_, onRing_, onRx80PercFull_, onPrinterError_, onEvent1_, onEvent2_;
    TLineErrorEvent onLineError_;
    TComErrorEvent onError_;
    TNotifyEvent beforeOpen_, afterOpen_, beforeClose_, afterClose_;
    TRWEvent beforeRead_, afterRead_, beforeWrite_, afterWrite_;

    std::unique_ptr<Private> d;
};

// The published component.
class TComPort : public TCustomComPort
{
public:
    using TCustomComPort::TCustomComPort;
};
