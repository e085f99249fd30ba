#include "files/windows/TfrmList.h"

#include "files/formats/TabularTable.h"

#include <QHeaderView>
#include <QStyledItemDelegate>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
constexpr int kFontPoints = 8;
constexpr int kColumnWidth = 64;

// Column 0 is drawn like the grid's fixed cells: in the button colour.
class FixedColumnDelegate : public QStyledItemDelegate
{
public:
    using QStyledItemDelegate::QStyledItemDelegate;

protected:
    void initStyleOption(QStyleOptionViewItem* option, const QModelIndex& index) const override
    {
        QStyledItemDelegate::initStyleOption(option, index);
        if (index.column() == 0)
            option->backgroundBrush = option->palette.button();
    }
};
} // namespace

TfrmList::TfrmList(QWidget* parent)
    : QWidget(parent), table_(new TabularTable(this)), Grid1(new QTableView(this))
{
    setObjectName(QStringLiteral("frmList"));
    // The nearest Linux has to an 8-point MS Sans Serif: the GUI font at 8 points.
    QFont small = font();
    small.setPointSize(kFontPoints);
    setFont(small);

    Grid1->setObjectName(QStringLiteral("Grid1"));
    Grid1->setModel(table_);
    Grid1->setItemDelegate(new FixedColumnDelegate(Grid1));
    Grid1->setEditTriggers(QAbstractItemView::NoEditTriggers);
    Grid1->setSelectionMode(QAbstractItemView::ContiguousSelection);
    Grid1->setSelectionBehavior(QAbstractItemView::SelectItems);
    Grid1->setShowGrid(true);
    Grid1->setWordWrap(false);
    Grid1->setCornerButtonEnabled(false);
    Grid1->verticalHeader()->hide();
    // Uniform rows: the view never measures 100,000 of them.
    Grid1->verticalHeader()->setSectionResizeMode(QHeaderView::Fixed);
    Grid1->verticalHeader()->setMinimumSectionSize(1);
    Grid1->verticalHeader()->setDefaultSectionSize(RowHeight);
    Grid1->horizontalHeader()->setSectionResizeMode(QHeaderView::Interactive);
    Grid1->horizontalHeader()->setDefaultSectionSize(kColumnWidth);
    Grid1->horizontalHeader()->setHighlightSections(false);
    Grid1->horizontalHeader()->setFixedHeight(RowHeight + 2);
    Grid1->horizontalHeader()->setDefaultAlignment(Qt::AlignLeft | Qt::AlignVCenter);

    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->addWidget(Grid1);
}

void TfrmList::setGridUpdatesEnabled(bool enabled)
{
    Grid1->setUpdatesEnabled(enabled);
    if (enabled)
        Grid1->viewport()->update();
}

void TfrmList::fitColumnsToText()
{
    // Column 0: wide enough for the last line number, wherever the view is.
    constexpr int kCellPadding = 12;
    const int numbers =
        Grid1->fontMetrics().horizontalAdvance(QString::number(table_->dataRowCount())) +
        kCellPadding;
    Grid1->setColumnWidth(0, std::max(numbers, Grid1->horizontalHeader()->sectionSizeHint(0)));
    // Date, time and value: the view measures only the rows in view, cheap
    // for any length.
    for (int column = 1; column <= 3; ++column) {
        Grid1->resizeColumnToContents(column);
        Grid1->setColumnWidth(column, std::max(Grid1->columnWidth(column), kColumnWidth));
    }
}

QSize TfrmList::sizeHint() const
{
    return {DesignWidth, DesignHeight};
}
