#include "mqtt/MqttSettings.h"

#include <QFile>
#include <QRegularExpression>
#include <QUrl>

#include <sys/stat.h>

QString MqttSettings::displayName() const
{
    QString name = tls ? QStringLiteral("mqtts://") : QStringLiteral("mqtt://");
    if (!user.isEmpty())
        name += user + QLatin1Char('@');
    const bool ipv6 = host.contains(QLatin1Char(':'));
    name += ipv6 ? QLatin1Char('[') + host + QLatin1Char(']') : host;
    return name + QLatin1Char(':') + QString::number(port);
}

std::optional<MqttSettings> parseMqttUrl(const QString& url, QString& error)
{
    const QString text = url.trimmed();
    const QUrl parsed(text, QUrl::StrictMode);
    const QString scheme = parsed.scheme().toLower();
    if (!parsed.isValid() ||
        (scheme != QLatin1String("mqtt") && scheme != QLatin1String("mqtts"))) {
        error = QStringLiteral("not an MQTT broker URL (mqtt://[user@]host[:port] or "
                               "mqtts://[user@]host[:port])");
        return std::nullopt;
    }
    // QUrl keeps an empty password ("user:@host") as no password at all.
    const QString authority =
        text.section(QStringLiteral("://"), 1).section(QLatin1Char('/'), 0, 0);
    if (!parsed.password().isEmpty() || authority.section(QLatin1Char('@'), 0, -2).contains(':')) {
        error = QStringLiteral("the broker URL must not hold a password; give it in a password "
                               "file");
        return std::nullopt;
    }
    if (parsed.host().isEmpty()) {
        error = QStringLiteral("the broker URL names no host");
        return std::nullopt;
    }
    const QString path = parsed.path();
    if ((!path.isEmpty() && path != QLatin1String("/")) || parsed.hasQuery() ||
        parsed.hasFragment()) {
        error = QStringLiteral("the broker URL has a path or options; only "
                               "mqtt://[user@]host[:port] is understood");
        return std::nullopt;
    }
    MqttSettings settings;
    settings.tls = scheme == QLatin1String("mqtts");
    settings.host = parsed.host();
    settings.user = parsed.userName();
    settings.port = parsed.port(settings.tls ? 8883 : 1883);
    if (settings.port <= 0 || settings.port > 65535) {
        error = QStringLiteral("the broker URL has no valid port");
        return std::nullopt;
    }
    return settings;
}

bool isValidStationName(const QString& station)
{
    static const QRegularExpression valid(QStringLiteral("^[A-Za-z0-9_.-]{1,64}$"));
    return valid.match(station).hasMatch();
}

std::optional<QString> readMqttPasswordFile(const QString& path, QString& error)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        error = QStringLiteral("cannot read the MQTT password file %1: %2")
                    .arg(path, file.errorString());
        return std::nullopt;
    }
    struct stat status
    {
    };
    if (::fstat(file.handle(), &status) == 0 && (status.st_mode & S_IROTH) != 0) {
        error = QStringLiteral("the MQTT password file %1 may be read by everybody; make it "
                               "readable by its owner only (chmod 600)")
                    .arg(path);
        return std::nullopt;
    }
    const QByteArray firstLine = file.readLine(4096);
    QString password = QString::fromUtf8(firstLine);
    while (password.endsWith(QLatin1Char('\n')) || password.endsWith(QLatin1Char('\r')))
        password.chop(1);
    if (password.isEmpty()) {
        error = QStringLiteral("the MQTT password file %1 holds no password on its first line")
                    .arg(path);
        return std::nullopt;
    }
    return password;
}
