#pragma once

// Which items an export writes: all of them, or "from" a first "to" a last
// item number typed by the user, both counted from 1 and inclusive.
//
// Rules for typed numbers: each is taken as its absolute value; then, in this
// order, the two are swapped when to < from, to is cut to the item count, and
// a from of 0 becomes 1. So 50..10 on 100 items gives 10..50, 0..500 gives
// 1..100 and -3..7 gives 3..7. A text that is not an integer makes the range
// invalid ("invalid integer"); nothing is written then.

#include <QString>
#include <optional>

struct ExportRange
{
    int from = 1; // first item, 1-based
    int to = 0;   // last item, inclusive; to < from means nothing to write

    static inline const QString InvalidIntegerMessage = QStringLiteral("invalid integer");

    [[nodiscard]] static ExportRange all(int count);
    // The range of the dialog's fields; nothing when a field is not an integer.
    [[nodiscard]] static std::optional<ExportRange> fromFields(bool all, const QString& fromText,
                                                               const QString& toText, int count);
    [[nodiscard]] int size() const { return to >= from ? to - from + 1 : 0; }
    friend bool operator==(const ExportRange&, const ExportRange&) = default;
};
