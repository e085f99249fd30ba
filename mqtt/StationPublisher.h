#pragma once

// Publishes a monitoring station to an MQTT broker:
//   audimark/<station>/interval, .../event   the outbox's messages, QoS 1
//   audimark/<station>/reading               live readings, QoS 0, not kept
//   audimark/<station>/status                "online" / "offline", retained;
//                                            the last will says "offline"
//   homeassistant/.../config                 Home Assistant discovery, retained
//
// Intervals and events are stored in the outbox before they come here and
// are marked sent only when the broker acknowledges them, so a broker that
// is away for an hour receives everything afterwards, oldest first. A
// message whose acknowledgement was lost with the connection is sent again;
// its "id" (one per message of the station, growing by one) lets a
// subscriber tell such a repeat from a new message.

#include "monitor/MonitorOutbox.h"
#include "mqtt/MqttClient.h"
#include "mqtt/MqttSettings.h"

#include <QHash>
#include <QJsonObject>
#include <QObject>

#include <chrono>
#include <optional>

class MeterClock;

class StationPublisher : public QObject
{
    Q_OBJECT

public:
    StationPublisher(MqttSettings settings, MonitorOutbox& outbox, QObject* parent = nullptr);
    ~StationPublisher() override;

    // Starts connecting; false with lastError() when the settings cannot be
    // used (station name, password or CA file). A broker out of reach is no
    // failure: the publisher keeps trying and says so through errorOccurred.
    [[nodiscard]] bool start();

    // Publishes what the outbox holds unsent, oldest first; call after each
    // append. Runs by itself after every (re)connection and acknowledgement.
    void publishPending();

    // A live reading to .../reading, at most one per setReadingEvery().
    void publishReading(const QJsonObject& reading);
    void setReadingEvery(qint64 ms) { readingEveryMs_ = ms; }
    void setClock(MeterClock& clock) { clock_ = &clock; }

    // Sends what the outbox holds unsent, says "offline", waits for the broker
    // to have them and disconnects; returns within about bound. Events are
    // processed meanwhile (the acknowledgements arrive as events).
    void stop(std::chrono::milliseconds bound = std::chrono::seconds(5));

    [[nodiscard]] bool isConnected() const { return connected_; }
    [[nodiscard]] QString lastError() const { return lastError_; }
    [[nodiscard]] QString topic(const QString& subtopic) const;
    [[nodiscard]] const MqttSettings& settings() const { return settings_; }

    // Messages held by the connection and not yet acknowledged.
    static constexpr int kWindow = 50;

signals:
    void connectionChanged(bool connected);
    void messageSent(qint64 id);
    // Told once per new kind of trouble; never holds the password.
    void errorOccurred(const QString& text);

private:
    void onConnected();
    void onDisconnected(const QString& reason);
    void onPublished(int mid);
    void onError(const QString& text);
    void publishDiscovery();

    MqttSettings settings_;
    MonitorOutbox& outbox_;
    MqttClient client_;
    MeterClock* clock_;
    bool connected_ = false;
    QHash<int, qint64> inFlight_; // mid -> outbox id
    qint64 readingEveryMs_ = 0;
    std::optional<std::chrono::steady_clock::time_point> lastReading_;
    QString lastError_;
};
