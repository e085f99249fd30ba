#include "files/formats/ExportRange.h"

#include <algorithm>
#include <limits>

namespace {
std::optional<qint64> typedNumber(const QString& text)
{
    bool ok = false;
    const int value = text.trimmed().toInt(&ok);
    if (!ok)
        return std::nullopt;
    return value < 0 ? -qint64(value) : qint64(value);
}
} // namespace

ExportRange ExportRange::all(int count)
{
    return ExportRange{1, std::max(count, 0)};
}

std::optional<ExportRange> ExportRange::fromFields(bool all, const QString& fromText,
                                                   const QString& toText, int count)
{
    if (all)
        return ExportRange::all(count);
    const std::optional<qint64> typedFrom = typedNumber(fromText);
    const std::optional<qint64> typedTo = typedNumber(toText);
    if (!typedFrom || !typedTo)
        return std::nullopt;
    qint64 from = *typedFrom;
    qint64 to = *typedTo;
    if (to < from)
        std::swap(from, to);
    to = std::min<qint64>(to, std::max(count, 0));
    if (from == 0)
        from = 1;
    // |INT_MIN| does not fit an int; such a range is empty all the same.
    return ExportRange{int(std::min<qint64>(from, std::numeric_limits<int>::max())), int(to)};
}
