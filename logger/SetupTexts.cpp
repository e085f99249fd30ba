#include "logger/SetupTexts.h"

#include "logger/SetupFrames.h"

namespace SetupTexts {

namespace {
// A byte missing from a short reply counts as 0: never read past its end.
QString digits(const QByteArray& bytes, int at)
{
    return SetupFrames::bcdText(at < bytes.size() ? std::uint8_t(bytes.at(at)) : 0);
}
} // namespace

QString clockMessage(const QByteArray& clockFrame)
{
    // 02 YY MM DD hh mm ss 03
    return QStringLiteral("Meter time updated successfully \n") + QStringLiteral("Today is Day ") +
           digits(clockFrame, 3) + QStringLiteral(" of Month ") + digits(clockFrame, 2) +
           QStringLiteral(" of Year 20") + digits(clockFrame, 1) + QStringLiteral("\n") +
           QStringLiteral("The time is Second") + digits(clockFrame, 6) +
           QStringLiteral(" of Minute ") + digits(clockFrame, 5) + QStringLiteral(" of Hour ") +
           digits(clockFrame, 4);
}

QString firmwareText(std::uint8_t firmware, const QLocale& locale)
{
    return locale.toString(firmware * 0.01, 'f', 2);
}

QString meterTimeText(const QByteArray& clockReply, int dateOrder, const QString& separator)
{
    // YY -- MM DD hh mm ss --
    const QString y = digits(clockReply, 0);
    const QString m = digits(clockReply, 2);
    const QString d = digits(clockReply, 3);
    QStringList fields;
    switch (dateOrder) {
    case 1:
        fields = {d, m, y};
        break;
    case 3:
        fields = {y, m, d};
        break;
    case 4:
        fields = {y, d, m};
        break;
    default:
        fields = {m, d, y};
        break;
    }
    return fields.join(separator) + QStringLiteral("  ") + digits(clockReply, 4) +
           QLatin1Char(':') + digits(clockReply, 5) + QLatin1Char(':') + digits(clockReply, 6);
}

QString intervalText(std::uint8_t minutesBcd, std::uint8_t secondsBcd)
{
    return SetupFrames::bcdText(minutesBcd) + QLatin1Char(':') + SetupFrames::bcdText(secondsBcd) +
           QStringLiteral("(mm:ss)");
}

QString dateSeparator(const QString& shortDateFormat)
{
    for (const char c : {'/', '-', '.', ','}) {
        if (shortDateFormat.contains(QLatin1Char(c)))
            return QString(QLatin1Char(c));
    }
    return QStringLiteral("-");
}

} // namespace SetupTexts
