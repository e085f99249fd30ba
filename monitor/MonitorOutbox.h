#pragma once

// The messages a monitoring station publishes, stored before they are sent:
// every interval and event is written here first and published from here,
// so that a broker that is away receives them all afterwards, in order,
// none twice. Ids grow by one per message of a station and travel in the
// message, so that a subscriber can tell a repeat.

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

struct OutboxMessage
{
    qint64 id = 0;      // per station, increasing, from 1
    QString subtopic;   // "interval" or "event"
    QByteArray payload; // JSON, carrying "id"
};

class MonitorOutbox
{
public:
    virtual ~MonitorOutbox() = default;

    // Stores a message (a JSON object, to which the outbox adds the key "id"
    // with the message's id) and returns that id; 0 when it was not stored.
    virtual qint64 append(const QString& subtopic, const QJsonObject& message) = 0;

    // The oldest messages not yet acknowledged by the broker, in id order.
    [[nodiscard]] virtual QList<OutboxMessage> unsent(int limit) = 0;

    // The broker has the message (QoS 1 acknowledgement).
    virtual void markSent(qint64 id) = 0;
};
