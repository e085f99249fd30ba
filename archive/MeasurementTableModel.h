#pragma once

// The measurements of an archive as a table, newest first: one row per
// measurement, the columns of the History window. Site and notes are
// editable; an edit is stored in the archive before the row shows it.
//
// Contract: the archive outlives the model; main thread only. The rows are
// what the last refresh() listed; a failed listing or write leaves the rows
// as they were and its text in lastError().

#include "archive/Measurement.h"

#include <QAbstractTableModel>
#include <QLocale>

#include <vector>

class Archive;

class MeasurementTableModel : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column
    {
        DateColumn,
        KindColumn,
        MeterColumn,
        DurationColumn,
        PointsColumn,
        LeqColumn,
        SiteColumn,
        NotesColumn,
        ColumnCount
    };

    explicit MeasurementTableModel(Archive& archive, QObject* parent = nullptr);

    [[nodiscard]] Archive& archive() const { return archive_; }

    // Lists the measurements that pass the filter; false when the archive
    // could not be read (the rows stay).
    [[nodiscard]] bool setFilter(const MeasurementFilter& filter);
    [[nodiscard]] const MeasurementFilter& filter() const { return filter_; }
    [[nodiscard]] bool refresh();

    [[nodiscard]] const Measurement& measurementAt(int row) const { return rows_.at(size_t(row)); }
    // The row of a measurement id, -1 when not listed.
    [[nodiscard]] int rowOf(qint64 id) const;
    // Deletes the measurement of a row from the archive, then the row.
    [[nodiscard]] bool removeMeasurement(int row);
    [[nodiscard]] QString lastError() const { return error_; }

    // The texts of the columns.
    [[nodiscard]] static QString kindText(const Measurement& measurement);
    [[nodiscard]] static QString dateText(const Measurement& measurement);
    [[nodiscard]] static QString durationText(const Measurement& measurement);
    [[nodiscard]] static QString leqText(const Measurement& measurement, const QLocale& locale);
    // The seconds a measurement lasts: end - start, or from its points and
    // interval while no end is known.
    [[nodiscard]] static qint64 durationSeconds(const Measurement& measurement);

    int rowCount(const QModelIndex& parent = QModelIndex()) const override;
    int columnCount(const QModelIndex& parent = QModelIndex()) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    Qt::ItemFlags flags(const QModelIndex& index) const override;
    bool setData(const QModelIndex& index, const QVariant& value, int role = Qt::EditRole) override;

private:
    Archive& archive_;
    MeasurementFilter filter_;
    std::vector<Measurement> rows_;
    QString error_;
};
