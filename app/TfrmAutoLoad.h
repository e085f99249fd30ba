#pragma once

// The schedule dialog of the scheduled auto-loading, "Data Logging Schedule":
// "Data Logging every " [ComboBox1] "HOUR", OK (BitBtn1) and Cancel (BitBtn2).
// ComboBox1 lists "1" to "24", starts at "1" and also takes typed text; the
// caller checks the text (AutoLoadSchedule::parseHours). Stays on top and is
// centred on the screen when shown; created on first use and kept.

#include <QDialog>

class QComboBox;
class QLabel;
class QPushButton;

class TfrmAutoLoad : public QDialog
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("Data Logging Schedule");

    explicit TfrmAutoLoad(QWidget* parent = nullptr);

    // The hour text as the user left it.
    [[nodiscard]] QString hourText() const;

    QLabel* Label3 = nullptr;
    QComboBox* ComboBox1 = nullptr;
    QLabel* Label1 = nullptr;
    QPushButton* BitBtn1 = nullptr;
    QPushButton* BitBtn2 = nullptr;

protected:
    void showEvent(QShowEvent* event) override;
};
