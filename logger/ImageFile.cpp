#include "logger/ImageFile.h"

#include "logger/OutputFile.h"

#include <QDir>

namespace ImageFile {

QByteArray keptBytes(const QByteArray& image)
{
    auto byteAt = [&](qsizetype at) { return at < image.size() ? quint8(image.at(at)) : 0; };
    const qsizetype length = qsizetype(byteAt(0x0C)) * 256 + byteAt(0x0D) + 257;
    return image.left(length);
}

bool write(const QString& path, const QByteArray& image)
{
    return OutputFile::writeWhole(path, keptBytes(image)).isEmpty();
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
