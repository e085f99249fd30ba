#include "files/TabularTable.h"

#include <algorithm>
#include <limits>

namespace {
const QString kHeadings[TabularTable::ColumnCount] = {QStringLiteral("No"),
                                                      QStringLiteral("Date"),
                                                      QStringLiteral("Time"),
                                                      QStringLiteral("Value"),
                                                      QString(),
                                                      QString(),
                                                      QString()};
} // namespace

TabularTable::TabularTable(QObject* parent) : QAbstractTableModel(parent) {}

int TabularTable::gridRowCount() const
{
    return int(std::max<size_t>(rows_.size(), 1)) + 1;
}

QString TabularTable::heading(int column)
{
    return column >= 0 && column < ColumnCount ? kHeadings[column] : QString();
}

QString TabularTable::cell(int gridRow, int column) const
{
    if (column < 0 || column >= ColumnCount)
        return {};
    if (gridRow == 0)
        return heading(column);
    if (gridRow < 1 || size_t(gridRow) > rows_.size())
        return {}; // also the empty row of a new table
    if (column == 0)
        return QString::number(gridRow);
    return field(rows_[size_t(gridRow - 1)], column);
}

TabularTable::Row TabularTable::makeRow(const QStringList& fields)
{
    Row row;
    const qsizetype count = std::min<qsizetype>(fields.size(), DataColumnCount);
    qsizetype length = 0;
    for (qsizetype k = 0; k < count; ++k)
        length += fields[k].size();
    row.text.reserve(std::min<qsizetype>(length, std::numeric_limits<quint16>::max()));
    for (qsizetype k = 0; k < DataColumnCount; ++k) {
        if (k < count) {
            const qsizetype room = std::numeric_limits<quint16>::max() - row.text.size();
            row.text += QStringView(fields[k]).left(room);
        }
        row.ends[size_t(k)] = quint16(row.text.size());
    }
    return row;
}

QString TabularTable::field(const Row& row, int column)
{
    const size_t k = size_t(column - 1);
    const int begin = k == 0 ? 0 : row.ends[k - 1];
    return row.text.mid(begin, row.ends[k] - begin);
}

void TabularTable::beginFill()
{
    pending_.clear();
    filling_ = true;
}

void TabularTable::appendRow(const QStringList& fields)
{
    Row row = makeRow(fields);
    if (filling_) {
        pending_.push_back(std::move(row));
        return;
    }
    const int first = int(rows_.size());
    if (rows_.empty()) {
        // The empty row of a new table becomes the first line's row.
        rows_.push_back(std::move(row));
        emit dataChanged(index(0, 0), index(0, ColumnCount - 1));
        return;
    }
    beginInsertRows({}, first, first);
    rows_.push_back(std::move(row));
    endInsertRows();
}

void TabularTable::endFill()
{
    if (!filling_)
        return;
    filling_ = false;
    beginResetModel();
    rows_.swap(pending_); // nothing read: the table is a new one again
    pending_.clear();
    pending_.shrink_to_fit();
    endResetModel();
}

void TabularTable::clear()
{
    beginResetModel();
    rows_.clear();
    rows_.shrink_to_fit();
    pending_.clear();
    filling_ = false;
    endResetModel();
}

int TabularTable::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : gridRowCount() - 1;
}

int TabularTable::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TabularTable::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || role != Qt::DisplayRole)
        return {};
    return cell(index.row() + 1, index.column());
}

QVariant TabularTable::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole)
        return {};
    if (orientation == Qt::Horizontal)
        return heading(section);
    return section + 1;
}

Qt::ItemFlags TabularTable::flags(const QModelIndex& index) const
{
    // Cells can be selected but never edited.
    return index.isValid() ? Qt::ItemIsEnabled | Qt::ItemIsSelectable : Qt::NoItemFlags;
}
