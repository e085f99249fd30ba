#pragma once

// Gives every subwindow of an MDI area the program's icon. A subwindow shows
// the toolkit's own logo in its caption unless an icon is set on it, and the
// subwindows are made in several places (graphs, lists, the info window).

#include <QIcon>
#include <QObject>

class QMdiArea;

class ChildWindowIcons : public QObject
{
public:
    // Watches `area` (not owned; this object is its child) from now on.
    ChildWindowIcons(QMdiArea& area, QIcon icon);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    QIcon icon_;
};
