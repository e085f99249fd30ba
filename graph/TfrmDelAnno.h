#pragma once

// The erase dialog: caption "Erase Annotation", the grid StringGrid1 (columns
// "NO", "Time", "Contents"; rows of adjacent ranges selectable) and the
// buttons "Delete" (BitBtn1, enabled once a row exists, result Accepted) and
// "Cancel" (BitBtn2). It remembers which annotation slot each row stands
// for, for any number of rows.

#include "data/AnnotationSlots.h"

#include <QDialog>
#include <QList>

class QPushButton;
class QTableWidget;

class TfrmDelAnno : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmDelAnno(QWidget* parent = nullptr);

    // Appends one row per entry and enables Delete when there is one.
    void setRows(const QList<AnnotationSlots::Row>& rows);

    // The slots of the selected rows, in row order.
    [[nodiscard]] QList<int> selectedSlots() const;
    // Selects rows first..last (1-based, as numbered in the grid).
    void selectRows(int first, int last);

    [[nodiscard]] QTableWidget* StringGrid1() const { return grid_; }
    [[nodiscard]] QPushButton* BitBtn1() const { return bitBtn1_; }
    [[nodiscard]] QPushButton* BitBtn2() const { return bitBtn2_; }

private:
    QTableWidget* grid_;
    QPushButton* bitBtn1_;
    QPushButton* bitBtn2_;
    QList<int> rowSlots_;
};
