#include "logger/LoadResult.h"

QString loadResultName(LoadResult result)
{
    switch (result) {
    case LoadResult::Ok:
        return QStringLiteral("Ok");
    case LoadResult::DataError:
        return QStringLiteral("DataError");
    case LoadResult::MemoryError:
        return QStringLiteral("MemoryError");
    case LoadResult::Incomplete:
        return QStringLiteral("Incomplete");
    case LoadResult::BadSize:
        return QStringLiteral("BadSize");
    case LoadResult::NoHandshake:
        return QStringLiteral("NoHandshake");
    case LoadResult::NoData:
        return QStringLiteral("NoData");
    }
    return QStringLiteral("Unknown");
}
