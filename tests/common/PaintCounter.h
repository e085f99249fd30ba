#pragma once

// Paint checks of the window benchmarks: a figure that claims to include
// the paint runs the paints its change queued inside the timed region, and
// a counter of paint events shows that they did run in every iteration.

#include <QCoreApplication>
#include <QEvent>
#include <QList>
#include <QObject>
#include <QPointer>
#include <QWidget>

namespace BenchPairs {

// Counts the paint events of a widget and of the widgets inside it at the
// time the counter is made.
class PaintCounter : public QObject
{
public:
    explicit PaintCounter(QWidget* widget)
    {
        watched_ << widget;
        for (QWidget* child : widget->findChildren<QWidget*>())
            watched_ << child;
        for (const QPointer<QWidget>& w : std::as_const(watched_))
            w->installEventFilter(this);
    }
    ~PaintCounter() override
    {
        for (const QPointer<QWidget>& w : std::as_const(watched_))
            if (w)
                w->removeEventFilter(this);
    }
    PaintCounter(const PaintCounter&) = delete;
    PaintCounter& operator=(const PaintCounter&) = delete;

    [[nodiscard]] int count() const { return count_; }

protected:
    bool eventFilter(QObject*, QEvent* event) override
    {
        if (event->type() == QEvent::Paint)
            ++count_;
        return false;
    }

private:
    QList<QPointer<QWidget>> watched_;
    int count_ = 0;
};

// Delivers what the event loop would deliver next, the posted update
// requests among it, so that the paints queued by the last change run now.
inline void paintPending()
{
    QCoreApplication::processEvents();
}

// Runs `change`, then the paints it queued, and tells whether `counter`'s
// widget was painted in between.
template <typename F> bool changeAndPaint(const PaintCounter& counter, F&& change)
{
    const int before = counter.count();
    change();
    paintPending();
    return counter.count() > before;
}

} // namespace BenchPairs
