#pragma once

// "Real-Time Setup": the number of points to record and the sampling rate,
// with the recording period they give. The dialog only collects the two
// texts; the Run command reads and checks them after it closes with Start.
//
// On show the rate list is refilled with the nine intervals in the user's
// number format. The period shows whatever setInitialPeriod wrote (unpadded)
// until the point count or the rate changes; from then on it is recomputed
// in the padded form ("0:03:20").

#include <QDialog>

class QComboBox;
class QLabel;
class QLineEdit;
class QPushButton;

class TfrmSetupRealTime : public QDialog
{
    Q_OBJECT

public:
    static inline const QString InitialPointCountText = QStringLiteral(" 2000");
    static constexpr int InitialPointCount = 2000;

    explicit TfrmSetupRealTime(QWidget* parent = nullptr);

    // The rate list's text (the graph's rate when the dialog opens).
    void setRateText(const QString& text);
    [[nodiscard]] QString rateText() const;
    [[nodiscard]] QString pointCountText() const;
    [[nodiscard]] QString periodText() const;
    // The period of 2000 points at this interval, written unpadded.
    void setInitialPeriod(double intervalSeconds);

    // Recomputes the period from the point count and the rate.
    void edtRealTimeNoChange();

protected:
    void showEvent(QShowEvent* event) override;

private:
    void FormShow();
    void fillRateItems();

    QLabel* Label1 = nullptr;
    QLabel* Label2 = nullptr;
    QLineEdit* edtRealTimeNo = nullptr;
    QLabel* Label3 = nullptr;
    QComboBox* txtRate = nullptr;
    QLabel* Label6 = nullptr;
    QLabel* Label4 = nullptr;
    QWidget* pnlPeriod = nullptr;
    QLineEdit* edtPeriod = nullptr;
    QLabel* Label5 = nullptr;
    QPushButton* btnOpenSingleSet = nullptr;
    QPushButton* Button1 = nullptr;
    bool filling_ = false;
};
