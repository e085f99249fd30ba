#include "graph/TfrmDelAnno.h"

#include <QHBoxLayout>
#include <QHeaderView>
#include <QPushButton>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>

TfrmDelAnno::TfrmDelAnno(QWidget* parent)
    : QDialog(parent, Qt::Dialog | Qt::MSWindowsFixedSizeDialogHint | Qt::WindowStaysOnTopHint)
{
    setObjectName(QStringLiteral("frmDelAnno"));
    setWindowTitle(QStringLiteral("Erase Annotation"));
    setModal(true);

    grid_ = new QTableWidget(0, 3, this);
    grid_->setObjectName(QStringLiteral("StringGrid1"));
    grid_->setHorizontalHeaderLabels(
        {QStringLiteral("NO"), QStringLiteral("Time"), QStringLiteral("Contents")});
    grid_->setColumnWidth(0, 50);
    grid_->setColumnWidth(1, 160);
    grid_->setColumnWidth(2, 200);
    grid_->verticalHeader()->hide();
    grid_->setSelectionBehavior(QAbstractItemView::SelectRows);
    grid_->setSelectionMode(QAbstractItemView::ContiguousSelection);
    grid_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    grid_->horizontalHeader()->setStretchLastSection(true);

    bitBtn1_ = new QPushButton(QStringLiteral("Delete"), this);
    bitBtn1_->setObjectName(QStringLiteral("BitBtn1"));
    bitBtn1_->setEnabled(false);
    bitBtn2_ = new QPushButton(QStringLiteral("Cancel"), this);
    bitBtn2_->setObjectName(QStringLiteral("BitBtn2"));
    connect(bitBtn1_, &QPushButton::clicked, this, &QDialog::accept);
    connect(bitBtn2_, &QPushButton::clicked, this, &QDialog::reject);

    auto* buttons = new QHBoxLayout;
    buttons->addStretch();
    buttons->addWidget(bitBtn1_);
    buttons->addWidget(bitBtn2_);
    auto* layout = new QVBoxLayout(this);
    layout->addWidget(grid_);
    layout->addLayout(buttons);
    resize(460, 300);
    setFixedSize(size());
}

void TfrmDelAnno::setRows(const QList<AnnotationSlots::Row>& rows)
{
    for (const AnnotationSlots::Row& row : rows) {
        const int r = grid_->rowCount();
        grid_->insertRow(r);
        grid_->setItem(r, 0, new QTableWidgetItem(row.number));
        grid_->setItem(r, 1, new QTableWidgetItem(row.time));
        grid_->setItem(r, 2, new QTableWidgetItem(row.contents));
        rowSlots_.append(row.slot);
    }
    if (!rowSlots_.isEmpty()) {
        bitBtn1_->setEnabled(true);
        grid_->selectRow(0);
    }
}

QList<int> TfrmDelAnno::selectedSlots() const
{
    QList<int> rows;
    for (const QModelIndex& index : grid_->selectionModel()->selectedRows())
        rows.append(index.row());
    std::sort(rows.begin(), rows.end());
    QList<int> chosen;
    for (int r : rows)
        if (r >= 0 && r < rowSlots_.size())
            chosen.append(rowSlots_.at(r));
    return chosen;
}

void TfrmDelAnno::selectRows(int first, int last)
{
    grid_->clearSelection();
    const int top = std::max(first, 1) - 1;
    const int bottom = std::min(last, grid_->rowCount()) - 1;
    if (top > bottom)
        return;
    grid_->setRangeSelected(QTableWidgetSelectionRange(top, 0, bottom, 2), true);
}
