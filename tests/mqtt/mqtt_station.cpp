// A station that publishes until it is killed, for the test of the last
// will: audimark_mqtt_station URL STATION; prints "connected" once online.

#include "MemoryOutbox.h"
#include "mqtt/StationPublisher.h"

#include <QCoreApplication>
#include <QTextStream>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    QTextStream out(stdout);
    if (arguments.size() != 3) {
        out << "usage: audimark_mqtt_station URL STATION" << Qt::endl;
        return 2;
    }
    QString error;
    std::optional<MqttSettings> settings = parseMqttUrl(arguments.at(1), error);
    if (!settings) {
        out << error << Qt::endl;
        return 2;
    }
    settings->station = arguments.at(2);
    MemoryOutbox outbox;
    StationPublisher publisher(*settings, outbox);
    QObject::connect(&publisher, &StationPublisher::connectionChanged, [&out](bool connected) {
        if (connected)
            out << "connected" << Qt::endl;
    });
    if (!publisher.start()) {
        out << publisher.lastError() << Qt::endl;
        return 1;
    }
    return app.exec();
}
