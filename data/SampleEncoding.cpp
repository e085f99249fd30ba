#include "data/SampleEncoding.h"

namespace SampleEncoding {

int rawTenths(quint8 b0, quint8 b1)
{
    return (b0 & 0x0F) * 256 + b1;
}

float decodeSampleValue(quint8 b0, quint8 b1)
{
    const int tenths = rawTenths(b0, b1);
    // Decided on the integer tenths so that 20.0 and 140.0 are kept exactly,
    // whatever the rounding of the float value.
    if (tenths < kLowestValidTenths || tenths > kHighestValidTenths)
        return kReplacementLevel;
    return static_cast<float>(tenths * 0.1);
}

qint32 normalizeIntervalSeconds(qint32 seconds)
{
    if (seconds > kLongestIntervalSeconds || seconds < 0)
        return kReplacementIntervalSeconds;
    return seconds;
}

double sampleTime(double startTime, qint32 intervalSeconds, qint64 index)
{
    const double step = intervalSeconds / 86400.0;
    return startTime + static_cast<double>(index) * step;
}

bool isAWeighting(quint8 statusByte)
{
    return (statusByte & 0x08) != 0;
}

} // namespace SampleEncoding
