#pragma once

// The choice dialog of Save (with the DataLogger window active) and Open:
// the whole collection of data sets, or a single data file.
//
// Contract: shown modally; the dialog's result says what was chosen:
// Sets (1) from btnOpenSets, SingleSet (7) from btnOpenSingleSet, Cancel (2)
// from Button1, Escape or the close box. The caller sets the caption and the
// texts of the two choices.

#include <QDialog>

class QPushButton;

class TfrmOpenSave : public QDialog
{
    Q_OBJECT

public:
    enum Result : int
    {
        Sets = 1,
        Cancel = 2,
        SingleSet = 7
    };

    explicit TfrmOpenSave(QWidget* parent = nullptr);

    // The two choices' texts, in the order of the buttons.
    void setChoices(const QString& setsText, const QString& singleSetText);

    [[nodiscard]] QPushButton* btnOpenSets() const { return btnOpenSets_; }
    [[nodiscard]] QPushButton* btnOpenSingleSet() const { return btnOpenSingleSet_; }
    [[nodiscard]] QPushButton* Button1() const { return Button1_; }

    void reject() override;

private:
    QPushButton* btnOpenSets_ = nullptr;
    QPushButton* btnOpenSingleSet_ = nullptr;
    QPushButton* Button1_ = nullptr;
};
