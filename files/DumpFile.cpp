#include "files/DumpFile.h"

#include "data/SampleEncoding.h"
#include "files/ExportText.h"
#include "logger/DumpLine.h"
#include "logger/RecordDecoder.h"

#include <QDir>
#include <QSaveFile>

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
    QByteArray text;
    const auto* bytes = reinterpret_cast<const quint8*>(image.constData());
    qint64 i = 0;
    for (qint64 q = qint64(header.recordOffset) + kSamplesOffset;
         q < qint64(header.recordEnd) - 1 && q + 1 < image.size(); q += 2, ++i) {
        const float value = SampleEncoding::decodeSampleValue(bytes[q], bytes[q + 1]);
        const double time = SampleEncoding::sampleTime(header.startTime, header.intervalSeconds, i);
        text += DumpLine::line(time, value, locale).toUtf8();
        text += ExportText::LineEnd;
    }
    return text;
}
} // namespace

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

    QSaveFile file(outcome.path);
    if (!file.open(QIODevice::WriteOnly)) {
        outcome.error = file.errorString();
        return outcome;
    }
    const QByteArray text = dumpText(image, newest, locale);
    if (file.write(text) != text.size()) {
        outcome.error = file.errorString();
        file.cancelWriting();
        return outcome;
    }
    if (!file.commit()) {
        outcome.error = file.errorString();
        return outcome;
    }
    outcome.written = true;
    return outcome;
}

} // namespace DumpFile
