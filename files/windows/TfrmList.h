#pragma once

// The list window: a text or CSV file shown as a table, one file line per
// row, in the read-only grid Grid1 (a QTableView over the window's
// TabularTable). Column 0 holds the line numbers and looks like a fixed
// column; the heading row is the grid's header. The caption is the full
// path of the file the list was read from.
//
// Contract: an MDI child created by TabularCommands; the window owns its
// table. The main window's "Output Tabular to graph" follows the activation
// of list windows (TabularCommands::outputToGraphEnabled).

#include <QWidget>

class QTableView;
class TabularTable;

class TfrmList : public QWidget
{
    Q_OBJECT

public:
    static constexpr int DesignWidth = 405;
    static constexpr int DesignHeight = 460;
    static constexpr int RowHeight = 18;

    explicit TfrmList(QWidget* parent = nullptr);

    [[nodiscard]] TabularTable& table() const { return *table_; }
    [[nodiscard]] QTableView* grid() const { return Grid1; }

    // While the table is filled the grid does not redraw.
    void setGridUpdatesEnabled(bool enabled);
    // Fits the number column to the last line number and widens the date,
    // time and value columns to the texts of the rows in view (never below
    // the grid's default width), so that a graph export's dates and times
    // show whole.
    void fitColumnsToText();

    QSize sizeHint() const override;

private:
    TabularTable* table_;
    QTableView* Grid1;
};
