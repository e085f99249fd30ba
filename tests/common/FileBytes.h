#pragma once

// Reading and writing whole files in tests, and telling what a path is.

#include <QByteArray>
#include <QFile>
#include <QString>

#include <sys/stat.h>

// The bytes of the file at path, or "<missing>" when it cannot be read.
inline QByteArray fileBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<missing>");
}

// Writes bytes to path, replacing what was there.
inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(bytes) == bytes.size();
}

// The S_IFMT bits of what path names (S_IFREG, S_IFIFO, ...), 0 when nothing.
inline mode_t fileType(const QString& path)
{
    struct stat status = {};
    return ::stat(QFile::encodeName(path).constData(), &status) == 0 ? status.st_mode & S_IFMT : 0;
}
