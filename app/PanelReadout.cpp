#include "app/PanelReadout.h"

#include "meter/LiveFrame.h"

#include <QTime>

#include <algorithm>

namespace PanelReadout {

std::optional<std::array<int, 4>> digitIndices(int displayTenths)
{
    const int thousands = displayTenths / 1000;
    if (thousands > 10)
        return std::nullopt;
    const int rest = displayTenths % 1000;
    return std::array<int, 4>{thousands == 1 ? 1 : BlankDigit, rest / 100, rest / 10 % 10,
                              rest % 10};
}

int barWidth(int range, float level)
{
    // Truncated toward zero, as the meter's own bar counts whole dB.
    const double above =
        range == 3 ? (double(level) - 50.0) * 0.5 : double(level) - rangeLowDb(range);
    const int steps = std::min(static_cast<int>(above), MaxBarSteps);
    return steps < 0 ? 0 : 2 * steps + 1;
}

QString clockText(const std::array<std::uint8_t, 3>& clock)
{
    const QString text = bcdText(clock[0]) + QLatin1Char(':') + bcdText(clock[1]) +
                         QLatin1Char(':') + bcdText(clock[2]);
    const QTime time = QTime::fromString(text, QStringLiteral("hh:mm:ss"));
    if (!time.isValid())
        return text;
    return time.addSecs(-1).toString(QStringLiteral("hh:mm:ss"));
}

} // namespace PanelReadout
