#include "logger/DumpFile.h"

#include "data/SampleEncoding.h"
#include "logger/DumpLine.h"
#include "logger/ImageFile.h"
#include "logger/OutputFile.h"
#include "logger/RecordDecoder.h"
#include "logger/RegularFile.h"

#include <QDir>
#include <QFileInfo>

#include <algorithm>

namespace DumpFile {

namespace {
// BCD yy mm dd hh nn of a record, after its markers and status byte.
constexpr qint64 kRecordDateOffset = 3;
constexpr qsizetype kRecordDateBytes = 5;
constexpr qint64 kSamplesOffset = 14;

// The dump lines of one set, read from the image. Only sample pairs inside
// the image are read: a record forgiven its markers may claim more.
QByteArray dumpText(const QByteArray& image, const DataSetHeader& header, const QLocale& locale)
{
    // The bytes of DumpLine::line, made without a string per line.
    DumpLine::LineTexts texts(locale);
    QByteArray text;
    const auto* bytes = reinterpret_cast<const quint8*>(image.constData());
    const qint64 first = qint64(header.recordOffset) + kSamplesOffset;
    const qint64 end = std::min<qint64>(qint64(header.recordEnd) - 1, image.size() - 1);
    if (end > first)
        text.reserve(qsizetype((end - first) / 2 + 1) * 32);
    qint64 i = 0;
    for (qint64 q = first; q < qint64(header.recordEnd) - 1 && q + 1 < image.size(); q += 2, ++i) {
        const float value = SampleEncoding::decodeSampleValue(bytes[q], bytes[q + 1]);
        const double time = SampleEncoding::sampleTime(header.startTime, header.intervalSeconds, i);
        texts.appendDate(text, time);
        text += ", ";
        DumpLine::LineTexts::appendTime(text, time);
        text += ',';
        texts.appendValue(text, value);
        text += DumpLine::LineEnd;
    }
    return text;
}

QString dumpNameOf(const QByteArray& image, const DataSetHeader& header)
{
    return DumpLine::fileName(
        image.mid(qsizetype(header.recordOffset) + kRecordDateOffset, kRecordDateBytes));
}

// What a file holds now, read back from the disk: a regular file only, and
// no more than one byte beyond the `expected` bytes written to it.
QByteArray readBack(const QString& path, qsizetype expected, QString& reason)
{
    QFile file;
    if (!RegularFile::openForReading(file, path, &reason))
        return {};
    return RegularFile::readAtMost(file, qint64(expected) + 1);
}

// Writes one set's dump and checks it on the disk; empty on success.
QString writeCheckedDump(const QString& path, const QByteArray& text, qint32 samples)
{
    const QString name = QFileInfo(path).fileName();
    if (const QString reason = OutputFile::writeWhole(path, text); !reason.isEmpty())
        return QStringLiteral("cannot write %1: %2").arg(name, reason);
    QString reason;
    const QByteArray onDisk = readBack(path, text.size(), reason);
    if (!reason.isEmpty())
        return QStringLiteral("cannot read back %1: %2").arg(name, reason);
    const qsizetype lines = onDisk.count(DumpLine::LineEnd);
    if (lines != samples)
        return QStringLiteral("%1 holds %2 lines, the set has %3 samples")
            .arg(name)
            .arg(lines)
            .arg(samples);
    if (onDisk != text)
        return QStringLiteral("%1 read back differs from what was written").arg(name);
    return {};
}

QString writeCheckedImage(const QString& path, const QByteArray& image)
{
    const QString name = QFileInfo(path).fileName();
    if (!ImageFile::write(path, image))
        return QStringLiteral("cannot write %1").arg(name);
    QString reason;
    const QByteArray kept = ImageFile::keptBytes(image);
    if (readBack(path, kept.size(), reason) != kept)
        return reason.isEmpty() ? QStringLiteral("%1 read back differs from the memory").arg(name)
                                : QStringLiteral("cannot read back %1: %2").arg(name, reason);
    return {};
}
} // namespace

QString unusedName(const QString& directory, const QString& name, const QStringList& taken)
{
    const QDir dir(directory);
    const QFileInfo info(name);
    const QString base = info.completeBaseName();
    const QString suffix = info.suffix().isEmpty() ? QString() : QLatin1Char('.') + info.suffix();
    QString candidate = name;
    for (int n = 2; dir.exists(candidate) || taken.contains(candidate); ++n)
        candidate = QStringLiteral("%1-%2%3").arg(base).arg(n).arg(suffix);
    return candidate;
}

QString line(double dateTime, float value, const QLocale& locale)
{
    return DumpLine::line(dateTime, value, locale);
}

Outcome exportNewestDataSet(LoggerMemory& memory, DataSetCollection& collection,
                            const QString& dataDirectory, const QDateTime& now,
                            const QLocale& locale)
{
    Outcome outcome;
    const QByteArray& image = memory.memoryImage();
    const RecordWalk walk = walkRecords(image, memory.memoryEnd(), now);
    outcome.result = walk.result;
    if (walk.result == LoadResult::DataError)
        memory.setErrorPosition(walk.errorPosition);
    if (walk.result != LoadResult::Ok)
        return outcome;

    collection.replaceHeaders(walk.headers);
    const DataSetHeader newest = walk.headers.at(walk.headers.count() - 1);
    const QString name = DumpLine::fileName(
        image.mid(qsizetype(newest.recordOffset) + kRecordDateOffset, kRecordDateBytes));
    outcome.path = QDir(dataDirectory).filePath(name);

    outcome.error = OutputFile::writeWhole(outcome.path, dumpText(image, newest, locale));
    outcome.written = outcome.error.isEmpty();
    return outcome;
}

AllSetsOutcome exportAllDataSets(const QByteArray& image, qint32 memoryEnd,
                                 const QString& dataDirectory, const QDateTime& now,
                                 const QLocale& locale)
{
    AllSetsOutcome outcome;
    const RecordWalk walk = walkRecords(image, memoryEnd, now);
    outcome.result = walk.result;
    outcome.errorPosition = walk.errorPosition;
    if (walk.result != LoadResult::Ok)
        return outcome;
    outcome.setCount = walk.headers.count();

    const QDir dir(dataDirectory);
    QStringList taken;
    for (qsizetype k = 0; k < walk.headers.count(); ++k) {
        const DataSetHeader header = walk.headers.at(k);
        const QString name = unusedName(dataDirectory, dumpNameOf(image, header), taken);
        taken << name;
        const QString path = dir.filePath(name);
        outcome.error = writeCheckedDump(path, dumpText(image, header, locale), header.sampleCount);
        if (!outcome.error.isEmpty())
            return outcome;
        outcome.dumps.append({path, header.sampleCount});
    }

    const QString imageName =
        unusedName(dataDirectory, QFileInfo(outcome.dumps.constLast().path).completeBaseName() +
                                      QStringLiteral(".rec"));
    const QString imagePath = dir.filePath(imageName);
    outcome.error = writeCheckedImage(imagePath, image);
    if (!outcome.error.isEmpty())
        return outcome;
    outcome.imagePath = imagePath;
    outcome.complete = true;
    return outcome;
}

} // namespace DumpFile
