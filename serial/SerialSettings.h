#pragma once

#include "serial/ComTypes.h"

// The line settings handed to the platform layer in one piece; the *Default
// values leave the device's current setting alone.
struct SerialSettings
{
    TBaudRate baudRate = brDefault;
    int customBaudRate = 0;
    TDataBits dataBits = dbDefault;
    TParity parity = paDefault;
    TStopBits stopBits = sbDefault;
    TOptions options;
    TDTRControl dtr = dcDefault;
    TRTSControl rts = rcDefault;
    TXOnXOffControl xonXoff = xcDefault;
    char xon = 17;
    char xoff = 19;
};
