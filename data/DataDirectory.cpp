#include "data/DataDirectory.h"

#include <QDir>
#include <QStandardPaths>

QString DataDirectory::choose(const QString& optionValue)
{
    QString chosen = optionValue;
    if (chosen.isEmpty())
        chosen = qEnvironmentVariable(EnvironmentVariable);
    if (chosen.isEmpty())
        chosen = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    return QDir::cleanPath(QDir(chosen).absolutePath());
}

bool DataDirectory::ensureExists(const QString& path)
{
    return !path.isEmpty() && QDir().mkpath(path);
}
