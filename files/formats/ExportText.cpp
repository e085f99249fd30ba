#include "files/formats/ExportText.h"

#include "logger/DateTimeValue.h"
#include "logger/DumpLine.h"

// The fields are the dump line's: one text for each, whichever file it lands in.
namespace ExportText {

QString shortDateFormat(const QLocale& locale)
{
    return DateTimeValue::fourDigitYearShortDateFormat(locale);
}

QString dateText(double dateTime, const QLocale& locale)
{
    return DumpLine::dateText(dateTime, locale);
}

QString timeText(double dateTime)
{
    return DumpLine::timeText(dateTime);
}

QString valueText(float value, const QLocale& locale)
{
    return DumpLine::valueText(value, locale);
}

QString graphExportLine(double dateTime, float value, QChar separator, const QLocale& locale)
{
    return dateText(dateTime, locale) + separator + timeText(dateTime) + separator +
           valueText(value, locale);
}

bool csvOffered(const QLocale& locale)
{
    return locale.decimalPoint() != QString(Comma);
}

} // namespace ExportText
