#pragma once

// The texts the logger commands show, exactly as the user sees them.

#include <QString>

namespace LoggerTexts {
inline const QString PreparingToLoad = QStringLiteral("Preparing to load .....");
inline const QString ProgressCaption = QStringLiteral("Data Retriving Progress");
inline const QString BytesReceived = QStringLiteral("bytes received");
inline const QString TotalBytes = QStringLiteral("total bytes");
inline const QString NoConnection = QStringLiteral("There is no connection with multimeter !");
inline const QString MeterRecording =
    QStringLiteral("The meter is recording data, please stop recording before loading data.");
inline const QString MemoryError = QStringLiteral("Memory error!");
inline const QString NoData =
    QStringLiteral("There was not any data recorded in momery of meter !");
// Two blanks before "Choose".
inline const QString DataErrorQuestion = QStringLiteral(
    "Data error ! It may be owing to connect meter with PC while meter was recording data. It "
    "is recommended that don't connect meter with PC while recording  Choose Retry to reload or "
    "OK to delete the error data set.");
inline const QString ReadError = QStringLiteral("There was error when reading data from meter");
inline const QString FixingFailed = QStringLiteral("Fixing error failed !");
inline const QString PowerCycle =
    QStringLiteral("Please power off and power on meter before recording data or loading again!");
} // namespace LoggerTexts
