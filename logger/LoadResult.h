#pragma once

// The result of a logger load, shared by the download, the decoding, the
// dump of the newest set and the scheduled emptying of the logger.

#include <QString>

enum class LoadResult
{
    Ok = 0,          // image read and decoded
    DataError = 1,   // a data set failed its marker checks
    MemoryError = 2, // data set count above 4000
    Incomplete = 3,  // fewer than the total bytes received
    BadSize = 4,     // used size outside 256..98304, or it could not be read
    NoHandshake = 5, // the "P" frame was not echoed
    NoData = 6       // data set count 0
};

// The enumerator's name ("Ok", "DataError", ...).
[[nodiscard]] QString loadResultName(LoadResult result);
