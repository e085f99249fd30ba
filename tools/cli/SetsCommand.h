#pragma once

// `audimark-cli sets FILE.rec`: decodes a data set collection file and lists
// its data sets, one TAB-separated line each after a heading line: number,
// start date and time, interval (mm:ss), sample count, weighting (A/C),
// average, maximum and minimum in dB. Exit status as for download.

#include <QString>

[[nodiscard]] int runSetsCommand(const QString& file);
