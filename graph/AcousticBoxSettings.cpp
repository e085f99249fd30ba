#include "graph/AcousticBoxSettings.h"

#include <cmath>

namespace AcousticBoxSettings {

AcousticBoxChoices read(const QSettings& store)
{
    AcousticBoxChoices choices;
    const QString shown = store.value(ShownKey).toString().trimmed().toLower();
    if (shown == QLatin1String("false") || shown == QLatin1String("0"))
        choices.shown = false;
    bool ok = false;
    const double threshold = store.value(ThresholdKey).toDouble(&ok);
    if (ok && std::isfinite(threshold) && threshold >= AcousticBox::MinThreshold &&
        threshold <= AcousticBox::MaxThreshold)
        choices.threshold = threshold;
    return choices;
}

void writeShown(QSettings& store, bool shown)
{
    store.setValue(ShownKey, shown);
    store.sync();
}

void writeThreshold(QSettings& store, double threshold)
{
    store.setValue(ThresholdKey, threshold);
    store.sync();
}

} // namespace AcousticBoxSettings
