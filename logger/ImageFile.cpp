#include "logger/ImageFile.h"

#include <QDir>
#include <QSaveFile>

namespace ImageFile {

QByteArray keptBytes(const QByteArray& image)
{
    auto byteAt = [&](qsizetype at) { return at < image.size() ? quint8(image.at(at)) : 0; };
    const qsizetype length = qsizetype(byteAt(0x0C)) * 256 + byteAt(0x0D) + 257;
    return image.left(length);
}

bool write(const QString& path, const QByteArray& image)
{
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return false;
    const QByteArray bytes = keptBytes(image);
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

QString tempDirectory(const QString& dataDirectory)
{
    return QDir(dataDirectory).filePath(TempDirectoryName);
}

QString tempFilePath(const QString& dataDirectory)
{
    return QDir(tempDirectory(dataDirectory)).filePath(TempFileName);
}

Outcome writeTemp(const QString& dataDirectory, const QByteArray& image)
{
    const QString directory = tempDirectory(dataDirectory);
    if (!QDir().mkpath(directory))
        return Outcome::DirectoryMissing;
    return write(tempFilePath(dataDirectory), image) ? Outcome::Written : Outcome::NotWritten;
}

} // namespace ImageFile
