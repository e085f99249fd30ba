#pragma once

// A connection to an MQTT broker over libmosquitto that stays up by itself:
// start() connects in the background with a last-will message and, whenever
// the broker goes away or cannot be reached, tries again after a pause that
// doubles up to a maximum. Every signal arrives on the thread that owns the
// object (the main thread).
//
// The network runs on a thread of its own, which only reads and writes the
// socket and posts what happened back to the owner. Each connection is a new
// libmosquitto instance: messages that were not acknowledged when a
// connection ended are dropped with it, not sent again by the library, so
// that whoever published them (and keeps them until published() names them)
// decides alone what is sent after a reconnect, and in which order.

#include "mqtt/MqttSettings.h"

#include <QByteArray>
#include <QObject>
#include <QString>

#include <chrono>
#include <memory>
#include <optional>
#include <thread>

class MqttClient : public QObject
{
    Q_OBJECT

public:
    struct Message
    {
        QString topic;
        QByteArray payload;
        int qos = 0;
        bool retain = false;
    };

    explicit MqttClient(QObject* parent = nullptr);
    ~MqttClient() override; // stop() without a last message, if still running

    // Starts connecting to the broker of settings as clientId; the broker
    // publishes will when the connection ends without stop(). Reads the
    // password file now. False with error when the settings cannot be used;
    // a broker out of reach is no failure (errorOccurred, then retries).
    [[nodiscard]] bool start(const MqttSettings& settings, const QString& clientId,
                             const Message& will, QString& error);

    // Hands a message to the connection: its id (> 0), acknowledged by
    // published() for QoS 1; 0 when not connected or refused.
    int publish(const Message& message);

    [[nodiscard]] bool isConnected() const;

    // Publishes last (when connected), waits for its acknowledgement, ends
    // the connection cleanly (no will) and the network thread; returns within
    // about bound in any case. True when last was acknowledged.
    bool stop(const std::optional<Message>& last, std::chrono::milliseconds bound);

signals:
    void connected();
    void disconnected(const QString& reason);
    void published(int mid);
    // What went wrong, for the user; never holds the password.
    void errorOccurred(const QString& text);

private:
    struct Core;

    void onConnected(quint64 generation);
    void onPublished(quint64 generation, int mid);

    std::shared_ptr<Core> core_;
    std::thread thread_;
    quint64 generation_ = 0;
};
