#pragma once

// How a graph window uses the numbered annotation slots of its chart:
// slot 2 is the data-point marker, user annotations take slots 5, 6, 7, ...
// handed out once each through the program-wide AnnotationCount (the last
// slot in use, 4 at start). An erased annotation keeps its slot as a text
// annotation with an empty text; such slots, and slots never used, are not
// listed for erasing.

#include <QList>
#include <QLocale>
#include <QString>

#include <functional>

namespace AnnotationSlots {

inline constexpr int kMarkerSlot = 2;
inline constexpr int kFirstUserSlot = 5;
inline constexpr int kInitialAnnotationCount = 4;
// Clear on the real-time graph resets the count to this.
inline constexpr int kClearedAnnotationCount = 3;

// What the erase list needs to know of one slot.
struct Slot
{
    double x = 0.0;
    bool cross = false;
    QString text;
};

// One row of the erase dialog.
struct Row
{
    int slot = 0;
    QString number;   // 1, 2, 3, ... in list order
    QString time;     // date-time text of the slot's X
    QString contents; // "X" for a cross, else the text

    friend bool operator==(const Row&, const Row&) = default;
};

// The rows for slots kFirstUserSlot..annotationCount, in slot order.
[[nodiscard]] QList<Row> erasableRows(int annotationCount, const std::function<Slot(int)>& slotAt,
                                      const QLocale& locale = QLocale());

} // namespace AnnotationSlots
