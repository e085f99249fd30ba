#pragma once

// New, empty archives for tests, one per call: an SQLite file in a folder of
// the test's, or a database on a throw-away PostgreSQL server that starts on
// first use and finds its password through PGPASSFILE. An empty name when
// the server cannot be started, with the reason as a warning.

#include "common/PostgresServer.h"

#include <QDir>
#include <QString>

#include <memory>

class NewArchives
{
public:
    explicit NewArchives(const QString& folder) : folder_(folder) {}

    // engine: "sqlite" or "postgresql".
    QString create(const QString& engine)
    {
        const QString name = QStringLiteral("archive%1").arg(++count_);
        if (engine == QLatin1String("sqlite"))
            return folder_.filePath(name + QStringLiteral(".sqlite"));
        if (!server_) {
            server_ = std::make_unique<PostgresServer>();
            if (!server_->start()) {
                qWarning("%s", qPrintable(server_->error()));
                return {};
            }
            const QString passFile = folder_.filePath(QStringLiteral("pgpass"));
            if (!server_->writePassFile(passFile))
                return {};
            qputenv("PGPASSFILE", QFile::encodeName(passFile));
        }
        if (!server_->createDatabase(name)) {
            qWarning("%s", qPrintable(server_->error()));
            return {};
        }
        return server_->url(name);
    }

private:
    QDir folder_;
    std::unique_ptr<PostgresServer> server_;
    int count_ = 0;
};
