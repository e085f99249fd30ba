#include "files/formats/TextImport.h"

#include "logger/RegularFile.h"

#include <QFile>
#include <QFileInfo>

#include <cstring>

namespace TextImport {

namespace {
// The file is read this many bytes at a time; passing over a long line asks
// the progress once per piece.
constexpr qint64 kPieceBytes = qint64(1) << 20;
// Any MaxLineLength characters take at most this many bytes of UTF-8 (an
// undecodable byte counts as one character), so a line's first bytes up to
// this many hold every character it keeps.
constexpr qsizetype kLineBytes = qsizetype(MaxLineLength) * 4;

const QByteArrayView kByteOrderMark("\xEF\xBB\xBF");

// The bytes of the first MaxLineLength characters of a line. A line of
// plain ASCII is its own bytes; others are decoded and encoded again
// (undecodable bytes then show as the replacement character).
QByteArrayView keptPart(QByteArrayView line, QByteArray& recoded)
{
    const qsizetype head = std::min<qsizetype>(line.size(), MaxLineLength);
    bool ascii = true;
    for (qsizetype i = 0; i < head && ascii; ++i)
        ascii = static_cast<unsigned char>(line[i]) < 0x80;
    if (ascii)
        return line.first(head);
    QString text = QString::fromUtf8(line);
    text.truncate(MaxLineLength);
    recoded = text.toUtf8();
    return recoded;
}

// Cuts the file's bytes into lines as the import reads them and hands the
// kept part of each line that holds the separator to `take`.
class LineReader
{
public:
    LineReader(char separator, const LineSink& sink, const Progress& progress, Outcome& outcome)
        : separator_(separator), sink_(sink), progress_(progress), outcome_(outcome)
    {
        line_.reserve(kLineBytes);
    }

    // Passes the file's next bytes on; false once the import has ended.
    bool feed(const char* at, const char* end)
    {
        while (at < end) {
            const auto* newline = static_cast<const char*>(std::memchr(at, '\n', size_t(end - at)));
            const char* lineEnd = newline ? newline : end;
            if (skipping_) {
                if (!newline)
                    return poll();
                skipping_ = false;
                at = newline + 1;
                continue;
            }
            const qsizetype length = lineEnd - at;
            if (line_.isEmpty() && newline && length <= kLineBytes) {
                // The common case: the whole line lies in this piece.
                if (!take(QByteArrayView(at, length), true))
                    return false;
                at = newline + 1;
                continue;
            }
            const qsizetype room = kLineBytes - line_.size();
            if (length > room) {
                // Longer than anything kept: the rest of it is passed over.
                line_.append(at, room);
                if (!takeGathered(false))
                    return false;
                skipping_ = true;
                at += room;
                continue;
            }
            line_.append(at, length);
            if (!newline)
                return true; // goes on in the next piece
            if (!takeGathered(true))
                return false;
            at = newline + 1;
        }
        return true;
    }

    // The end of the file: a last line without a line end.
    void finish()
    {
        if (!skipping_ && !line_.isEmpty())
            (void)takeGathered(true);
    }

private:
    bool poll()
    {
        if (progress_ && !progress_(outcome_.lines)) {
            outcome_.cancelled = true;
            return false;
        }
        return true;
    }

    bool takeGathered(bool whole)
    {
        const bool goOn = take(line_, whole);
        line_.clear();
        return goOn;
    }

    // One line's bytes (without its LF; whole: all of the line); false ends
    // the import.
    bool take(QByteArrayView bytes, bool whole)
    {
        if (whole && bytes.endsWith('\r'))
            bytes.chop(1);
        if (first_) {
            // A byte order mark is not part of the first field.
            first_ = false;
            if (bytes.startsWith(kByteOrderMark))
                bytes = bytes.sliced(kByteOrderMark.size());
        }
        const QByteArrayView kept = keptPart(bytes, recoded_);
        if (!kept.contains(separator_))
            return false;
        const int lineNumber = outcome_.lines + 1;
        if (progress_ && !progress_(lineNumber)) {
            outcome_.cancelled = true;
            return false;
        }
        if (!sink_(kept, lineNumber))
            return false;
        outcome_.lines = lineNumber;
        return true;
    }

    const char separator_;
    const LineSink& sink_;
    const Progress& progress_;
    Outcome& outcome_;
    QByteArray line_; // a line that began in an earlier piece
    QByteArray recoded_;
    bool first_ = true;
    bool skipping_ = false; // passing over the rest of a long line
};

// Reads an opened file's lines into sink.
void readOpened(QFile& file, char separator, const LineSink& sink, const Progress& progress,
                Outcome& outcome)
{
    LineReader lines(separator, sink, progress, outcome);
    QByteArray piece(kPieceBytes, Qt::Uninitialized);
    bool goOn = true;
    while (goOn) {
        const qint64 read = file.read(piece.data(), piece.size());
        if (read <= 0) {
            lines.finish();
            break;
        }
        goOn = lines.feed(piece.constData(), piece.constData() + read);
    }
}
} // namespace

Outcome read(const QString& path, QChar separator, TabularTable& table, const Progress& progress)
{
    Outcome outcome;
    // A FIFO or a device would hold the import for ever.
    QFile file;
    if (!RegularFile::openForReading(file, path))
        return outcome;
    outcome.opened = true;

    const char separatorByte = separator.toLatin1();
    table.beginFill(separatorByte);
    // A false from the table: as many rows as the list can show.
    const LineSink append = [&table](QByteArrayView kept, int) { return table.appendLine(kept); };
    readOpened(file, separatorByte, append, progress, outcome);
    table.endFill();
    return outcome;
}

Outcome readLines(const QString& path, QChar separator, const LineSink& sink)
{
    Outcome outcome;
    QFile file;
    if (!RegularFile::openForReading(file, path))
        return outcome;
    outcome.opened = true;
    readOpened(file, separator.toLatin1(), sink, {}, outcome);
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
