#include "files/formats/CollectionFile.h"

#include "logger/OutputFile.h"
#include "logger/RecordDecoder.h"
#include "logger/RegularFile.h"

#include <QFile>

namespace CollectionFile {

SaveOutcome save(const QString& dataDirectory, const QString& target)
{
    const QString tempPath = ImageFile::tempFilePath(dataDirectory);
    if (!QFile::exists(tempPath))
        return SaveOutcome::NoTempFile;
    // A regular file only; of a longer one, what any reader of the copy uses.
    QFile temp;
    if (!RegularFile::openForReading(temp, tempPath))
        return SaveOutcome::Failed;
    const QByteArray bytes = RegularFile::readAtMost(temp, MaxImageBytes);
    if (temp.error() != QFileDevice::NoError)
        return SaveOutcome::Failed;

    return OutputFile::writeWhole(target, bytes).isEmpty() ? SaveOutcome::Written
                                                           : SaveOutcome::Failed;
}

ImageRead readImage(const QString& path)
{
    ImageRead read;
    QFile file;
    if (!RegularFile::openForReading(file, path, &read.error))
        return read;
    read.opened = true;
    read.image = ImageFile::keptBytes(RegularFile::readAtMost(file, MaxImageBytes));
    return read;
}

OpenOutcome open(const QString& path, LoggerMemory& memory, DataSetCollection& collection,
                 const QString& dataDirectory, const QDateTime& now)
{
    OpenOutcome outcome;
    ImageRead file = readImage(path);
    if (!file.opened)
        return outcome;
    memory.clearImage();
    memory.memoryImage() = std::move(file.image);
    outcome.read = !memory.memoryImage().isEmpty();
    if (outcome.read) {
        memory.setMemoryEnd(memory.memoryEndFromImage());
        outcome.result = decodeImage(memory, collection, now);
        if (outcome.result == LoadResult::Ok)
            outcome.temp = ImageFile::writeTemp(dataDirectory, memory.memoryImage());
    }
    memory.clearImage();
    return outcome;
}

} // namespace CollectionFile
