#pragma once

// Drops a damaged data set record and everything after it from the meter's
// view: five echo-checked memory writes on the open logger port set the data
// set count (0x09-0x0A) to the number of valid sets before the damaged one
// and the end address (0x0B-0x0D) to the byte just before it. Each write
// whose echo fails shows "Fixing error failed !" and the next write follows;
// the closing message asks for the meter to be switched off and on.

#include "data/LoggerMemory.h"

class LoggerPort;
class LoggerUi;

// Returns how many of the five writes were echoed.
int repairMemory(LoggerPort& port, LoggerUi& ui, const DecodeErrorPosition& position);
