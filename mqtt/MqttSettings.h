#pragma once

// How a monitoring station reaches its MQTT broker: mqtt://[user@]host[:port]
// (port 1883) or mqtts://[user@]host[:port] (TLS, port 8883). A password
// never appears in a URL, on the command line or in a log: it is read from
// a file (first line) when the connection is made, and a URL that carries
// one is refused.

#include <QString>

#include <optional>

struct MqttSettings
{
    QString host;
    int port = 1883;
    bool tls = false;
    QString user;
    QString passwordFile; // empty: no password
    QString caFile;       // TLS: the certificate authority; empty: the system's
    QString station;      // the topic level under audimark/
    int keepAliveSeconds = 30;
    // Seconds between reconnection attempts, doubled after each failure up to
    // the maximum and back to the minimum once connected.
    int reconnectMinSeconds = 1;
    int reconnectMaxSeconds = 60;

    // The broker as shown to the user: "mqtts://user@host:8883"; no password.
    [[nodiscard]] QString displayName() const;
};

[[nodiscard]] std::optional<MqttSettings> parseMqttUrl(const QString& url, QString& error);

// Whether a station name can be a topic level and an identifier: letters,
// digits, '-', '_' and '.', at most 64 of them.
[[nodiscard]] bool isValidStationName(const QString& station);

// The password from the first line of a file. Refused: a file that cannot be
// read, that everybody may read, or whose first line is empty. The error
// names the file, never its content.
[[nodiscard]] std::optional<QString> readMqttPasswordFile(const QString& path, QString& error);
