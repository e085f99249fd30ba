#include "files/formats/GraphFile.h"

#include "logger/OutputFile.h"
#include "logger/RegularFile.h"

#include <QDir>
#include <QFile>
#include <QtEndian>

#include <limits>

namespace GraphFile {

namespace {
constexpr qint64 kLengthFieldBytes = 4;
// A chart of 99,999 points takes 1.6 MB per series; a length beyond this is
// not a chart of this program, however long the (perhaps sparse) file is.
constexpr qint64 kMaxBlockBytes = qint64(64) << 20;

QString shownPath(const QString& path)
{
    return QDir::toNativeSeparators(path);
}

ReadResult failure(const QString& message)
{
    return ReadResult{std::nullopt, message};
}

QString damagedMessage(const QString& path, const QString& reason)
{
    return QStringLiteral("The file %1 is damaged or is not a graph file: %2.")
        .arg(shownPath(path), reason);
}
} // namespace

ReadResult read(const QString& path)
{
    QFile file;
    QString reason;
    if (!RegularFile::openForReading(file, path, &reason))
        return failure(QStringLiteral("Cannot open the file %1: %2.").arg(shownPath(path), reason));

    const QString shorterThanLength = QStringLiteral("it is shorter than its length field");
    const qint64 fileSize = file.size();
    const QByteArray lengthField = file.read(kLengthFieldBytes);
    if (lengthField.size() != kLengthFieldBytes)
        return failure(damagedMessage(path, shorterThanLength));
    const quint32 length = qFromLittleEndian<quint32>(lengthField.constData());
    // Checked against what the file holds before a byte is allocated for it.
    if (qint64(length) > fileSize - kLengthFieldBytes)
        return failure(damagedMessage(path, shorterThanLength));
    if (qint64(length) > kMaxBlockBytes)
        return failure(damagedMessage(path, QStringLiteral("its length field is too large")));

    QByteArray block = file.read(qint64(length));
    if (block.size() != qsizetype(length))
        return failure(QStringLiteral("Cannot read the file %1: %2.")
                           .arg(shownPath(path), file.errorString()));
    return ReadResult{std::move(block), QString()};
}

bool write(const QString& path, const QByteArray& block, QString* error)
{
    auto fail = [&](const QString& reason) {
        if (error)
            *error = QStringLiteral("Cannot create the file %1: %2.").arg(shownPath(path), reason);
        return false;
    };
    if (quint64(block.size()) > std::numeric_limits<quint32>::max())
        return fail(QStringLiteral("the graph is too large for a graph file"));

    OutputFile file(path);
    if (!file.open(QIODevice::WriteOnly))
        return fail(file.errorString());
    char lengthField[kLengthFieldBytes];
    qToLittleEndian<quint32>(quint32(block.size()), lengthField);
    if (file.write(lengthField, kLengthFieldBytes) != kLengthFieldBytes ||
        file.write(block) != block.size()) {
        const QString reason = file.errorString();
        file.cancelWriting();
        return fail(reason);
    }
    if (!file.commit())
        return fail(file.errorString());
    return true;
}

} // namespace GraphFile
