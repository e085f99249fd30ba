#include "data/SamplingRateList.h"

#include "data/GraphTexts.h"

namespace SamplingRateList {

QStringList itemTexts(const QLocale& locale)
{
    QStringList texts;
    for (double interval : kIntervals)
        texts << GraphTexts::levelText(interval, locale);
    return texts;
}

std::optional<int> rateItemIndex(double seconds)
{
    static constexpr std::array<double, 9> kBelow{0.15, 0.25, 0.55, 1.5, 2.5,
                                                  5.5,  10.5, 20.5, 30.5};
    for (size_t i = 0; i < kBelow.size(); ++i)
        if (seconds < kBelow[i])
            return int(i);
    return std::nullopt;
}

} // namespace SamplingRateList
