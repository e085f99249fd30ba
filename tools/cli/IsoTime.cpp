#include "tools/cli/IsoTime.h"

#include "data/GraphTexts.h"

#include <cstdlib>

namespace IsoTime {

QString withOffset(const QDateTime& localTime)
{
    if (!localTime.isValid())
        return {};
    // Qt writes "Z" or nothing in place of a zero or a local offset; the
    // offset is always written out here.
    const int offset = localTime.offsetFromUtc();
    const int minutes = std::abs(offset) / 60;
    return localTime.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz")) +
           (offset < 0 ? QLatin1Char('-') : QLatin1Char('+')) +
           QStringLiteral("%1:%2")
               .arg(minutes / 60, 2, 10, QLatin1Char('0'))
               .arg(minutes % 60, 2, 10, QLatin1Char('0'));
}

QJsonValue ofDateTimeValue(double dateTime)
{
    const QString text = withOffset(GraphTexts::toDateTime(dateTime));
    return text.isEmpty() ? QJsonValue(QJsonValue::Null) : QJsonValue(text);
}

} // namespace IsoTime
