#pragma once

// The dialog File > "Export Report (PDF)..." asks before the file name: the
// report's title and the consultant's details (ReportDetails), prefilled
// with what was entered last time for the measurement. The calibration's
// drift (after - before) is shown as the two are typed. Beside them, how
// the tables after the first page are made (ReportSettings): the period
// length, the events' minimum duration and hysteresis (above the graph
// window's threshold), the day-evening-night periods and penalties. OK is
// refused while a calibration level does not read or the day, evening and
// night do not follow each other round the clock; the dialog says why.
// Whether the tables cover the whole series or the span between the
// cursors is offered only when the graph has the cursors apart (setHasSpan);
// without a span it shows the whole series and keeps the choice remembered.

#include "files/formats/ReportDetails.h"

#include <QDialog>
#include <QHash>

class QComboBox;
class QDoubleSpinBox;
class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QTimeEdit;

class TfrmReportDetails : public QDialog
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("Export Report (PDF)");
    static inline const QString TitleLabel = QStringLiteral("Title of the report:");

    explicit TfrmReportDetails(QWidget* parent = nullptr);

    void setEntry(const ReportDetailsStore::Entry& entry);
    // Whether the report has a span between the cursors (default: no).
    void setHasSpan(bool hasSpan);
    // What the fields hold; a level that does not read is left out.
    [[nodiscard]] ReportDetailsStore::Entry entry() const;

    // A field by its name ("title", a ReportDetails field name or a
    // ReportSettings name, in the form ReportSettings::value writes), as a
    // person types or sets it.
    void setFieldText(const QString& name, const QString& text);
    [[nodiscard]] QString fieldText(const QString& name) const;
    [[nodiscard]] QString driftText() const;
    [[nodiscard]] QString errorText() const;

    void done(int result) override;

private:
    void showDrift();
    // The fields that do not read, named; empty when all do.
    [[nodiscard]] QString unreadable() const;

    QLineEdit* title_ = nullptr;
    QHash<QString, QLineEdit*> lines_;
    QPlainTextEdit* notes_ = nullptr;
    QLabel* drift_ = nullptr;
    QLabel* error_ = nullptr;
    QComboBox* period_ = nullptr;
    QDoubleSpinBox* minDuration_ = nullptr;
    QDoubleSpinBox* hysteresis_ = nullptr;
    QTimeEdit* dayStart_ = nullptr;
    QTimeEdit* eveningStart_ = nullptr;
    QTimeEdit* nightStart_ = nullptr;
    QDoubleSpinBox* eveningPenalty_ = nullptr;
    QDoubleSpinBox* nightPenalty_ = nullptr;
    QComboBox* tablesOver_ = nullptr;
    bool hasSpan_ = false;
    bool overSpanChosen_ = false; // kept while there is no span to offer

    void setSettings(const ReportSettings& settings);
    [[nodiscard]] ReportSettings settings() const;
};
