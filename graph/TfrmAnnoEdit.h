#pragma once

// The annotation text dialog: a small stay-on-top window without caption,
// one edit field (Edit1) and OK (BitBtn1) / Cancel (BitBtn2).

#include <QDialog>

class QLineEdit;
class QPushButton;

class TfrmAnnoEdit : public QDialog
{
    Q_OBJECT

public:
    explicit TfrmAnnoEdit(QWidget* parent = nullptr);

    [[nodiscard]] QString text() const;
    [[nodiscard]] QLineEdit* Edit1() const { return edit1_; }
    [[nodiscard]] QPushButton* BitBtn1() const { return bitBtn1_; }
    [[nodiscard]] QPushButton* BitBtn2() const { return bitBtn2_; }

private:
    void setFrameless();

    QLineEdit* edit1_;
    QPushButton* bitBtn1_;
    QPushButton* bitBtn2_;
};
