#include "mqtt/MqttClient.h"

#include <QFile>
#include <QMetaObject>
#include <QPointer>

#include <mosquitto.h>

#include <algorithm>
#include <cerrno>
#include <condition_variable>
#include <cstring>
#include <functional>
#include <mutex>
#include <thread>

namespace {

void initialiseLibrary()
{
    static std::once_flag once;
    std::call_once(once, [] { mosquitto_lib_init(); });
}

QString resultText(int rc)
{
    if (rc == MOSQ_ERR_ERRNO)
        return QString::fromLocal8Bit(std::strerror(errno));
    return QString::fromUtf8(mosquitto_strerror(rc));
}

} // namespace

// What the owner and the network thread share. The thread holds it too, so
// that a thread still blocked in a connection attempt when stop() gives up
// waiting may end later on its own.
struct MqttClient::Core
{
    // Set by start(), read-only afterwards.
    MqttSettings settings;
    QString password;
    bool hasPassword = false;
    QByteArray clientId;
    Message will;

    std::mutex mutex;
    std::condition_variable wake;
    MqttClient* owner = nullptr; // null once the owner is gone
    mosquitto* connection = nullptr;
    quint64 generation = 0;
    bool connected = false;
    bool refused = false; // the broker said no to this connection
    bool stopping = false;
    bool disconnecting = false;
    bool finished = false;
    std::chrono::steady_clock::time_point stopDeadline;
    int awaitedMid = 0;
    bool awaitedAcknowledged = false;

    // Runs f on the owner's thread, if the owner is still there.
    void post(std::function<void(MqttClient&)> f)
    {
        std::lock_guard lock(mutex);
        if (!owner)
            return;
        QPointer<MqttClient> target(owner);
        QMetaObject::invokeMethod(
            owner,
            [target, f = std::move(f)] {
                if (target)
                    f(*target);
            },
            Qt::QueuedConnection);
    }

    bool stopRequested()
    {
        std::lock_guard lock(mutex);
        return stopping;
    }

    // Waits for the pause before the next attempt; false when stopping.
    bool pause(int seconds)
    {
        std::unique_lock lock(mutex);
        return !wake.wait_for(lock, std::chrono::seconds(seconds), [this] { return stopping; });
    }

    mosquitto* newConnection(QString& error)
    {
        mosquitto* m = mosquitto_new(clientId.constData(), true, this);
        if (!m) {
            error = QStringLiteral("cannot create an MQTT client: %1")
                        .arg(QString::fromLocal8Bit(std::strerror(errno)));
            return nullptr;
        }
        mosquitto_threaded_set(m, true);
        mosquitto_connect_callback_set(m, &Core::onConnect);
        mosquitto_disconnect_callback_set(m, &Core::onDisconnect);
        mosquitto_publish_callback_set(m, &Core::onPublish);
        int rc = MOSQ_ERR_SUCCESS;
        const QByteArray willTopic = will.topic.toUtf8();
        if (!willTopic.isEmpty())
            rc = mosquitto_will_set(m, willTopic.constData(), int(will.payload.size()),
                                    will.payload.constData(), will.qos, will.retain);
        if (rc == MOSQ_ERR_SUCCESS && !settings.user.isEmpty()) {
            const QByteArray user = settings.user.toUtf8();
            const QByteArray secret = password.toUtf8();
            rc = mosquitto_username_pw_set(m, user.constData(),
                                           hasPassword ? secret.constData() : nullptr);
        }
        if (rc == MOSQ_ERR_SUCCESS && settings.tls) {
            if (settings.caFile.isEmpty()) {
                rc = mosquitto_int_option(m, MOSQ_OPT_TLS_USE_OS_CERTS, 1);
            } else {
                const QByteArray ca = QFile::encodeName(settings.caFile);
                rc = mosquitto_tls_set(m, ca.constData(), nullptr, nullptr, nullptr, nullptr);
            }
        }
        if (rc != MOSQ_ERR_SUCCESS) {
            error = QStringLiteral("cannot set up the MQTT client: %1").arg(resultText(rc));
            mosquitto_destroy(m);
            return nullptr;
        }
        return m;
    }

    void run()
    {
        int delay = settings.reconnectMinSeconds;
        const QByteArray host = settings.host.toUtf8();
        const QString broker = settings.displayName();
        while (!stopRequested()) {
            QString error;
            mosquitto* m = newConnection(error);
            if (m) {
                {
                    std::lock_guard lock(mutex);
                    connection = m;
                    refused = false;
                    ++generation;
                }
                int rc = mosquitto_connect(m, host.constData(), settings.port,
                                           settings.keepAliveSeconds);
                if (rc != MOSQ_ERR_SUCCESS) {
                    error = QStringLiteral("cannot connect to %1: %2").arg(broker, resultText(rc));
                } else {
                    while (rc == MOSQ_ERR_SUCCESS) {
                        rc = mosquitto_loop(m, 250, 1);
                        std::lock_guard lock(mutex);
                        if (stopping &&
                            (!disconnecting || std::chrono::steady_clock::now() > stopDeadline))
                            break;
                        if (connected)
                            delay = settings.reconnectMinSeconds;
                    }
                    std::lock_guard lock(mutex);
                    if (rc != MOSQ_ERR_SUCCESS && !stopping && !refused)
                        error = QStringLiteral("lost the connection to %1: %2")
                                    .arg(broker, resultText(rc));
                }
                {
                    std::lock_guard lock(mutex);
                    connection = nullptr;
                    const bool wasConnected = std::exchange(connected, false);
                    if (wasConnected && owner) {
                        const QString reason = error;
                        QPointer<MqttClient> target(owner);
                        QMetaObject::invokeMethod(
                            owner,
                            [target, reason] {
                                if (target)
                                    emit target->disconnected(reason);
                            },
                            Qt::QueuedConnection);
                    }
                }
                mosquitto_destroy(m);
            }
            if (stopRequested())
                break;
            if (!error.isEmpty())
                post([error](MqttClient& client) { emit client.errorOccurred(error); });
            if (!pause(delay))
                break;
            delay = std::min(delay * 2, std::max(settings.reconnectMaxSeconds, 1));
        }
        std::lock_guard lock(mutex);
        finished = true;
        wake.notify_all();
    }

    static void onConnect(mosquitto*, void* data, int rc)
    {
        auto* core = static_cast<Core*>(data);
        if (rc != 0) {
            {
                std::lock_guard lock(core->mutex);
                core->refused = true;
            }
            const QString error = QStringLiteral("%1 refused the connection: %2")
                                      .arg(core->settings.displayName(),
                                           QString::fromUtf8(mosquitto_connack_string(rc)));
            core->post([error](MqttClient& client) { emit client.errorOccurred(error); });
            return;
        }
        quint64 generation = 0;
        {
            std::lock_guard lock(core->mutex);
            core->connected = true;
            generation = core->generation;
        }
        core->post([generation](MqttClient& client) { client.onConnected(generation); });
    }

    static void onDisconnect(mosquitto*, void* data, int)
    {
        auto* core = static_cast<Core*>(data);
        std::lock_guard lock(core->mutex);
        // The end of the session is told by run(), once, with its reason.
        core->wake.notify_all();
    }

    static void onPublish(mosquitto*, void* data, int mid)
    {
        auto* core = static_cast<Core*>(data);
        quint64 generation = 0;
        {
            std::lock_guard lock(core->mutex);
            generation = core->generation;
            if (mid == core->awaitedMid) {
                core->awaitedAcknowledged = true;
                core->wake.notify_all();
            }
        }
        core->post([generation, mid](MqttClient& client) { client.onPublished(generation, mid); });
    }
};

MqttClient::MqttClient(QObject* parent) : QObject(parent) {}

MqttClient::~MqttClient()
{
    stop(std::nullopt, std::chrono::seconds(2));
}

bool MqttClient::start(const MqttSettings& settings, const QString& clientId, const Message& will,
                       QString& error)
{
    if (core_) {
        error = QStringLiteral("the MQTT client is already running");
        return false;
    }
    if (settings.host.isEmpty()) {
        error = QStringLiteral("no MQTT broker given");
        return false;
    }
    auto core = std::make_shared<Core>();
    core->settings = settings;
    core->clientId = clientId.toUtf8();
    core->will = will;
    if (!settings.passwordFile.isEmpty()) {
        if (settings.user.isEmpty()) {
            error = QStringLiteral("a password file needs a user name in the broker URL "
                                   "(mqtt://user@host)");
            return false;
        }
        const std::optional<QString> password = readMqttPasswordFile(settings.passwordFile, error);
        if (!password)
            return false;
        core->password = *password;
        core->hasPassword = true;
    }
    if (!settings.caFile.isEmpty()) {
        if (!settings.tls) {
            error = QStringLiteral("a certificate authority file goes with an mqtts:// broker");
            return false;
        }
        QFile ca(settings.caFile);
        if (!ca.open(QIODevice::ReadOnly)) {
            error = QStringLiteral("cannot read the certificate authority file %1: %2")
                        .arg(settings.caFile, ca.errorString());
            return false;
        }
    }
    initialiseLibrary();
    core->owner = this;
    core_ = core;
    generation_ = 0;
    thread_ = std::thread([core] { core->run(); });
    return true;
}

int MqttClient::publish(const Message& message)
{
    if (!core_)
        return 0;
    const QByteArray topic = message.topic.toUtf8();
    std::lock_guard lock(core_->mutex);
    if (!core_->connection || !core_->connected || core_->stopping)
        return 0;
    int mid = 0;
    const int rc =
        mosquitto_publish(core_->connection, &mid, topic.constData(), int(message.payload.size()),
                          message.payload.constData(), message.qos, message.retain);
    if (rc != MOSQ_ERR_SUCCESS) {
        const QString error =
            QStringLiteral("cannot publish to %1: %2").arg(message.topic, resultText(rc));
        QMetaObject::invokeMethod(
            this, [this, error] { emit errorOccurred(error); }, Qt::QueuedConnection);
        return 0;
    }
    return mid;
}

bool MqttClient::isConnected() const
{
    if (!core_)
        return false;
    std::lock_guard lock(core_->mutex);
    return core_->connected;
}

bool MqttClient::stop(const std::optional<Message>& last, std::chrono::milliseconds bound)
{
    if (!core_)
        return false;
    std::shared_ptr<Core> core = std::move(core_);
    const auto deadline = std::chrono::steady_clock::now() + bound;
    bool acknowledged = false;
    std::unique_lock lock(core->mutex);
    if (last && core->connection && core->connected) {
        const QByteArray topic = last->topic.toUtf8();
        int mid = 0;
        if (mosquitto_publish(core->connection, &mid, topic.constData(), int(last->payload.size()),
                              last->payload.constData(), last->qos,
                              last->retain) == MOSQ_ERR_SUCCESS) {
            core->awaitedMid = mid;
            core->awaitedAcknowledged = false;
            if (last->qos == 0)
                core->awaitedAcknowledged = true;
            // The acknowledgement, or the connection lost on the way.
            acknowledged = core->wake.wait_until(lock, deadline, [&core] {
                return core->awaitedAcknowledged || !core->connected;
            }) && core->awaitedAcknowledged;
        }
    }
    core->stopping = true;
    core->stopDeadline = deadline;
    core->owner = nullptr;
    if (core->connection && core->connected)
        core->disconnecting = mosquitto_disconnect(core->connection) == MOSQ_ERR_SUCCESS;
    core->wake.notify_all();
    // The thread ends when the broker has the disconnection, or at the
    // deadline; one blocked in a connection attempt is left to end alone.
    const bool finished = core->wake.wait_until(lock, deadline + std::chrono::milliseconds(500),
                                                [&core] { return core->finished; });
    lock.unlock();
    if (finished)
        thread_.join();
    else
        thread_.detach();
    return acknowledged;
}

void MqttClient::onConnected(quint64 generation)
{
    generation_ = generation;
    emit connected();
}

void MqttClient::onPublished(quint64 generation, int mid)
{
    // Ids of an earlier connection mean nothing in this one.
    if (generation == generation_)
        emit published(mid);
}
