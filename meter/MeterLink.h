#pragma once

// The live link to the meter: the live port Comm1 and the logger port Comm2,
// the receive handler that cuts, decodes and answers live frames, the search
// for the meter at start-up, the identification of its model, the one-second
// tick that supervises the link, and the manual change of port.
//
// Everything runs on the main thread. Windows only display what this class
// reports through its signals; they never decide the link state themselves.

#include "meter/CommandFrame.h"
#include "meter/LiveFrame.h"
#include "meter/LiveReadingConsumers.h"
#include "meter/MeterClock.h"
#include "serial/TComPort.h"

#include <QObject>
#include <QStringList>
#include <QTimer>

#include <functional>

namespace LinkStatus {
inline const QString On = QStringLiteral("On Connection");
inline const QString Off = QStringLiteral("Off Connection");
inline const QString None = QStringLiteral("No Connection");
} // namespace LinkStatus

class MeterLink : public QObject
{
    Q_OBJECT

public:
    static constexpr int LinkLossLimit = 3;
    static constexpr int MinimumTickInterval = 500;
    static constexpr int InitialTickInterval = 100;
    static constexpr int MaxBytesPerEvent = 256;
    // How long a reopened device has to answer "K", as in the search.
    static constexpr int ReidentifyReplyMs = 500;

    explicit MeterLink(MeterClock& clock = MeterClock::system(), QObject* parent = nullptr);
    ~MeterLink() override;

    TComPort& Comm1() { return comm1_; }
    TComPort& Comm2() { return comm2_; }
    QTimer& MainTimer() { return mainTimer_; }
    MeterClock& clock() { return clock_; }

    // Program-wide link state.
    [[nodiscard]] bool MeterConnected() const { return meterConnected_; }
    [[nodiscard]] int MeterModel() const { return meterModel_; }
    void setMeterModel(int model) { meterModel_ = model; }
    [[nodiscard]] bool TickBusy() const { return tickBusy_; }
    [[nodiscard]] bool RxBusy() const { return rxBusy_; }
    [[nodiscard]] bool FrameSeen() const { return frameSeen_; }
    [[nodiscard]] bool MeterRecording() const { return meterRecording_; }
    // MeterRecording() comes from a frame of the meter now connected; false
    // before the first decoded frame and after the link was lost or moved.
    [[nodiscard]] bool RecordingKnown() const { return recordingKnown_; }
    [[nodiscard]] const QByteArray& ReceiveBuffer() const { return receiveBuffer_; }
    [[nodiscard]] int lastConnectedPort() const { return lastConnectedPort_; }
    // Why Comm1 could not be opened the last time the link tried: the
    // system's error number (EACCES for a user without the right to use
    // serial devices, EBUSY for a port another program holds, ...) and its
    // text; 0 and empty before any try and once it opened.
    [[nodiscard]] int livePortOpenError() const { return livePortOpenError_; }
    [[nodiscard]] const QString& livePortOpenErrorText() const { return livePortOpenErrorText_; }

    // Consumers of decoded readings; null while their window does not exist.
    void setPanel(LiveReadingView* panel) { panel_ = panel; }
    void setRecorder(LiveReadingRecorder* recorder) { recorder_ = recorder; }
    // Noise monitoring: offered every reading after the panel and the
    // recorder; null while no monitoring runs.
    void setMonitor(LiveReadingView* monitor) { monitor_ = monitor; }
    // Called by the tick while a meter is connected, with the tick's local
    // time; scheduled logger emptying plugs in here.
    void setAutoLoadCheck(std::function<void(const QDateTime& now)> check)
    {
        autoLoadCheck_ = std::move(check);
    }
    // A cycle run by that check takes the device over, and the take-over
    // waits for the tick to end: the cycle clears the tick's busy flag first.
    void clearTickBusy() { tickBusy_ = false; }

    // The port list (the toolbar's list of ports) and its selection.
    void setPortList(const QStringList& ports);
    [[nodiscard]] const QStringList& portList() const { return ports_; }
    // Selects an entry and points Comm1 at it (the port must be closed).
    void selectPort(int index);
    [[nodiscard]] int selectedPort() const { return selectedPort_; }
    [[nodiscard]] QString portName() const { return portName_; }

    // Start-up search: probes each listed port with "K"; leaves Comm1 open on
    // the meter's port when found. Returns whether a meter answered.
    bool searchPorts();
    // The whole start-up connection: "Initializing COM Port ...", the search,
    // the fall-back to the saved port and model when no meter answers (an
    // index beyond the list gives 0, a model other than 841/842 gives 842),
    // the status, the model, then the live stream.
    void connectAtStartUp(int savedPort, int savedModel);
    // Start of the live stream: reopens Comm1 with the receive handler, sends
    // "a" and starts the one-second tick. From then on the tick opens Comm1
    // again whenever it finds it closed (the device went away, or a logger
    // command could not give it back), once per tick, on the port chosen
    // last; a device another opener holds stays closed to us. A device that
    // appears under the old name is asked "K" first and resumed with "a" only
    // when a meter answers; anything else is closed again at once.
    void startLiveLink();
    // Shut-down: stops the tick and closes Comm1 for good. The caller lets a
    // running receive handler end first (RxBusy).
    void stopLiveLink();

    // The receive event of Comm1.
    void Comm1RxChar(TCustomComPort& sender);
    // Asks the meter for its model; run by the receive handler on a valid
    // frame while no meter is connected.
    void identifyMeter();
    // The one-second tick.
    void MainTimerTimer();
    // The port list's text changed (selection or typing).
    void ComboBoxDeviceNameChange(const QString& text);

    // Writes the shared live command frame with this letter to Comm1.
    void sendCommand(char letter);
    [[nodiscard]] const CommandFrame& liveCommandFrame() const { return commandFrame_; }

signals:
    // A progress text for the start-up splash ("Searching Meter on " + port).
    void progressText(const QString& text);
    // The search selected this entry of the port list.
    void portSelected(int index);
    // Status bar: the port name and "On Connection" / "Off Connection" /
    // "No Connection".
    void statusChanged(const QString& port, const QString& status);
    // The control panel's red "No Connection" label.
    void noConnectionLabelChanged(bool visible);
    // Enabling of Run and Stop (toolbar button and menu item alike).
    void runStopChanged(bool runEnabled, bool stopEnabled);
    // Enabling of the data logger command.
    void dataLoggerEnabledChanged(bool enabled);
    // The identified model: the panel's 841 overlay and clock, and the
    // visibility of the data logger commands follow it.
    void modelChanged(int model);
    // Enabling of the real-time graph's clear button.
    void clearButtonEnabledChanged(bool enabled);
    // A decoded frame was dispatched and the next one requested with "X"
    // (or a request is still waiting in the port).
    void frameAnswered();
    // The link was declared lost by the tick.
    void linkLost();
    // The tick found Comm1 closed and opened it again ("a" has been sent).
    void livePortReopened();
    // The outcome of opening Comm1 changed: it failed on `device` for a new
    // reason (error, text), or it opened again (error 0). Not repeated while
    // the tick's retries keep failing the same way.
    void livePortOpenErrorChanged(const QString& device, int error, const QString& text);

private:
    void attachReceiveHandler();
    void detachReceiveHandler();
    void closePortQuietly(TComPort& port);
    void openPortQuietly(TComPort& port);
    void noteLivePortOpen(int error, const QString& text);
    void dispatchReading(const MeterReading& reading);
    void requestNextFrame();
    void declareLinkLost();
    [[nodiscard]] bool reopenLivePort();
    // The identification exchange on a reopened Comm1: true when a meter
    // answers "K" (its model taken over), false for a silent or foreign device.
    [[nodiscard]] bool identifiesAsMeter();
    void correctTickInterval();
    [[nodiscard]] bool recordingRunning() const;
    static void configureLivePort(TComPort& port);

    MeterClock& clock_;
    TComPort comm1_;
    TComPort comm2_;
    QTimer mainTimer_;
    CommandFrame commandFrame_;

    QByteArray receiveBuffer_;
    bool frameSeen_ = false;
    bool rxBusy_ = false;
    bool meterRecording_ = false;
    bool recordingKnown_ = false;
    bool meterConnected_ = false;
    int meterModel_ = 842;
    bool tickBusy_ = false;
    // Between startLiveLink() and stopLiveLink(): the tick reopens Comm1.
    bool liveLinkWanted_ = false;
    int missCount_ = 0;
    bool firstTick_ = true;
    MeterClock::TimePoint lastTick_{};

    QStringList ports_;
    int selectedPort_ = -1;
    QString portName_;
    int lastConnectedPort_ = 0;
    int livePortOpenError_ = 0;
    QString livePortOpenErrorText_;
    QString livePortOpenErrorDevice_;

    LiveReadingView* panel_ = nullptr;
    LiveReadingRecorder* recorder_ = nullptr;
    LiveReadingView* monitor_ = nullptr;
    std::function<void(const QDateTime&)> autoLoadCheck_;
};
