#include "files/formats/GridExport.h"

#include "files/formats/ExportText.h"
#include "logger/OutputFile.h"

#include <algorithm>

namespace GridExport {

namespace {
// Lines are gathered and handed to the file in blocks of about this size.
constexpr qsizetype kBlockBytes = 64 * 1024;

FileWriteOutcome failed(const OutputFile& file, int lines)
{
    FileWriteOutcome outcome;
    outcome.kind = FileWriteOutcome::Failed;
    outcome.lines = lines;
    outcome.error = file.errorString();
    return outcome;
}
// The bytes of line(): a cell of plain ASCII, the usual one, is copied as
// it is; any other goes through its text, as line() takes it.
void appendLine(QByteArray& out, const TabularTable& table, int gridRow,
                const QByteArray& separator)
{
    for (int column = 1; column < TabularTable::ColumnCount; ++column) {
        const QByteArrayView cell = table.cellBytes(gridRow, column);
        const bool ascii = std::all_of(cell.begin(), cell.end(),
                                       [](char c) { return static_cast<unsigned char>(c) < 0x80; });
        if (ascii)
            out.append(cell.data(), cell.size());
        else
            out += table.cell(gridRow, column).toUtf8();
        out += separator;
    }
}
} // namespace

QChar separatorForFileName(const QString& fileName)
{
    return fileName.right(3).toLower() == QLatin1String("csv") ? QLatin1Char(',')
                                                               : QLatin1Char('\t');
}

QString line(const TabularTable& table, int gridRow, QChar separator)
{
    QString text;
    for (int column = 1; column < TabularTable::ColumnCount; ++column) {
        text += table.cell(gridRow, column);
        text += separator;
    }
    return text;
}

FileWriteOutcome write(const QString& path, const TabularTable& table, ExportRange range,
                       QChar separator, const Progress& progress)
{
    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return failed(file, 0);

    const int first = std::max(range.from, 1);
    const int last = std::min(range.to, table.dataRowCount());
    FileWriteOutcome outcome;
    QByteArray block;
    block.reserve(kBlockBytes + 1024);
    const QByteArray separatorBytes = QString(separator).toUtf8();
    for (int row = first; row <= last; ++row) {
        appendLine(block, table, row, separatorBytes);
        block += ExportText::LineEnd;
        ++outcome.lines;
        if (block.size() >= kBlockBytes) {
            if (file.write(block) != block.size()) {
                file.cancelWriting();
                return failed(file, outcome.lines);
            }
            block.clear();
        }
        if (progress && !progress(outcome.lines)) {
            file.cancelWriting();
            outcome.kind = FileWriteOutcome::Cancelled;
            return outcome;
        }
    }
    if (file.write(block) != block.size()) {
        file.cancelWriting();
        return failed(file, outcome.lines);
    }
    if (!file.commit())
        return failed(file, outcome.lines);
    outcome.kind = FileWriteOutcome::Written;
    return outcome;
}

} // namespace GridExport
