#include "realtime/RecordingPeriod.h"

namespace RecordingPeriod {

qint64 seconds(qint64 pointCount, double intervalSeconds)
{
    const double total = double(pointCount) * intervalSeconds + 0.5;
    // Checked before the conversion: a period beyond qint64 (or nan) has none.
    constexpr double beyond = 9.2e18;
    if (!(total > 0.0))
        return 0;
    return total < beyond ? qint64(total) : qint64(beyond);
}

QString text(qint64 totalSeconds, bool padded)
{
    const qint64 hours = totalSeconds / 3600;
    const int minutes = int(totalSeconds / 60 % 60);
    const int secs = int(totalSeconds % 60);
    const int width = padded ? 2 : 0;
    return QStringLiteral("%1:%2:%3")
        .arg(hours)
        .arg(minutes, width, 10, QLatin1Char('0'))
        .arg(secs, width, 10, QLatin1Char('0'));
}

std::optional<int> pointCount(const QString& text)
{
    bool ok = false;
    const int n = text.trimmed().toInt(&ok);
    if (!ok || n <= 0 || n > MaxPointCount)
        return std::nullopt;
    return n;
}

qint64 typedPointCount(const QString& text)
{
    bool ok = false;
    const qint64 n = text.trimmed().toLongLong(&ok);
    return ok ? n : 0;
}

} // namespace RecordingPeriod
