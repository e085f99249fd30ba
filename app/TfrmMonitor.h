#pragma once

// The "Monitor" window (Real Time > "Monitor..."): noise monitoring on the
// live link beside the panel. Its settings (interval, events, station) are
// remembered; Start and Stop run a MonitorStation; the running interval
// table and the events, newest on top, each with where it is stored; a
// click on a row puts the real-time graph's cursors on its span. Closing
// the window ends monitoring cleanly.

#include "app/MonitorStation.h"

#include <QWidget>

#include <functional>

class ArchiveSession;
class MeterLink;
class QCheckBox;
class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableWidget;
class TfrmGraph;

class TfrmMonitor : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("Monitor");

    // realTimeGraph gives the real-time graph window, null while it is not open.
    TfrmMonitor(MeterLink& link, ArchiveSession* archive, const QString& dataDirectory,
                std::function<TfrmGraph*()> realTimeGraph, QWidget* parent = nullptr);
    ~TfrmMonitor() override;

    [[nodiscard]] MonitorStation& station() { return station_; }

    // The graph's cursors on the first and last of its samples within
    // [startMs, endMs); false when it holds none there.
    static bool placeCursorsOnSpan(TfrmGraph& graph, qint64 startMs, qint64 endMs);

    // Handlers (public so that tests can drive them).
    void btnStartClick();
    void btnStopClick();
    void rowClick(QTableWidget* table, int row);

protected:
    void closeEvent(QCloseEvent* event) override;

private:
    [[nodiscard]] MonitorStationSettings settingsFromFields() const;
    void showSettings(const MonitorStationSettings& settings);
    void addRow(int index);
    void showStored(int index);
    void showStatus();

    MonitorStation station_;
    std::function<TfrmGraph*()> realTimeGraph_;

    QComboBox* cmbInterval = nullptr;
    QCheckBox* chkEvents = nullptr;
    QDoubleSpinBox* edtThreshold = nullptr;
    QDoubleSpinBox* edtMinDuration = nullptr;
    QDoubleSpinBox* edtHysteresis = nullptr;
    QLineEdit* edtStation = nullptr;
    QLineEdit* edtBroker = nullptr;
    QLineEdit* edtPasswordFile = nullptr;
    QLineEdit* edtCaFile = nullptr;
    QLabel* lblBroker = nullptr;
    QPushButton* btnStart = nullptr;
    QPushButton* btnStop = nullptr;
    QLabel* lblStatus = nullptr;
    QLabel* lblCursor = nullptr;
    QTableWidget* gridIntervals = nullptr;
    QTableWidget* gridEvents = nullptr;
    // The entry of each row, top row first.
    QList<int> intervalRows_;
    QList<int> eventRows_;
};
