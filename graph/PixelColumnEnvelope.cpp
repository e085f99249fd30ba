#include "graph/PixelColumnEnvelope.h"

#include <algorithm>
#include <array>

void PixelColumnEnvelope::reset(int columns)
{
    columns_.assign(size_t(std::max(columns, 0)), Column{});
    added_ = 0;
    lastLeft_ = -1;
    firstRight_ = -1;
}

void PixelColumnEnvelope::add(int column, double value)
{
    const int entry = added_++;
    if (column < 0) {
        lastLeft_ = entry;
        return;
    }
    if (column >= columns()) {
        if (firstRight_ < 0)
            firstRight_ = entry;
        return;
    }
    Column& c = columns_[size_t(column)];
    if (c.first < 0) {
        c = Column{entry, entry, entry, entry, value, value};
        return;
    }
    c.last = entry;
    if (value < c.low) {
        c.low = value;
        c.lowest = entry;
    } else if (value > c.high) {
        c.high = value;
        c.highest = entry;
    }
}

void PixelColumnEnvelope::entriesToDraw(std::vector<int>& out) const
{
    const auto put = [&out](int entry) {
        if (entry >= 0 && (out.empty() || out.back() < entry))
            out.push_back(entry);
    };
    put(lastLeft_);
    for (const Column& c : columns_) {
        if (c.first < 0)
            continue;
        std::array<int, 4> entries{c.first, c.lowest, c.highest, c.last};
        std::sort(entries.begin(), entries.end());
        for (int entry : entries)
            put(entry);
    }
    put(firstRight_);
}
