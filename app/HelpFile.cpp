#include "app/HelpFile.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

QStringList HelpFile::installedCandidates()
{
    const QString programDir = QCoreApplication::applicationDirPath();
    QStringList candidates{
        programDir + QLatin1Char('/') + FileName,
        QDir::cleanPath(programDir + QStringLiteral("/../share/audimark/") + FileName),
    };
    candidates += QStandardPaths::locateAll(QStandardPaths::GenericDataLocation,
                                            QStringLiteral("audimark/") + FileName);
    return candidates;
}

bool HelpFile::installInto(const QString& dataDirectory, const QStringList& candidates)
{
    const QString target = pathIn(dataDirectory);
    for (const QString& candidate : candidates) {
        const QFileInfo source(candidate);
        if (!source.isFile())
            continue;
        const QFileInfo existing(target);
        if (existing.exists() && existing.canonicalFilePath() == source.canonicalFilePath())
            return true;
        if (existing.exists() && existing.lastModified() >= source.lastModified())
            return true;
        QFile::remove(target);
        return QFile::copy(candidate, target);
    }
    return true;
}

QString HelpFile::pathIn(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(FileName);
}
