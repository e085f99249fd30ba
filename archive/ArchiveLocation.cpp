#include "archive/ArchiveLocation.h"

#include <QDir>
#include <QFileInfo>
#include <QUrl>

QString ArchiveLocation::displayName() const
{
    if (engine == Engine::SQLite)
        return QDir::toNativeSeparators(filePath);
    return QStringLiteral("postgresql://%1@%2:%3/%4").arg(user, host).arg(port).arg(database);
}

ArchiveLocation ArchiveLocation::inDataDirectory(const QString& dataDirectory)
{
    ArchiveLocation location;
    location.filePath = QDir(dataDirectory).absoluteFilePath(QStringLiteral("archive.sqlite"));
    return location;
}

bool ArchiveLocation::parse(const QString& text, ArchiveLocation& location, QString& error)
{
    location = ArchiveLocation();
    const QString trimmed = text.trimmed();
    if (trimmed.isEmpty()) {
        error = QStringLiteral("No archive was named.");
        return false;
    }
    const bool server = trimmed.startsWith(QLatin1String("postgresql://"), Qt::CaseInsensitive) ||
                        trimmed.startsWith(QLatin1String("postgres://"), Qt::CaseInsensitive);
    if (!server) {
        QString path = trimmed;
        if (trimmed.startsWith(QLatin1String("file:"), Qt::CaseInsensitive))
            path = QUrl(trimmed).toLocalFile();
        if (path.isEmpty()) {
            error = QStringLiteral("\"%1\" does not name an archive file.").arg(trimmed);
            return false;
        }
        location.filePath = QFileInfo(path).absoluteFilePath();
        return true;
    }
    const QUrl url(trimmed, QUrl::StrictMode);
    if (!url.isValid() || url.host().isEmpty()) {
        error = QStringLiteral("\"%1\" is not a PostgreSQL URL of the form "
                               "postgresql://user@host:port/database.")
                    .arg(url.toString(QUrl::RemovePassword));
        return false;
    }
    if (!url.password().isEmpty()) {
        error = QStringLiteral("The archive URL %1 holds a password; put it in ~/.pgpass (or the "
                               "file named by PGPASSFILE) instead.")
                    .arg(url.toString(QUrl::RemovePassword));
        return false;
    }
    location.engine = Engine::PostgreSQL;
    location.host = url.host();
    location.port = url.port(5432);
    location.user = url.userName();
    if (location.user.isEmpty())
        location.user = qEnvironmentVariable("PGUSER", qEnvironmentVariable("USER"));
    location.database = url.path().mid(1);
    if (location.database.isEmpty() || location.database.contains(QLatin1Char('/'))) {
        error = QStringLiteral("The archive URL %1 names no database.")
                    .arg(url.toString(QUrl::RemovePassword));
        return false;
    }
    return true;
}
