#include "archive/MeasurementTableModel.h"

#include "archive/Archive.h"

#include <QStringList>

MeasurementTableModel::MeasurementTableModel(Archive& archive, QObject* parent)
    : QAbstractTableModel(parent), archive_(archive)
{
}

bool MeasurementTableModel::setFilter(const MeasurementFilter& filter)
{
    filter_ = filter;
    return refresh();
}

bool MeasurementTableModel::refresh()
{
    std::optional<std::vector<Measurement>> listed = archive_.listMeasurements(filter_);
    if (!listed) {
        error_ = archive_.lastError();
        return false;
    }
    beginResetModel();
    rows_ = std::move(*listed);
    endResetModel();
    return true;
}

int MeasurementTableModel::rowOf(qint64 id) const
{
    for (size_t row = 0; row < rows_.size(); ++row)
        if (rows_[row].id == id)
            return int(row);
    return -1;
}

bool MeasurementTableModel::removeMeasurement(int row)
{
    if (row < 0 || size_t(row) >= rows_.size())
        return false;
    if (!archive_.deleteMeasurement(rows_[size_t(row)].id)) {
        error_ = archive_.lastError();
        return false;
    }
    beginRemoveRows(QModelIndex(), row, row);
    rows_.erase(rows_.begin() + row);
    endRemoveRows();
    return true;
}

QString MeasurementTableModel::kindText(const Measurement& measurement)
{
    QString text;
    switch (measurement.kind) {
    case MeasurementKind::RealTime:
        text = QStringLiteral("Real-time recording");
        break;
    case MeasurementKind::Logger:
        text = QStringLiteral("Logger data set");
        break;
    case MeasurementKind::AutoLoad:
        text = QStringLiteral("Auto-load cycle");
        break;
    case MeasurementKind::Import:
        text = QStringLiteral("Imported file");
        break;
    }
    if (measurement.unfinished)
        text += QStringLiteral(" (unfinished)");
    return text;
}

QString MeasurementTableModel::dateText(const Measurement& measurement)
{
    // The wall clock of the place where it was measured, as the archive keeps it.
    return measurement.start.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

qint64 MeasurementTableModel::durationSeconds(const Measurement& measurement)
{
    if (measurement.start.isValid() && measurement.end.isValid() &&
        measurement.end >= measurement.start)
        return measurement.start.secsTo(measurement.end);
    return measurement.sampleCount * measurement.intervalMs / 1000;
}

QString MeasurementTableModel::durationText(const Measurement& measurement)
{
    const qint64 seconds = durationSeconds(measurement);
    return QStringLiteral("%1:%2:%3")
        .arg(seconds / 3600)
        .arg(seconds / 60 % 60, 2, 10, QLatin1Char('0'))
        .arg(seconds % 60, 2, 10, QLatin1Char('0'));
}

QString MeasurementTableModel::leqText(const Measurement& measurement, const QLocale& locale)
{
    if (!measurement.leqDb)
        return {};
    return locale.toString(*measurement.leqDb, 'f', 1);
}

int MeasurementTableModel::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : int(rows_.size());
}

int MeasurementTableModel::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant MeasurementTableModel::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= rows_.size())
        return {};
    const Measurement& m = rows_[size_t(index.row())];
    if (role == Qt::TextAlignmentRole) {
        switch (index.column()) {
        case DurationColumn:
        case PointsColumn:
        case LeqColumn:
            return QVariant::fromValue(Qt::Alignment(Qt::AlignRight | Qt::AlignVCenter));
        default:
            return {};
        }
    }
    if (role != Qt::DisplayRole && role != Qt::EditRole)
        return {};
    switch (index.column()) {
    case DateColumn:
        return dateText(m);
    case KindColumn:
        return kindText(m);
    case MeterColumn:
        return QStringList{m.meterModel, m.meterPort}.join(QLatin1Char(' ')).trimmed();
    case DurationColumn:
        return durationText(m);
    case PointsColumn:
        return QLocale().toString(m.sampleCount);
    case LeqColumn:
        return leqText(m, QLocale());
    case SiteColumn:
        return m.site;
    case NotesColumn:
        return m.notes;
    default:
        return {};
    }
}

QVariant MeasurementTableModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QAbstractTableModel::headerData(section, orientation, role);
    switch (section) {
    case DateColumn:
        return QStringLiteral("Date");
    case KindColumn:
        return QStringLiteral("Kind");
    case MeterColumn:
        return QStringLiteral("Meter");
    case DurationColumn:
        return QStringLiteral("Duration");
    case PointsColumn:
        return QStringLiteral("Points");
    case LeqColumn:
        return QStringLiteral("LAeq (dB)");
    case SiteColumn:
        return QStringLiteral("Site");
    case NotesColumn:
        return QStringLiteral("Notes");
    default:
        return {};
    }
}

Qt::ItemFlags MeasurementTableModel::flags(const QModelIndex& index) const
{
    Qt::ItemFlags flags = QAbstractTableModel::flags(index);
    if (index.isValid() && (index.column() == SiteColumn || index.column() == NotesColumn))
        flags |= Qt::ItemIsEditable;
    return flags;
}

bool MeasurementTableModel::setData(const QModelIndex& index, const QVariant& value, int role)
{
    if (role != Qt::EditRole || !index.isValid() || size_t(index.row()) >= rows_.size())
        return false;
    Measurement& m = rows_[size_t(index.row())];
    QString site = m.site;
    QString notes = m.notes;
    if (index.column() == SiteColumn)
        site = value.toString();
    else if (index.column() == NotesColumn)
        notes = value.toString();
    else
        return false;
    if (site == m.site && notes == m.notes)
        return true;
    // Shown only once it is stored: the table never shows what the archive lacks.
    if (!archive_.updateSiteNotes(m.id, site, notes)) {
        error_ = archive_.lastError();
        return false;
    }
    m.site = site;
    m.notes = notes;
    emit dataChanged(index, index, {Qt::DisplayRole, Qt::EditRole});
    return true;
}
