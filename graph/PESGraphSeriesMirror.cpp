#include "graph/PESGraphSeriesMirror.h"

#include "graph/PESGraphEnvelopeGraph.h"

#include <algorithm>
#include <limits>
#include <numeric>

PESGraphSeriesMirror::PESGraphSeriesMirror(QCPGraph* graph)
    : graph_(graph), envelopeGraph_(dynamic_cast<PESGraphEnvelopeGraph*>(graph))
{
}

void PESGraphSeriesMirror::entriesChanged()
{
    if (envelopeGraph_)
        envelopeGraph_->forgetEnvelope();
}

void PESGraphSeriesMirror::markPointChanged(int point)
{
    if (dirtyLo_ > dirtyHi_) {
        dirtyLo_ = dirtyHi_ = point;
        return;
    }
    dirtyLo_ = std::min(dirtyLo_, point);
    dirtyHi_ = std::max(dirtyHi_, point);
}

void PESGraphSeriesMirror::markAllChanged()
{
    needsRebuild_ = true;
}

int PESGraphSeriesMirror::pointOfEntry(int entry) const
{
    if (identity_)
        return entry;
    return entry >= 0 && size_t(entry) < entryToPoint_.size() ? entryToPoint_[size_t(entry)] : -1;
}

void PESGraphSeriesMirror::sync(const PESGraphSeries& series, int points, const KeyOf& keyOf)
{
    const bool hasDirty = dirtyLo_ <= dirtyHi_;
    if (!needsRebuild_ && hasDirty && !updateInPlace(series, points, keyOf))
        needsRebuild_ = true;
    if (needsRebuild_)
        rebuild(series, points, keyOf);
    needsRebuild_ = false;
    dirtyLo_ = 0;
    dirtyHi_ = -1;
}

// Applies the dirty range directly to the container; false when the change
// breaks the "sorted valid prefix" shape and a rebuild is needed instead.
bool PESGraphSeriesMirror::updateInPlace(const PESGraphSeries& series, int points,
                                         const KeyOf& keyOf)
{
    if (!identity_)
        return false;
    QCPGraphDataContainer& data = *graph_->data();
    const int size = data.size();
    const int hi = std::min(dirtyHi_, points - 1);
    auto entries = data.begin();
    for (int i = dirtyLo_; i <= std::min(hi, size - 1); ++i) {
        const double x = series.x[size_t(i)];
        if (x == 0.0)
            return false;
        const double key = keyOf(x);
        if ((i > 0 && entries[i - 1].key > key) || (i + 1 < size && key > entries[i + 1].key))
            return false;
        const double value = double(series.y[size_t(i)]);
        if (entries[i].key == key && entries[i].value == value)
            continue; // written again unchanged, as a finished recording's last point
        entries[i].key = key;
        entries[i].value = value;
        entriesChanged();
    }
    for (int i = std::max(dirtyLo_, size); i <= hi; ++i) {
        const double x = series.x[size_t(i)];
        if (x == 0.0)
            continue;
        const double key = keyOf(x);
        if (i != data.size() || (!data.isEmpty() && (data.end() - 1)->key > key))
            return false;
        data.add(QCPGraphData(key, double(series.y[size_t(i)])));
    }
    return true;
}

void PESGraphSeriesMirror::rebuild(const PESGraphSeries& series, int points, const KeyOf& keyOf)
{
    QVector<QCPGraphData> entries;
    entries.reserve(points);
    entryToPoint_.clear();
    bool sorted = true;
    bool sawGap = false;
    identity_ = true;
    double previousKey = -std::numeric_limits<double>::infinity();
    for (int i = 0; i < points; ++i) {
        const double x = series.x[size_t(i)];
        if (x == 0.0) {
            sawGap = true;
            continue;
        }
        if (sawGap)
            identity_ = false;
        const double key = keyOf(x);
        if (key < previousKey)
            sorted = false;
        previousKey = key;
        entries.append(QCPGraphData(key, double(series.y[size_t(i)])));
        entryToPoint_.push_back(i);
    }
    if (!sorted) {
        identity_ = false;
        std::vector<int> order(size_t(entries.size()));
        std::iota(order.begin(), order.end(), 0);
        std::stable_sort(order.begin(), order.end(),
                         [&](int a, int b) { return entries[a].key < entries[b].key; });
        QVector<QCPGraphData> sortedEntries;
        sortedEntries.reserve(entries.size());
        std::vector<int> sortedPoints;
        sortedPoints.reserve(order.size());
        for (int k : order) {
            sortedEntries.append(entries[k]);
            sortedPoints.push_back(entryToPoint_[size_t(k)]);
        }
        entries.swap(sortedEntries);
        entryToPoint_.swap(sortedPoints);
    }
    if (identity_)
        entryToPoint_.clear();
    graph_->data()->set(entries, true);
    entriesChanged();
}
