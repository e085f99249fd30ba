#include "files/formats/TabularTable.h"

#include <algorithm>
#include <cstring>
#include <limits>

namespace {
const QString kHeadings[TabularTable::ColumnCount] = {QStringLiteral("No"),
                                                      QStringLiteral("Date"),
                                                      QStringLiteral("Time"),
                                                      QStringLiteral("Value"),
                                                      QString(),
                                                      QString(),
                                                      QString()};

// A model counts its rows in an int; the heading row is one of them.
constexpr int kMaxRows = std::numeric_limits<int>::max() - 1;

// The first `fields` fields of a line: the bytes before its fields-th
// separator (all of it when it has fewer).
QByteArrayView firstFields(QByteArrayView line, char separator, int fields)
{
    const char* begin = line.data();
    const char* end = begin + line.size();
    const char* at = begin;
    for (int k = 0; k < fields && at < end; ++k) {
        const auto* next = static_cast<const char*>(std::memchr(at, separator, size_t(end - at)));
        if (!next)
            return line;
        if (k == fields - 1)
            return line.first(next - begin);
        at = next + 1;
    }
    return line;
}
} // namespace

// The rows of one fill: their bytes in blocks that never move once written
// (so a growing table copies nothing), each row whole in one block, and the
// offset of each row's first byte in its block.
class TabularTable::Store
{
public:
    explicit Store(char separator) : separator_(separator) {}

    [[nodiscard]] char separator() const { return separator_; }
    [[nodiscard]] int rows() const { return rows_; }

    bool append(QByteArrayView bytes)
    {
        if (rows_ >= kMaxRows)
            return false;
        bytes = bytes.first(std::min<qsizetype>(bytes.size(), MaxRowBytes));
        if (blocks_.empty() || blocks_.back().size() + bytes.size() > kBlockBytes) {
            blocks_.emplace_back();
            blocks_.back().reserve(kBlockBytes);
            blockFirstRow_.push_back(rows_);
        }
        if (starts_.empty() || starts_.back().size() == kChunkRows) {
            starts_.emplace_back();
            starts_.back().reserve(kChunkRows);
        }
        starts_.back().push_back(quint32(blocks_.back().size()));
        blocks_.back().append(bytes.data(), bytes.size());
        ++rows_;
        return true;
    }

    // Row r (from 0).
    [[nodiscard]] QByteArrayView row(int r) const
    {
        const auto block =
            size_t(std::upper_bound(blockFirstRow_.begin(), blockFirstRow_.end(), r) -
                   blockFirstRow_.begin() - 1);
        const QByteArray& bytes = blocks_[block];
        const quint32 begin = start(r);
        const bool nextInBlock =
            r + 1 < rows_ &&
            (block + 1 == blockFirstRow_.size() || blockFirstRow_[block + 1] > r + 1);
        const qsizetype end = nextInBlock ? qsizetype(start(r + 1)) : bytes.size();
        return QByteArrayView(bytes.constData() + begin, end - begin);
    }

private:
    static constexpr qsizetype kBlockBytes = qsizetype(1) << 20;
    static constexpr size_t kChunkRows = size_t(1) << 16;

    [[nodiscard]] quint32 start(int r) const
    {
        return starts_[size_t(r) / kChunkRows][size_t(r) % kChunkRows];
    }

    char separator_;
    int rows_ = 0;
    std::vector<QByteArray> blocks_;
    std::vector<int> blockFirstRow_;         // per block: the row it starts with
    std::vector<std::vector<quint32>> starts_; // per row, in chunks of kChunkRows
};

TabularTable::TabularTable(QObject* parent)
    : QAbstractTableModel(parent), rows_(std::make_unique<Store>('\t'))
{
}

TabularTable::~TabularTable() = default;

int TabularTable::gridRowCount() const
{
    return std::max(rows_->rows(), 1) + 1;
}

QString TabularTable::heading(int column)
{
    return column >= 0 && column < ColumnCount ? kHeadings[column] : QString();
}

QByteArrayView TabularTable::rowOfLine(QByteArrayView utf8, char separator)
{
    const QByteArrayView row = firstFields(utf8, separator, DataColumnCount);
    return row.first(std::min<qsizetype>(row.size(), MaxRowBytes));
}

QByteArrayView TabularTable::cellBytes(int gridRow, int column) const
{
    if (gridRow < 1 || gridRow > rows_->rows())
        return {};
    return cellOfRow(rows_->row(gridRow - 1), rows_->separator(), column);
}

QByteArrayView TabularTable::cellOfRow(QByteArrayView row, char separator, int column)
{
    if (column < 1 || column >= ColumnCount || row.isEmpty())
        return {};
    const char* at = row.data();
    const char* end = at + row.size();
    for (int k = 1; k < column; ++k) {
        const auto* next = static_cast<const char*>(std::memchr(at, separator, size_t(end - at)));
        if (!next)
            return {};
        at = next + 1;
    }
    const auto* next = static_cast<const char*>(std::memchr(at, separator, size_t(end - at)));
    return QByteArrayView(at, (next ? next : end) - at);
}

QString TabularTable::cell(int gridRow, int column) const
{
    if (column < 0 || column >= ColumnCount)
        return {};
    if (gridRow == 0)
        return heading(column);
    if (gridRow < 1 || gridRow > rows_->rows())
        return {}; // also the empty row of a new table
    if (column == 0)
        return QString::number(gridRow);
    return QString::fromUtf8(cellBytes(gridRow, column));
}

void TabularTable::beginFill(char separator)
{
    pending_ = std::make_unique<Store>(separator);
}

bool TabularTable::appendLine(QByteArrayView utf8)
{
    const char separator = pending_ ? pending_->separator() : rows_->separator();
    return append(rowOfLine(utf8, separator));
}

void TabularTable::appendRow(const QStringList& fields)
{
    const char separator = pending_ ? pending_->separator() : rows_->separator();
    QByteArray line;
    const qsizetype count = std::min<qsizetype>(fields.size(), DataColumnCount);
    for (qsizetype k = 0; k < count; ++k) {
        if (k > 0)
            line += separator;
        const QByteArray field = fields[k].toUtf8();
        const qsizetype cut = field.indexOf(separator);
        line += cut < 0 ? field : field.first(cut);
    }
    (void)append(line);
}

bool TabularTable::append(QByteArrayView utf8)
{
    if (pending_)
        return pending_->append(utf8);
    const int first = rows_->rows();
    if (first == 0) {
        // The empty row of a new table becomes the first line's row.
        if (!rows_->append(utf8))
            return false;
        emit dataChanged(index(0, 0), index(0, ColumnCount - 1));
        return true;
    }
    if (first >= kMaxRows)
        return false;
    beginInsertRows({}, first, first);
    (void)rows_->append(utf8);
    endInsertRows();
    return true;
}

void TabularTable::endFill()
{
    if (!pending_)
        return;
    beginResetModel();
    rows_ = std::move(pending_); // nothing read: the table is a new one again
    endResetModel();
}

void TabularTable::clear()
{
    beginResetModel();
    rows_ = std::make_unique<Store>(rows_->separator());
    pending_.reset();
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
