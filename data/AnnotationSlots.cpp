#include "data/AnnotationSlots.h"

#include "data/GraphTexts.h"

namespace AnnotationSlots {

QList<Row> erasableRows(int annotationCount, const std::function<Slot(int)>& slotAt,
                        const QLocale& locale)
{
    QList<Row> rows;
    for (int s = kFirstUserSlot; s <= annotationCount; ++s) {
        const Slot slot = slotAt(s);
        QString contents;
        if (slot.cross)
            contents = QStringLiteral("X");
        else if (!slot.text.isEmpty())
            contents = slot.text;
        else
            continue;
        rows.append(Row{s, QString::number(rows.size() + 1),
                        GraphTexts::dateTimeText(slot.x, locale), contents});
    }
    return rows;
}

} // namespace AnnotationSlots
