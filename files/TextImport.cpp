#include "files/TextImport.h"

#include "files/RegularFile.h"

#include <QFile>
#include <QFileInfo>

namespace TextImport {

namespace {
// A UTF-8 character takes at most four bytes; a line read in this many bytes
// holds at least its first MaxLineLength characters and its line end.
constexpr qint64 kLineBytes = qint64(MaxLineLength) * 4 + 2;

// Reads the next line (without its CR LF or LF) into `line`, at most
// MaxLineLength characters; the rest of a longer line is skipped. False at
// the end of the file.
bool readLine(QFile& file, QByteArray& buffer, QString& line)
{
    buffer.resize(kLineBytes + 1);
    const qint64 read = file.readLine(buffer.data(), buffer.size());
    if (read <= 0)
        return false;
    buffer.resize(read);
    if (buffer.endsWith('\n')) {
        buffer.chop(1);
    } else {
        // Longer than we keep: drop what is left of it.
        char c = 0;
        while (file.getChar(&c) && c != '\n') {
        }
    }
    if (buffer.endsWith('\r'))
        buffer.chop(1);
    line = QString::fromUtf8(buffer);
    if (line.size() > MaxLineLength)
        line.truncate(MaxLineLength);
    return true;
}
} // namespace

QStringList splitLine(const QString& line, QChar separator)
{
    QStringList fields;
    qsizetype start = 0;
    for (int column = 1; column <= TabularTable::DataColumnCount; ++column) {
        const qsizetype next = line.indexOf(separator, start);
        if (next >= 0) {
            fields << line.mid(start, next - start);
            start = next + 1;
        } else {
            if (start < line.size())
                fields << line.mid(start);
            break;
        }
    }
    return fields;
}

Outcome read(const QString& path, QChar separator, TabularTable& table, const Progress& progress)
{
    Outcome outcome;
    // A FIFO or a device would hold the import for ever.
    QFile file;
    if (!RegularFile::openForReading(file, path))
        return outcome;
    outcome.opened = true;

    table.beginFill();
    QByteArray buffer;
    QString line;
    bool first = true;
    while (readLine(file, buffer, line)) {
        // A byte order mark is not part of the first field.
        if (first && line.startsWith(QChar(0xFEFF)))
            line.remove(0, 1);
        first = false;
        if (!line.contains(separator))
            break;
        const int lineNumber = outcome.lines + 1;
        if (progress && !progress(lineNumber)) {
            outcome.cancelled = true;
            break;
        }
        table.appendRow(splitLine(line, separator));
        outcome.lines = lineNumber;
    }
    table.endFill();
    return outcome;
}

std::optional<QChar> separatorForExtension(const QString& fileName)
{
    const QString suffix = QFileInfo(fileName).suffix().toLower();
    if (suffix == QLatin1String("txt"))
        return QLatin1Char('\t');
    if (suffix == QLatin1String("csv"))
        return QLatin1Char(',');
    return std::nullopt;
}

} // namespace TextImport
