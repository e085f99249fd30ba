#include "files/formats/GraphExport.h"

#include "files/formats/ExportText.h"
#include "logger/DumpLine.h"
#include "logger/OutputFile.h"

#include <QFileInfo>

#include <algorithm>

namespace GraphExport {

namespace {
// Lines are gathered and handed to the device in blocks of about this size.
constexpr qsizetype kBlockBytes = 64 * 1024;

bool writeAll(QIODevice& device, const QByteArray& bytes)
{
    return device.write(bytes) == bytes.size();
}
} // namespace

FileWriteOutcome writeLines(QIODevice& device, std::span<const double> x, std::span<const float> y,
                            ExportRange range, QChar separator, const QLocale& locale,
                            const Progress& progress)
{
    FileWriteOutcome outcome;
    const qsizetype pointCount = qsizetype(std::min(x.size(), y.size()));
    const qsizetype first = std::max(range.from, 1) - 1;
    const qsizetype last = std::min<qsizetype>(range.to, pointCount) - 1;

    // The bytes of ExportText::graphExportLine, made without a QString per line.
    DumpLine::LineTexts texts(locale);
    const QByteArray separatorBytes = QString(separator).toUtf8();
    QByteArray block;
    block.reserve(kBlockBytes + 256);
    auto fail = [&] {
        outcome.kind = FileWriteOutcome::Failed;
        outcome.error = device.errorString();
        return outcome;
    };
    for (qsizetype i = first; i <= last; ++i) {
        // A point with X exactly 0 holds no sample: the series ends there.
        if (x[size_t(i)] == 0.0)
            break;
        texts.appendDate(block, x[size_t(i)]);
        block += separatorBytes;
        DumpLine::LineTexts::appendTime(block, x[size_t(i)]);
        block += separatorBytes;
        texts.appendValue(block, y[size_t(i)]);
        block += ExportText::LineEnd;
        ++outcome.lines;
        if (block.size() >= kBlockBytes) {
            if (!writeAll(device, block))
                return fail();
            block.clear();
        }
        if (progress && !progress(outcome.lines)) {
            outcome.kind = FileWriteOutcome::Cancelled;
            return outcome;
        }
    }
    if (!writeAll(device, block))
        return fail();
    outcome.kind = FileWriteOutcome::Written;
    return outcome;
}

FileWriteOutcome write(const QString& path, std::span<const double> x, std::span<const float> y,
                       ExportRange range, QChar separator, const QLocale& locale,
                       const Progress& progress)
{
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly)) {
        FileWriteOutcome outcome;
        outcome.kind = FileWriteOutcome::Failed;
        outcome.error = file.errorString();
        return outcome;
    }
    FileWriteOutcome outcome = writeLines(file, x, y, range, separator, locale, progress);
    if (outcome.kind != FileWriteOutcome::Written) {
        file.cancelWriting();
        return outcome;
    }
    if (!file.commit()) {
        outcome.kind = FileWriteOutcome::Failed;
        outcome.error = file.errorString();
    }
    return outcome;
}

std::optional<QChar> separatorForExtension(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return ExportText::Tab;
    if (suffix == QLatin1String("csv"))
        return ExportText::Comma;
    return std::nullopt;
}

} // namespace GraphExport
