#include "mqtt/StationPublisher.h"

#include "meter/MeterClock.h"

#include <QEventLoop>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTimer>

#include <utility>

namespace {

QByteArray compact(const QJsonObject& object)
{
    return QJsonDocument(object).toJson(QJsonDocument::Compact);
}

} // namespace

StationPublisher::StationPublisher(MqttSettings settings, MonitorOutbox& outbox, QObject* parent)
    : QObject(parent), settings_(std::move(settings)), outbox_(outbox),
      clock_(&MeterClock::system())
{
    connect(&client_, &MqttClient::connected, this, &StationPublisher::onConnected);
    connect(&client_, &MqttClient::disconnected, this, &StationPublisher::onDisconnected);
    connect(&client_, &MqttClient::published, this, &StationPublisher::onPublished);
    connect(&client_, &MqttClient::errorOccurred, this, &StationPublisher::onError);
}

// No waiting for acknowledgements here (no events while an object goes):
// what is unsent stays in the outbox for the next start.
StationPublisher::~StationPublisher()
{
    client_.stop(MqttClient::Message{topic(QStringLiteral("status")), "offline", 1, true},
                 std::chrono::seconds(2));
}

QString StationPublisher::topic(const QString& subtopic) const
{
    return QStringLiteral("audimark/%1/%2").arg(settings_.station, subtopic);
}

bool StationPublisher::start()
{
    if (!isValidStationName(settings_.station)) {
        lastError_ = QStringLiteral("the station name \"%1\" cannot be an MQTT topic level: "
                                    "use letters, digits, '-', '_' and '.'")
                         .arg(settings_.station);
        return false;
    }
    const MqttClient::Message will{topic(QStringLiteral("status")), "offline", 1, true};
    QString error;
    if (!client_.start(settings_, QStringLiteral("audimark-") + settings_.station, will, error)) {
        lastError_ = error;
        return false;
    }
    return true;
}

void StationPublisher::stop(std::chrono::milliseconds bound)
{
    // What is pending goes first (the interval closed at the end, say), for
    // two thirds of the time at most; the rest is for "offline".
    publishPending();
    if (connected_ && !inFlight_.isEmpty()) {
        QEventLoop loop;
        connect(this, &StationPublisher::messageSent, &loop, [this, &loop] {
            if (inFlight_.isEmpty())
                loop.quit();
        });
        connect(this, &StationPublisher::connectionChanged, &loop, &QEventLoop::quit);
        QTimer::singleShot(bound * 2 / 3, &loop, &QEventLoop::quit);
        loop.exec();
        bound /= 3;
    }
    client_.stop(MqttClient::Message{topic(QStringLiteral("status")), "offline", 1, true}, bound);
    if (std::exchange(connected_, false))
        emit connectionChanged(false);
    inFlight_.clear();
}

void StationPublisher::publishPending()
{
    if (!connected_ || inFlight_.size() >= kWindow)
        return;
    QList<qint64> held = inFlight_.values();
    for (const OutboxMessage& message : outbox_.unsent(kWindow)) {
        if (held.contains(message.id))
            continue;
        if (inFlight_.size() >= kWindow)
            break;
        const int mid = client_.publish({topic(message.subtopic), message.payload, 1, false});
        // Not handed over (the connection just went): the next connection
        // starts again from the oldest unsent message, so order is kept.
        if (mid == 0)
            break;
        inFlight_.insert(mid, message.id);
    }
}

void StationPublisher::publishReading(const QJsonObject& reading)
{
    if (!connected_)
        return;
    const auto now = clock_->now();
    if (readingEveryMs_ > 0 && lastReading_ &&
        now - *lastReading_ < std::chrono::milliseconds(readingEveryMs_))
        return;
    if (client_.publish({topic(QStringLiteral("reading")), compact(reading), 0, false}) != 0)
        lastReading_ = now;
}

void StationPublisher::onConnected()
{
    connected_ = true;
    lastError_.clear();
    // Acknowledgements of the last connection are gone with it: what it held
    // is sent again, from the oldest unsent message on.
    inFlight_.clear();
    publishDiscovery();
    client_.publish({topic(QStringLiteral("status")), "online", 1, true});
    emit connectionChanged(true);
    publishPending();
}

void StationPublisher::onDisconnected(const QString& reason)
{
    connected_ = false;
    inFlight_.clear();
    emit connectionChanged(false);
    if (!reason.isEmpty())
        onError(reason);
}

void StationPublisher::onPublished(int mid)
{
    const auto found = inFlight_.constFind(mid);
    if (found == inFlight_.cend())
        return;
    const qint64 id = found.value();
    inFlight_.erase(found);
    outbox_.markSent(id);
    emit messageSent(id);
    publishPending();
}

void StationPublisher::onError(const QString& text)
{
    if (text == lastError_)
        return;
    lastError_ = text;
    emit errorOccurred(text);
}

// Home Assistant finds the station as one device with three entities; they
// show unavailable while the station's status says "offline".
void StationPublisher::publishDiscovery()
{
    QString node = QStringLiteral("audimark_") + settings_.station;
    node.replace(QLatin1Char('.'), QLatin1Char('_'));
    node.replace(QLatin1Char('-'), QLatin1Char('_'));
    const QJsonObject device{
        {QStringLiteral("identifiers"), QJsonArray{node}},
        {QStringLiteral("name"), QStringLiteral("Audimark ") + settings_.station},
        {QStringLiteral("manufacturer"), QStringLiteral("Audimark")},
        {QStringLiteral("model"), QStringLiteral("QV58M sound level meter")}};
    auto entity = [&](const QString& key, const QString& name, const QString& subtopic,
                      const QString& valueTemplate) {
        return QJsonObject{{QStringLiteral("name"), name},
                           {QStringLiteral("unique_id"), node + QLatin1Char('_') + key},
                           {QStringLiteral("object_id"), node + QLatin1Char('_') + key},
                           {QStringLiteral("state_topic"), topic(subtopic)},
                           {QStringLiteral("value_template"), valueTemplate},
                           {QStringLiteral("availability_topic"), topic(QStringLiteral("status"))},
                           {QStringLiteral("payload_available"), QStringLiteral("online")},
                           {QStringLiteral("payload_not_available"), QStringLiteral("offline")},
                           {QStringLiteral("device"), device}};
    };
    QJsonObject level =
        entity(QStringLiteral("level"), QStringLiteral("Level"), QStringLiteral("reading"),
               QStringLiteral("{{ value_json.level_db }}"));
    level.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("dB"));
    level.insert(QStringLiteral("device_class"), QStringLiteral("sound_pressure"));
    level.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
    // The key names the weighting the meter was set to: laeq_db, lceq_db or leq_db.
    QJsonObject leq =
        entity(QStringLiteral("leq"), QStringLiteral("Leq of the last interval"),
               QStringLiteral("interval"),
               QStringLiteral("{{ value_json.laeq_db if value_json.laeq_db is defined else "
                              "(value_json.lceq_db if value_json.lceq_db is defined else "
                              "value_json.leq_db) }}"));
    leq.insert(QStringLiteral("unit_of_measurement"), QStringLiteral("dB"));
    leq.insert(QStringLiteral("device_class"), QStringLiteral("sound_pressure"));
    leq.insert(QStringLiteral("state_class"), QStringLiteral("measurement"));
    // An event is published when it has ended: the indicator is on for a
    // minute after each one.
    QJsonObject event = entity(QStringLiteral("event"), QStringLiteral("Noise event"),
                               QStringLiteral("event"), QStringLiteral("ON"));
    event.insert(QStringLiteral("payload_on"), QStringLiteral("ON"));
    event.insert(QStringLiteral("off_delay"), 60);
    event.insert(QStringLiteral("device_class"), QStringLiteral("sound"));

    const QString prefix =
        QStringLiteral("homeassistant/%1/") + node + QStringLiteral("/%2/config");
    client_.publish(
        {prefix.arg(QStringLiteral("sensor"), QStringLiteral("level")), compact(level), 1, true});
    client_.publish(
        {prefix.arg(QStringLiteral("sensor"), QStringLiteral("leq")), compact(leq), 1, true});
    client_.publish({prefix.arg(QStringLiteral("binary_sensor"), QStringLiteral("event")),
                     compact(event), 1, true});
}
