#include "files/CollectionFile.h"

#include "files/RegularFile.h"
#include "logger/RecordDecoder.h"

#include <QFile>
#include <QSaveFile>

namespace CollectionFile {

SaveOutcome save(const QString& dataDirectory, const QString& target)
{
    QFile temp(ImageFile::tempFilePath(dataDirectory));
    if (!temp.exists())
        return SaveOutcome::NoTempFile;
    if (!temp.open(QIODevice::ReadOnly))
        return SaveOutcome::Failed;
    const QByteArray bytes = temp.readAll();
    if (temp.error() != QFileDevice::NoError)
        return SaveOutcome::Failed;

    QSaveFile file(target);
    if (!file.open(QIODevice::WriteOnly))
        return SaveOutcome::Failed;
    if (file.write(bytes) != bytes.size()) {
        file.cancelWriting();
        return SaveOutcome::Failed;
    }
    return file.commit() ? SaveOutcome::Written : SaveOutcome::Failed;
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
