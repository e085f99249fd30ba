#include "tools/cli/LoadFailureNotes.h"

#include "data/LoggerMemory.h"
#include "logger/MemoryDownload.h"

#include <QLocale>

#include <algorithm>

namespace LoadFailureNotes {

QString damagedSet(const DecodeErrorPosition& position)
{
    const QLocale locale;
    // The bad offset is the byte before the damaged record.
    const qint64 recordStart = qint64(position.badOffset) + 1;
    return QStringLiteral("data set %1 is damaged: its record starts at byte %2 (0x%3) of the "
                          "logger memory")
        .arg(locale.toString(position.badSetIndex + 1), locale.toString(recordStart),
             QString::number(recordStart, 16).toUpper());
}

QString portWentAway(const TransferReport& transfer)
{
    const int blocks = transfer.totalBytes / MemoryDownload::BlockData;
    if (blocks == 0)
        return QStringLiteral("the meter's port went away before the transfer started");
    const int block = std::min(transfer.receivedBytes / MemoryDownload::BlockData + 1, blocks);
    const QLocale locale;
    return QStringLiteral("the meter's port went away at block %1 of %2")
        .arg(locale.toString(block), locale.toString(blocks));
}

} // namespace LoadFailureNotes
