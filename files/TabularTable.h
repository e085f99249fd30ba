#pragma once

// The table of a list window: a text or CSV file, one line per row, in the
// seven columns of the list's grid. Grid rows are counted as the list shows
// them: row 0 is the heading row ("No", "Date", "Time", "Value", then three
// empty headings), rows 1.. hold the data; column 0 is the line number,
// columns 1 to 6 the fields of the line. A new table has one empty data row
// (2 grid rows), as the list's grid has when it is created.
//
// As a model (QAbstractTableModel, read-only): model row r is grid row r + 1,
// the horizontal header gives the headings, Qt::DisplayRole the cell texts.
// Rows are kept compactly (one string per row, fields cut at display time)
// so that 100,000 lines stay well under 100 MB. A row holds at most 65,535
// characters in all; the import's lines are far shorter.

#include <QAbstractTableModel>
#include <QString>
#include <QStringList>
#include <array>
#include <vector>

class TabularTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 7;
    static constexpr int DataColumnCount = ColumnCount - 1;

    explicit TabularTable(QObject* parent = nullptr);

    // Grid rows including the heading row: data rows + 1 (at least 2).
    [[nodiscard]] int gridRowCount() const;
    [[nodiscard]] int dataRowCount() const { return gridRowCount() - 1; }
    // The text of a cell by grid row and column; empty outside the table.
    [[nodiscard]] QString cell(int gridRow, int column) const;
    [[nodiscard]] static QString heading(int column);

    // Filling (text import): rows are appended one at a time. appendRow
    // takes up to six field texts for columns 1..6 (more are dropped);
    // column 0 gets the row's number. The first append replaces the initial
    // empty row. beginFill starts the table afresh: the rows appended until
    // endFill are held back while the model keeps showing what it showed,
    // and endFill puts them in place of the old rows at once (one model
    // reset, so a view lays out only once; no row: one empty row again).
    void beginFill();
    void appendRow(const QStringList& fields);
    void endFill();
    // Back to one empty data row.
    void clear();

    // QAbstractTableModel
    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;

private:
    // The fields of a row joined without separators; ends[k] is where field
    // k + 1 ends in text.
    struct Row
    {
        QString text;
        std::array<quint16, DataColumnCount> ends{};
    };
    [[nodiscard]] static Row makeRow(const QStringList& fields);
    [[nodiscard]] static QString field(const Row& row, int column);

    std::vector<Row> rows_;    // empty: the one empty data row of a new table
    std::vector<Row> pending_; // rows appended since beginFill
    bool filling_ = false;
};
