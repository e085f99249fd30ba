#pragma once

// The data set collection file (*.rec): the raw logger memory image, byte for
// byte as the temporary image file holds it. Saving copies the temporary
// image file; opening reads a file back into the memory image and decodes it.

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "logger/ImageFile.h"
#include "logger/LoadResult.h"

#include <QDateTime>
#include <QString>

namespace CollectionFile {

enum class SaveOutcome
{
    Written,
    NoTempFile, // no temporary image file: nothing written, nothing said
    Failed      // the copy could not be written; an earlier file stays
};

// Copies the temporary image file of dataDirectory to target, complete or
// not at all (an existing target is replaced only by a complete copy). A
// temporary image file that is not a regular file fails; of one longer than
// MaxImageBytes, the first MaxImageBytes are copied.
[[nodiscard]] SaveOutcome save(const QString& dataDirectory, const QString& target);

// The most of a collection file the decoder can use: the memory end in the
// control page (bytes 0x0C..0x0D) + 257 bytes, as the temporary image file
// keeps it; below the logger's memory size.
inline constexpr qint64 MaxImageBytes = 0xFFFF + 257;

struct ImageRead
{
    bool opened = false; // false: error says why
    QString error;
    QByteArray image; // the memory end + 257 bytes, or the whole file when shorter
};

// Reads the part of a collection file the decoder can use. Refuses what is
// not a regular file (a FIFO, a device, a directory) without waiting on it.
[[nodiscard]] ImageRead readImage(const QString& path);

struct OpenOutcome
{
    bool read = false;                      // the file gave at least one byte
    LoadResult result = LoadResult::NoData; // of the decode, when read
    // Ok only: the temporary image file step.
    ImageFile::Outcome temp = ImageFile::Outcome::NotWritten;
};

// Reads path into memory (readImage), sets the memory end from the image, decodes
// it into collection and, on Ok, writes the temporary image file. The memory
// image is emptied at the end. A file that cannot be read or decodes to
// anything but Ok leaves the collection as it was.
[[nodiscard]] OpenOutcome open(const QString& path, LoggerMemory& memory,
                               DataSetCollection& collection, const QString& dataDirectory,
                               const QDateTime& now);

} // namespace CollectionFile
