#pragma once

// A throw-away MQTT broker for tests: the system's mosquitto (package
// mosquitto) with its own configuration in a temporary directory, listening
// on a free loopback port, stopped when the object goes (also when the test
// fails). It keeps sessions and retained messages across stop() and start()
// on the same port, as a broker restarted by its administrator does.
//
// Options before start(): a TLS listener with a certificate authority and a
// server certificate made with openssl for this run (caFile() for the
// clients), and a password file made with mosquitto_passwd (anonymous
// clients refused then).
//
//   MosquittoBroker broker;
//   QVERIFY2(broker.start(), qPrintable(broker.error()));
//   MosquittoSubscriber sub(broker, "audimark/#");
//   QVERIFY2(sub.start(), qPrintable(sub.error()));
//   QTRY_VERIFY_WITH_TIMEOUT(sub.payloads("audimark/x/status").contains("online"), 30000);

#include "common/FileBytes.h"
#include "common/LoopbackPort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <thread>

class MosquittoBroker
{
public:
    static inline const QString kBroker = QStringLiteral("/usr/sbin/mosquitto");

    MosquittoBroker() = default;
    MosquittoBroker(const MosquittoBroker&) = delete;
    MosquittoBroker& operator=(const MosquittoBroker&) = delete;
    ~MosquittoBroker() { stop(); }

    // A TLS listener; the server certificate names 127.0.0.1 and localhost.
    void useTls() { m_tls = true; }
    // Only this user with this password is let in.
    void requirePassword(const QString& user, const QString& password)
    {
        m_user = user;
        m_password = password;
    }

    // Writes the configuration (certificates, password file) and starts the
    // broker; false with error() set.
    bool start()
    {
        if (!m_dir.isValid())
            return failWith(QStringLiteral("no temporary directory"));
        if (!QFile::exists(kBroker))
            return failWith(kBroker + QStringLiteral(" not found (package mosquitto)"));
        m_port = freeLoopbackPort();
        if (m_port == 0)
            return failWith(QStringLiteral("no free loopback port"));
        if (m_tls && !makeCertificates())
            return false;
        if (!m_user.isEmpty() &&
            !run(QStringLiteral("mosquitto_passwd"),
                 {QStringLiteral("-c"), QStringLiteral("-b"), path("passwd"), m_user, m_password}))
            return false;
        QString config = QStringLiteral("listener %1 127.0.0.1\n"
                                        "persistence true\n"
                                        "persistence_location %2/\n"
                                        "log_dest file %3\n"
                                        "log_type all\n")
                             .arg(m_port)
                             .arg(m_dir.path(), path("broker.log"));
        if (::geteuid() == 0)
            config += QStringLiteral("user root\n");
        if (m_user.isEmpty())
            config += QStringLiteral("allow_anonymous true\n");
        else
            config +=
                QStringLiteral("allow_anonymous false\npassword_file %1\n").arg(path("passwd"));
        if (m_tls)
            config += QStringLiteral("cafile %1\ncertfile %2\nkeyfile %3\n")
                          .arg(caFile(), path("server.crt"), path("server.key"));
        if (!writeBytes(path("mosquitto.conf"), config.toUtf8()))
            return failWith(QStringLiteral("cannot write the configuration"));
        return launch();
    }

    // Starts a stopped broker again on the same port, with what it kept.
    bool startAgain() { return running() || launch(); }

    // Ends the broker as its administrator does (SIGTERM): it saves its
    // sessions and retained messages and closes every connection.
    void stop()
    {
        if (!running())
            return;
        m_process.terminate();
        if (!m_process.waitForFinished(30000)) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }

    [[nodiscard]] bool running() const { return m_process.state() != QProcess::NotRunning; }
    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] bool tls() const { return m_tls; }
    [[nodiscard]] QString user() const { return m_user; }
    [[nodiscard]] QString password() const { return m_password; }
    [[nodiscard]] QString caFile() const { return path("ca.crt"); }
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] QString log() const
    {
        return QString::fromLocal8Bit(fileBytes(path("broker.log")));
    }
    [[nodiscard]] QString path(const char* name) const
    {
        return m_dir.filePath(QString::fromLatin1(name));
    }

    // The URL of this broker, with a user when one is required.
    [[nodiscard]] QString url() const
    {
        return (m_tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://")) +
               (m_user.isEmpty() ? QString() : m_user + QLatin1Char('@')) +
               QStringLiteral("127.0.0.1:") + QString::number(m_port);
    }

    // The options of mosquitto_sub and mosquitto_pub to reach this broker.
    [[nodiscard]] QStringList clientArguments() const
    {
        QStringList arguments{QStringLiteral("-h"), QStringLiteral("127.0.0.1"),
                              QStringLiteral("-p"), QString::number(m_port)};
        if (m_tls)
            arguments << QStringLiteral("--cafile") << caFile();
        if (!m_user.isEmpty())
            arguments << QStringLiteral("-u") << m_user << QStringLiteral("-P") << m_password;
        return arguments;
    }

    // The message the broker keeps on a topic (mosquitto_sub -C 1); empty
    // when it keeps none.
    [[nodiscard]] QByteArray retained(const QString& topic) const
    {
        QProcess process;
        QStringList arguments = clientArguments();
        arguments << QStringLiteral("-C") << QStringLiteral("1") << QStringLiteral("-W")
                  << QStringLiteral("5") << QStringLiteral("-t") << topic;
        process.start(QStringLiteral("mosquitto_sub"), arguments);
        process.waitForFinished(60000);
        return process.readAllStandardOutput().trimmed();
    }

private:
    bool launch()
    {
        m_process.setProcessChannelMode(QProcess::MergedChannels);
        m_process.setWorkingDirectory(m_dir.path());
        m_process.start(kBroker, {QStringLiteral("-c"), path("mosquitto.conf")});
        if (!m_process.waitForStarted(30000))
            return failWith(
                QStringLiteral("cannot start %1: %2").arg(kBroker, m_process.errorString()));
        // Ready when the port takes a connection; one that ends instead says
        // why in its log.
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!accepts(m_port)) {
            if (m_process.waitForFinished(100) || std::chrono::steady_clock::now() > deadline) {
                stop();
                return failWith(QStringLiteral("the broker did not come up on port %1:\n%2%3")
                                    .arg(m_port)
                                    .arg(QString::fromLocal8Bit(m_process.readAll()), log()));
            }
        }
        return true;
    }

    static bool accepts(int port)
    {
        const int fd = ::socket(AF_INET, SOCK_STREAM, 0);
        if (fd < 0)
            return false;
        sockaddr_in address{};
        address.sin_family = AF_INET;
        address.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        address.sin_port = htons(quint16(port));
        const bool ok = ::connect(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)) == 0;
        ::close(fd);
        return ok;
    }

    // A certificate authority and a server certificate it signed, for this
    // run only.
    bool makeCertificates()
    {
        const QString openssl = QStringLiteral("openssl");
        if (!run(openssl,
                 {QStringLiteral("req"), QStringLiteral("-x509"), QStringLiteral("-newkey"),
                  QStringLiteral("rsa:2048"), QStringLiteral("-nodes"), QStringLiteral("-days"),
                  QStringLiteral("2"), QStringLiteral("-subj"),
                  QStringLiteral("/CN=Audimark test CA"), QStringLiteral("-keyout"), path("ca.key"),
                  QStringLiteral("-out"), caFile()}))
            return false;
        if (!writeBytes(path("server.ext"), "subjectAltName=IP:127.0.0.1,DNS:localhost\n"
                                           "basicConstraints=CA:FALSE\n"))
            return failWith(QStringLiteral("cannot write the certificate extensions"));
        return run(openssl,
                   {QStringLiteral("req"), QStringLiteral("-newkey"), QStringLiteral("rsa:2048"),
                    QStringLiteral("-nodes"), QStringLiteral("-subj"),
                    QStringLiteral("/CN=127.0.0.1"), QStringLiteral("-keyout"), path("server.key"),
                    QStringLiteral("-out"), path("server.csr")}) &&
               run(openssl,
                   {QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
                    path("server.csr"), QStringLiteral("-CA"), caFile(), QStringLiteral("-CAkey"),
                    path("ca.key"), QStringLiteral("-CAcreateserial"), QStringLiteral("-days"),
                    QStringLiteral("2"), QStringLiteral("-extfile"), path("server.ext"),
                    QStringLiteral("-out"), path("server.crt")});
    }

    bool run(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir.path());
        process.start(tool, arguments);
        const bool finished = process.waitForFinished(120000);
        if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return true;
        return failWith(
            QStringLiteral("%1 failed (%2): %3")
                .arg(tool, process.errorString(), QString::fromLocal8Bit(process.readAll())));
    }

    bool failWith(const QString& reason)
    {
        m_error = QStringLiteral("mosquitto test broker: ") + reason;
        return false;
    }

    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_error;
    QString m_user;
    QString m_password;
    int m_port = 0;
    bool m_tls = false;
};

// A subscriber on a test broker: mosquitto_sub (package mosquitto-clients)
// with a session the broker keeps (QoS 1, clean session off), so that it
// receives what was published while the broker was away and back. Each
// message is one line "topic payload".
class MosquittoSubscriber
{
public:
    MosquittoSubscriber(const MosquittoBroker& broker, const QString& topicFilter,
                        const QString& clientId = QStringLiteral("audimark-test-subscriber"))
        : m_broker(broker), m_filter(topicFilter), m_clientId(clientId)
    {
    }
    ~MosquittoSubscriber()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished(30000);
        }
    }

    // Starts subscribing; true once the broker has the subscription.
    bool start()
    {
        m_process.setProcessChannelMode(QProcess::SeparateChannels);
        QStringList arguments = m_broker.clientArguments();
        arguments << QStringLiteral("-i") << m_clientId << QStringLiteral("-c")
                  << QStringLiteral("-q") << QStringLiteral("1") << QStringLiteral("-v")
                  << QStringLiteral("-t") << m_filter;
        m_process.start(QStringLiteral("mosquitto_sub"), arguments);
        if (!m_process.waitForStarted(30000)) {
            m_error = QStringLiteral("cannot start mosquitto_sub (package mosquitto-clients): ") +
                      m_process.errorString();
            return false;
        }
        // The broker's log names the subscription once it has it.
        const QString mark =
            m_clientId + QStringLiteral(" ") + QString::number(1) + QStringLiteral(" ") + m_filter;
        const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(60);
        while (!m_broker.log().contains(mark)) {
            if (m_process.waitForFinished(100) || std::chrono::steady_clock::now() > deadline) {
                m_error = QStringLiteral("mosquitto_sub did not subscribe: ") +
                          QString::fromLocal8Bit(m_process.readAllStandardError()) + m_broker.log();
                return false;
            }
        }
        return true;
    }

    // The messages received so far, as (topic, payload), oldest first.
    QList<std::pair<QString, QByteArray>> messages()
    {
        m_buffer += m_process.readAllStandardOutput();
        qsizetype end;
        while ((end = m_buffer.indexOf('\n')) >= 0) {
            const QByteArray line = m_buffer.left(end);
            m_buffer.remove(0, end + 1);
            const qsizetype space = line.indexOf(' ');
            if (space < 0)
                m_messages.append({QString::fromUtf8(line), QByteArray()});
            else
                m_messages.append({QString::fromUtf8(line.left(space)), line.mid(space + 1)});
        }
        return m_messages;
    }

    // The payloads received on one topic, oldest first.
    QList<QByteArray> payloads(const QString& topic)
    {
        QList<QByteArray> found;
        for (const auto& [t, payload] : messages())
            if (t == topic)
                found.append(payload);
        return found;
    }

    [[nodiscard]] QString error() const { return m_error; }

private:
    const MosquittoBroker& m_broker;
    QString m_filter;
    QString m_clientId;
    QProcess m_process;
    QByteArray m_buffer;
    QList<std::pair<QString, QByteArray>> m_messages;
    QString m_error;
};
