#pragma once

// The shared progress and range dialog. Every control starts hidden; each
// user shows only what it needs:
// - a transfer: Progress1 with the counters SText1 "bytes received" /
//   lblBytesReceived and SText2 "total bytes" / lblTotalBytes;
// - a range choice (modal): GroupBox1 with radAll, radNo, edtSelFrom and
//   edtSelTo, and the buttons BitBtn1 (OK) and BitBtn2 (Cancel);
// - a cancellable progress (modeless): Progress1, SText1 and BitBtn2.
//
// Contract: created afresh for each use and owned by its user. Modeless, a
// click on Cancel only sets modalResult() to Cancel; the user polls it and
// closes the dialog. Modal (exec()), OK accepts and Cancel rejects as usual.
// repaintNow() paints at once, for users that block the main thread.

#include <QDialog>

class QGroupBox;
class QLabel;
class QLineEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;

class TfrmScope : public QDialog
{
    Q_OBJECT

public:
    enum ModalResult : int
    {
        None = 0,
        Ok = 1,
        Cancel = 2
    };

    explicit TfrmScope(QWidget* parent = nullptr);

    [[nodiscard]] QProgressBar* Progress1() const { return progress1_; }
    [[nodiscard]] QLabel* SText1() const { return sText1_; }
    [[nodiscard]] QLabel* SText2() const { return sText2_; }
    [[nodiscard]] QLabel* lblBytesReceived() const { return lblBytesReceived_; }
    [[nodiscard]] QLabel* lblTotalBytes() const { return lblTotalBytes_; }
    [[nodiscard]] QGroupBox* GroupBox1() const { return groupBox1_; }
    [[nodiscard]] QRadioButton* radAll() const { return radAll_; }
    [[nodiscard]] QRadioButton* radNo() const { return radNo_; }
    [[nodiscard]] QLineEdit* edtSelFrom() const { return edtSelFrom_; }
    [[nodiscard]] QLineEdit* edtSelTo() const { return edtSelTo_; }
    [[nodiscard]] QPushButton* BitBtn1() const { return bitBtn1_; }
    [[nodiscard]] QPushButton* BitBtn2() const { return bitBtn2_; }

    [[nodiscard]] int modalResult() const { return modalResult_; }
    void setModalResult(int result) { modalResult_ = result; }
    [[nodiscard]] bool cancelled() const { return modalResult_ == Cancel; }

    // Shows the bar and both counters for a transfer of `total` bytes, at 0.
    void showTransfer(int total);
    // The received count in lblBytesReceived and on the bar.
    void setBytesReceived(int received);

    // Paints the dialog now, without running the event loop.
    void repaintNow();

private:
    void BitBtn1Click();
    void BitBtn2Click();

    QProgressBar* progress1_ = nullptr;
    QLabel* sText1_ = nullptr;
    QLabel* sText2_ = nullptr;
    QLabel* lblBytesReceived_ = nullptr;
    QLabel* lblTotalBytes_ = nullptr;
    QGroupBox* groupBox1_ = nullptr;
    QRadioButton* radAll_ = nullptr;
    QRadioButton* radNo_ = nullptr;
    QLineEdit* edtSelFrom_ = nullptr;
    QLineEdit* edtSelTo_ = nullptr;
    QPushButton* bitBtn1_ = nullptr;
    QPushButton* bitBtn2_ = nullptr;
    int modalResult_ = None;
};
