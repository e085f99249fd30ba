#include "graph/GraphFlowLayout.h"

#include <QWidget>

#include <algorithm>

GraphFlowLayout::GraphFlowLayout(QWidget* parent, int spacing, int groupSpacing, int lineSpacing)
    : QLayout(parent), spacing_(spacing), groupSpacing_(groupSpacing), lineSpacing_(lineSpacing)
{
}

GraphFlowLayout::~GraphFlowLayout()
{
    for (const Entry& e : entries_)
        delete e.item;
}

void GraphFlowLayout::addGroup()
{
    nextStartsGroup_ = true;
}

void GraphFlowLayout::addBreak()
{
    nextStartsGroup_ = true;
    nextStartsLine_ = true;
}

void GraphFlowLayout::addWidget(QWidget* widget)
{
    QLayout::addWidget(widget);
}

void GraphFlowLayout::addItem(QLayoutItem* item)
{
    entries_.append({item, nextStartsGroup_ || entries_.isEmpty(), nextStartsLine_});
    nextStartsGroup_ = false;
    nextStartsLine_ = false;
    invalidate();
}

int GraphFlowLayout::count() const
{
    return int(entries_.size());
}

QLayoutItem* GraphFlowLayout::itemAt(int index) const
{
    return index >= 0 && index < entries_.size() ? entries_.at(index).item : nullptr;
}

QLayoutItem* GraphFlowLayout::takeAt(int index)
{
    if (index < 0 || index >= entries_.size())
        return nullptr;
    const Entry taken = entries_.takeAt(index);
    if (index < entries_.size()) {
        entries_[index].startsGroup = entries_[index].startsGroup || taken.startsGroup;
        entries_[index].startsLine = entries_[index].startsLine || taken.startsLine;
    }
    invalidate();
    return taken.item;
}

Qt::Orientations GraphFlowLayout::expandingDirections() const
{
    return {};
}

bool GraphFlowLayout::hasHeightForWidth() const
{
    return true;
}

int GraphFlowLayout::heightForWidth(int width) const
{
    return arrange(QRect(0, 0, width, 0), false);
}

int GraphFlowLayout::widestGroup() const
{
    int widest = 0;
    int group = 0;
    bool any = false;
    for (const Entry& e : entries_) {
        if (e.item->isEmpty())
            continue;
        const int w = e.item->sizeHint().width();
        group = e.startsGroup || !any ? w : group + spacing_ + w;
        any = true;
        widest = std::max(widest, group);
    }
    return widest;
}

QSize GraphFlowLayout::minimumSize() const
{
    const QMargins m = contentsMargins();
    const int width = std::max(widestGroup() + m.left() + m.right(),
                               lastWidth_ > 0 ? lastWidth_ : sizeHint().width());
    return {widestGroup() + m.left() + m.right(), heightForWidth(width)};
}

QSize GraphFlowLayout::sizeHint() const
{
    // Every line as wide as its groups make it, without wrapping.
    const QMargins m = contentsMargins();
    int widest = 0;
    int x = 0;
    bool lineHasItems = false;
    for (const Entry& e : entries_) {
        if (e.item->isEmpty())
            continue;
        if (e.startsLine && lineHasItems) {
            widest = std::max(widest, x);
            x = 0;
            lineHasItems = false;
        }
        if (lineHasItems)
            x += e.startsGroup ? groupSpacing_ : spacing_;
        x += e.item->sizeHint().width();
        lineHasItems = true;
    }
    widest = std::max(widest, x) + m.left() + m.right();
    return {widest, heightForWidth(widest)};
}

void GraphFlowLayout::setGeometry(const QRect& rect)
{
    QLayout::setGeometry(rect);
    int lines = 0;
    arrange(rect, true, &lines);
    const bool heightChanged = lines != lines_ && lastWidth_ >= 0;
    lastWidth_ = rect.width();
    lines_ = lines;
    // More or fewer lines: the minimum height changed, the windows above
    // are asked to lay out again.
    if (heightChanged)
        invalidate();
}

int GraphFlowLayout::arrange(const QRect& rect, bool apply, int* lines) const
{
    const QRect area = rect.marginsRemoved(contentsMargins());
    // First the lines: each a run of entries.
    struct Line
    {
        qsizetype first = 0;
        qsizetype last = -1; // inclusive
        int height = 0;
    };
    QList<Line> runs;
    int x = 0;
    Line line;
    bool lineHasItems = false;
    for (qsizetype i = 0; i < entries_.size(); ++i) {
        const Entry& e = entries_.at(i);
        if (e.item->isEmpty())
            continue;
        if (e.startsLine && lineHasItems) {
            runs.append(line);
            line = Line{i, i - 1, 0};
            x = 0;
            lineHasItems = false;
        }
        if (e.startsGroup && lineHasItems) {
            // The whole group must fit on this line, or it starts the next.
            int groupWidth = 0;
            for (qsizetype j = i; j < entries_.size(); ++j) {
                const Entry& g = entries_.at(j);
                if (j > i && g.startsGroup)
                    break;
                if (g.item->isEmpty())
                    continue;
                groupWidth += (groupWidth > 0 ? spacing_ : 0) + g.item->sizeHint().width();
            }
            if (x + groupSpacing_ + groupWidth > area.width()) {
                runs.append(line);
                line = Line{i, i - 1, 0};
                x = 0;
                lineHasItems = false;
            }
        }
        if (!lineHasItems)
            line.first = i;
        else
            x += e.startsGroup ? groupSpacing_ : spacing_;
        x += e.item->sizeHint().width();
        line.last = i;
        line.height = std::max(line.height, e.item->sizeHint().height());
        lineHasItems = true;
    }
    if (lineHasItems)
        runs.append(line);

    int y = area.top();
    for (qsizetype r = 0; r < runs.size(); ++r) {
        const Line& run = runs.at(r);
        if (r > 0)
            y += lineSpacing_;
        if (apply) {
            int left = area.left();
            bool first = true;
            for (qsizetype i = run.first; i <= run.last; ++i) {
                const Entry& e = entries_.at(i);
                if (e.item->isEmpty())
                    continue;
                if (!first)
                    left += e.startsGroup ? groupSpacing_ : spacing_;
                const int w = e.item->sizeHint().width();
                e.item->setGeometry(QRect(left, y, w, run.height));
                left += w;
                first = false;
            }
        }
        y += run.height;
    }
    if (lines)
        *lines = int(runs.size());
    const QMargins m = contentsMargins();
    return y - area.top() + m.top() + m.bottom();
}
