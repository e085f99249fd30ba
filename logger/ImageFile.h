#pragma once

// The image files: the temporary image file "temp/DataSetsTemp.tmp" in the
// data directory, written after every successful decode, and the data set
// collection file saved by copying it. Both hold the first memory end + 257
// bytes of the image (memory end = byte 0x0C x 256 + byte 0x0D), or the whole
// image when it is shorter.

#include <QByteArray>
#include <QString>

namespace ImageFile {

inline const QString TempDirectoryName = QStringLiteral("temp");
inline const QString TempFileName = QStringLiteral("DataSetsTemp.tmp");

enum class Outcome
{
    Written,
    NotWritten,      // the file could not be written; nothing replaced
    DirectoryMissing // the temp directory can be neither found nor created
};

// The bytes of the image that the files keep.
[[nodiscard]] QByteArray keptBytes(const QByteArray& image);

// Writes keptBytes(image) to path, complete or not at all.
[[nodiscard]] bool write(const QString& path, const QByteArray& image);

[[nodiscard]] QString tempDirectory(const QString& dataDirectory);
[[nodiscard]] QString tempFilePath(const QString& dataDirectory);
// Creates the temp directory when needed, then writes the temporary file.
[[nodiscard]] Outcome writeTemp(const QString& dataDirectory, const QByteArray& image);

} // namespace ImageFile
