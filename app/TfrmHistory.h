#pragma once

// The History window (File > "History..."): the measurements of the archive,
// newest first, filtered by a date range, a kind and a text found in the
// site, the notes or the meter. A measurement opens into a graph window of
// its own, as a graph file of it opens; its site and notes are edited in the
// table and stored at once; it can be exported through the graph save (graph
// file, TXT or CSV) and deleted after a confirmation.
//
// Contract: an MDI child of the main window; the archive outlives the
// window. Every question and message goes through Context::dialogs.

#include "archive/Measurement.h"
#include "files/dialogs/FileDialogRunner.h"

#include <QWidget>

#include <functional>
#include <optional>

class Archive;
class MeasurementTableModel;
class QCheckBox;
class QComboBox;
class QDateEdit;
class QLabel;
class QLineEdit;
class QPushButton;
class QTableView;
class TfrmGraph;
struct GraphWindowState;

class TfrmHistory : public QWidget
{
    Q_OBJECT

public:
    static inline const QString Caption = QStringLiteral("History");

    struct Context
    {
        // Creates a graph window with the caption in the MDI area (the main
        // window's addGraphWindow); the window is not shown yet.
        std::function<TfrmGraph*(const QString& caption)> addGraphWindow;
        // The graph save of a graph window (the main window's Save on it).
        std::function<void(TfrmGraph& graph)> saveGraph;
        // LastGraph is set to an opened measurement's window.
        GraphWindowState* graphs = nullptr;
        FileDialogRunner dialogs = FileDialogRunner::modal();
    };

    TfrmHistory(Archive& archive, Context context, QWidget* parent = nullptr);
    ~TfrmHistory() override;

    [[nodiscard]] MeasurementTableModel& model() const { return *model_; }
    [[nodiscard]] QTableView* table() const { return table_; }

    // The filter fields: a date range (either end may be off), a kind (none:
    // every kind) and a text. Listing follows every change.
    void setDateRange(std::optional<QDate> from, std::optional<QDate> to);
    void setKind(std::optional<MeasurementKind> kind);
    void setSearchText(const QString& text);
    // What the fields ask for: from the start of the first day to the end
    // of the last one, in local time.
    [[nodiscard]] MeasurementFilter filterOfFields() const;

    // The row selected, -1 when none.
    [[nodiscard]] int selectedRow() const;
    void selectRow(int row);

    // Opens the selected measurement in a new graph window, or null (with a
    // message) when it cannot be read.
    TfrmGraph* btnOpenClick();
    // The graph save of the selected measurement; its window is not shown.
    void btnExportClick();
    // Deletes the selected measurement after "Yes" to the question.
    void btnDeleteClick();
    void btnRefreshClick();
    // Lists the archive again, keeping the filters and the selected
    // measurement: Refresh, and the main window when something was stored
    // while the window is open. While a site or notes is being edited, once
    // the edit ends.
    void relist();

    // Fills a graph window prepared by addGraphWindow with a measurement's
    // points: the whole series, the statistics, the slider and the cursors.
    static void showMeasurement(TfrmGraph& graph, const Measurement& measurement,
                                const ArchiveSeries& series);
    // The caption of a measurement's graph window.
    [[nodiscard]] static QString graphCaption(const Measurement& measurement);
    [[nodiscard]] static QString deleteQuestion(const Measurement& measurement);

private:
    void buildFields();
    void applyFilter();
    void updateButtons();
    void updateCountText();
    // A site or notes is being edited.
    [[nodiscard]] bool editing() const;
    TfrmGraph* graphOf(int row, bool forExport);

    Archive& archive_;
    Context context_;
    MeasurementTableModel* model_ = nullptr;
    bool settingFields_ = false;
    bool relistAfterEdit_ = false;

    QCheckBox* chkFrom_ = nullptr;
    QDateEdit* dateFrom_ = nullptr;
    QCheckBox* chkTo_ = nullptr;
    QDateEdit* dateTo_ = nullptr;
    QComboBox* cmbKind_ = nullptr;
    QLineEdit* edtSearch_ = nullptr;
    QTableView* table_ = nullptr;
    QLabel* lblCount_ = nullptr;
    QPushButton* btnOpen_ = nullptr;
    QPushButton* btnExport_ = nullptr;
    QPushButton* btnDelete_ = nullptr;
    QPushButton* btnRefresh_ = nullptr;
};
