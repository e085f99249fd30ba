#pragma once

// Times in the JSON output of the command line: ISO 8601 with milliseconds
// and the UTC offset the local wall clock had then,
// "2010-05-12T17:21:00.000+02:00", so that a reader elsewhere or after a
// change of summer time still places them. The program's stored times are
// wall-clock times without a zone; they are read as local times here.

#include <QDateTime>
#include <QJsonValue>
#include <QString>

namespace IsoTime {

// Empty for an invalid time.
[[nodiscard]] QString withOffset(const QDateTime& localTime);
// The same of a date-time value (days since 30 December 1899), as a JSON
// string, or null when it names no time.
[[nodiscard]] QJsonValue ofDateTimeValue(double dateTime);

} // namespace IsoTime
