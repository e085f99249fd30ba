#pragma once

// The saved choices of the graph windows' "Acoustic" box: whether the box is
// shown ("ShowAcousticBox", default shown) and the threshold of its time
// above ("AcousticThreshold", dB, default 85.0). A value that is missing or
// cannot be read gives its default; a threshold outside the box's range
// counts as unreadable.

#include "graph/AcousticBox.h"

#include <QSettings>

struct AcousticBoxChoices
{
    bool shown = true;
    double threshold = AcousticBox::DefaultThreshold;
};

namespace AcousticBoxSettings {
inline const QString ShownKey = QStringLiteral("ShowAcousticBox");
inline const QString ThresholdKey = QStringLiteral("AcousticThreshold");

[[nodiscard]] AcousticBoxChoices read(const QSettings& store);
// Each writes its own value and flushes it.
void writeShown(QSettings& store, bool shown);
void writeThreshold(QSettings& store, double threshold);
} // namespace AcousticBoxSettings
