#pragma once

// A layout of groups of widgets (a label with its field, say) laid out in
// lines from the left: the widgets of a group side by side, the groups one
// after the other, and a group that no longer fits the width moves to the
// next line instead of running over its neighbours. A break starts a new
// line in any case (the lines of the wide layout). Every widget gets its
// size hint, centred in the height of its line.
//
// Its minimum width is that of the widest group; its minimum height is what
// the lines need at the width it was last given, so that the windows above
// make room (or scroll) when the groups wrap.

#include <QLayout>
#include <QList>

class GraphFlowLayout : public QLayout
{
public:
    // spacing: between the widgets of a group; groupSpacing: between groups;
    // lineSpacing: between lines.
    GraphFlowLayout(QWidget* parent, int spacing, int groupSpacing, int lineSpacing);
    ~GraphFlowLayout() override;

    // Starts a new group; the widgets added after it belong to it.
    void addGroup();
    // Starts a new line and a new group.
    void addBreak();
    void addWidget(QWidget* widget);

    void addItem(QLayoutItem* item) override;
    [[nodiscard]] int count() const override;
    [[nodiscard]] QLayoutItem* itemAt(int index) const override;
    QLayoutItem* takeAt(int index) override;
    [[nodiscard]] Qt::Orientations expandingDirections() const override;
    [[nodiscard]] bool hasHeightForWidth() const override;
    [[nodiscard]] int heightForWidth(int width) const override;
    [[nodiscard]] QSize minimumSize() const override;
    [[nodiscard]] QSize sizeHint() const override;
    void setGeometry(const QRect& rect) override;

    // How many lines the groups take at the width last given.
    [[nodiscard]] int lineCount() const { return lines_; }

private:
    struct Entry
    {
        QLayoutItem* item;
        bool startsGroup;
        bool startsLine;
    };
    // Lays the items out in rect (or only measures); returns the height
    // used and the number of lines.
    int arrange(const QRect& rect, bool apply, int* lines = nullptr) const;
    [[nodiscard]] int widestGroup() const;

    QList<Entry> entries_;
    int spacing_;
    int groupSpacing_;
    int lineSpacing_;
    bool nextStartsGroup_ = true;
    bool nextStartsLine_ = false;
    int lastWidth_ = -1;
    int lines_ = 0;
};
