#pragma once

// The entries of a long sorted series that draw it as a line one pixel
// column at a time without losing anything the eye could see: for each
// column the first, the lowest, the highest and the last entry that fall in
// it, and the nearest entry on either side outside the columns (the line runs
// on to the plot's edges). A line through these entries covers in every
// column the same span of levels as the line through all of them, and joins
// the columns by the same segments, so a single peak never vanishes.
//
// Entries are numbered 0, 1, 2, ... in the order they are added, which must
// be the order of their keys; adding one is O(1), so a growing series is kept
// up to date point by point. The columns are fixed until the next reset().

#include <vector>

class PixelColumnEnvelope
{
public:
    // Forgets every entry; `columns` pixel columns, numbered from 0.
    void reset(int columns);
    [[nodiscard]] int columns() const { return int(columns_.size()); }
    // How many entries were added since reset(): the number the next one gets.
    [[nodiscard]] int entriesAdded() const { return added_; }

    // Adds the next entry: `column` below 0 lies left of the columns, from
    // columns() on right of them.
    void add(int column, double value);

    // The entries to draw, in increasing order, each once (appended to out).
    void entriesToDraw(std::vector<int>& out) const;

private:
    struct Column
    {
        int first = -1; // -1: no entry in this column
        int lowest = -1;
        int highest = -1;
        int last = -1;
        double low = 0.0;
        double high = 0.0;
    };
    std::vector<Column> columns_;
    int added_ = 0;
    int lastLeft_ = -1;   // the last entry left of the columns
    int firstRight_ = -1; // the first entry right of them
};
