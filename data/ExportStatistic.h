#pragma once

// The Export Statistic text: eleven lines, each ended by a lone line feed,
// the field texts taken as they stand (no blank after the colons).

#include "data/GraphStatisticTexts.h"

#include <QString>

struct StatisticFields
{
    GraphStatisticTexts graph;
    QString cursorA;
    QString cursorATime;
    QString cursorB;
    QString cursorBTime;
    CursorStatisticTexts between;
};

[[nodiscard]] QString exportStatisticText(const StatisticFields& fields);
