#pragma once

// Keeps one QCPGraph's data container in step with a series held as plain
// arrays, without rebuilding it for every point. Writes are recorded as a
// dirty index range; sync() then touches only that range when the series is
// a sorted prefix of valid points (the usual case: a data set shown whole,
// or real-time recording filling points 0, 1, 2, ...), and rebuilds the
// container in one sorted pass otherwise. Points whose X is 0 hold no sample
// and stay out of the container.

#include "graph/PESGraphContent.h"

#include <functional>
#include <qcustomplot.h>
#include <vector>

class PESGraphEnvelopeGraph;

class PESGraphSeriesMirror
{
public:
    using KeyOf = std::function<double(double x)>;

    explicit PESGraphSeriesMirror(QCPGraph* graph);

    QCPGraph* graph() const { return graph_; }

    void markPointChanged(int point);
    void markAllChanged();

    // Brings the graph's container up to date with the first `points`
    // points of the series; keyOf turns an X value into a plot key.
    void sync(const PESGraphSeries& series, int points, const KeyOf& keyOf);

    // The point index of container entry `entry` (valid after sync()).
    int pointOfEntry(int entry) const;

private:
    void rebuild(const PESGraphSeries& series, int points, const KeyOf& keyOf);
    bool updateInPlace(const PESGraphSeries& series, int points, const KeyOf& keyOf);
    void entriesChanged();

    QCPGraph* graph_;
    PESGraphEnvelopeGraph* envelopeGraph_; // null for a plain graph
    bool needsRebuild_ = true;
    bool identity_ = true; // container entry i is point i
    int dirtyLo_ = 0;
    int dirtyHi_ = -1;
    std::vector<int> entryToPoint_; // used when !identity_
};
