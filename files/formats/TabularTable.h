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
//
// Storage: a row is kept as the UTF-8 bytes of its line, fields still joined
// by the table's separator, in blocks of 1 MiB, with one 32-bit offset per
// row; cells are cut and decoded only when asked for. A file of 20 million
// short lines thus takes about its own size plus 4 bytes a line, and no
// string per cell or per row is ever held.

#include <QAbstractTableModel>
#include <QByteArray>
#include <QByteArrayView>
#include <QString>
#include <QStringList>
#include <memory>
#include <vector>

class TabularTable : public QAbstractTableModel
{
    Q_OBJECT

public:
    static constexpr int ColumnCount = 7;
    static constexpr int DataColumnCount = ColumnCount - 1;
    // The bytes one row keeps at most.
    static constexpr int MaxRowBytes = 65535;

    explicit TabularTable(QObject* parent = nullptr);
    ~TabularTable() override;

    // Grid rows including the heading row: data rows + 1 (at least 2).
    [[nodiscard]] int gridRowCount() const;
    [[nodiscard]] int dataRowCount() const { return gridRowCount() - 1; }
    // The text of a cell by grid row and column; empty outside the table.
    [[nodiscard]] QString cell(int gridRow, int column) const;
    // The UTF-8 bytes of a data cell (columns 1 to 6), valid until the
    // table changes; empty outside the table and for column 0.
    [[nodiscard]] QByteArrayView cellBytes(int gridRow, int column) const;
    [[nodiscard]] static QString heading(int column);

    // What appendLine keeps of a line's bytes as its row, and the bytes of
    // data cell `column` (1 to 6) of such a row: a reader that wants a few
    // cells of every line of a file (TextImport::readLines) cuts them as
    // the table would, with no table.
    [[nodiscard]] static QByteArrayView rowOfLine(QByteArrayView utf8, char separator);
    [[nodiscard]] static QByteArrayView cellOfRow(QByteArrayView row, char separator, int column);

    // Filling (text import): beginFill starts the table afresh with the
    // separator that cuts the rows' fields (an ASCII character); the rows
    // appended until endFill are held back while the model keeps showing
    // what it showed, and endFill puts them in place of the old rows at
    // once (one model reset, so a view lays out only once; no row: one
    // empty row again).
    //
    // appendLine takes a line's UTF-8 bytes as they are: its fields are what
    // lies between the separators, the seventh and later are dropped; bytes
    // past MaxRowBytes are dropped. False (nothing appended) once the table
    // holds as many rows as a model can count.
    void beginFill(char separator);
    bool appendLine(QByteArrayView utf8);
    // appendRow takes up to six field texts for columns 1..6 (more are
    // dropped); a field is cut at the rows' separator (TAB unless a fill
    // chose another). Outside a fill the row shows at once; the first such
    // append replaces the initial empty row.
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
    class Store;

    // Appends to the pending rows during a fill, else to the shown ones.
    bool append(QByteArrayView utf8);

    std::unique_ptr<Store> rows_;    // no row: the one empty data row of a new table
    std::unique_ptr<Store> pending_; // rows appended since beginFill; none outside a fill
};
