#include "tools/cli/LoadFailureNotes.h"

#include "data/LoggerMemory.h"
#include "logger/MemoryDownload.h"

#include <QLocale>

#include <algorithm>

namespace LoadFailureNotes {

QString loadFailure(LoadResult result, MemorySource source)
{
    const bool file = source == MemorySource::File;
    switch (result) {
    case LoadResult::Ok:
        break;
    case LoadResult::DataError:
        return file ? QStringLiteral("a data set in the file is damaged")
                    : QStringLiteral("a data set in the meter's memory is damaged");
    case LoadResult::MemoryError:
        return file ? QStringLiteral("the file counts more than 4000 data sets, which no logger "
                                     "memory holds")
                    : QStringLiteral("the meter's memory counts more than 4000 data sets, which "
                                     "no logger memory holds");
    case LoadResult::Incomplete:
        return QStringLiteral("the meter sent less of its memory than it announced");
    case LoadResult::BadSize:
        return QStringLiteral("the meter's used memory size could not be read or lies outside "
                              "256 to 98304 bytes");
    case LoadResult::NoHandshake:
        return QStringLiteral("the meter did not acknowledge the start of the transfer");
    case LoadResult::NoData:
        return file ? QStringLiteral("the file holds no data sets")
                    : QStringLiteral("the meter's memory holds no data sets");
    }
    return {};
}

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
