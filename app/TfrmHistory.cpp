#include "app/TfrmHistory.h"

#include "archive/Archive.h"
#include "archive/MeasurementTableModel.h"
#include "data/AcousticStatistics.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

#include <QAbstractItemDelegate>
#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QItemSelectionModel>
#include <QLabel>
#include <QLineEdit>
#include <QMdiArea>
#include <QMdiSubWindow>
#include <QPushButton>
#include <QTableView>
#include <QVBoxLayout>

#include <algorithm>

namespace {
// A graph window opened from the history leaves this much room below it,
// as one opened from a graph file does.
constexpr int GraphHeightMargin = 40;

std::optional<AcousticWeighting> weightingOf(const QString& text)
{
    if (text.compare(QLatin1String("A"), Qt::CaseInsensitive) == 0)
        return AcousticWeighting::A;
    if (text.compare(QLatin1String("C"), Qt::CaseInsensitive) == 0)
        return AcousticWeighting::C;
    if (text.compare(QLatin1String("mixed"), Qt::CaseInsensitive) == 0)
        return AcousticWeighting::Mixed;
    return std::nullopt;
}

void placeGraph(TfrmGraph& graph)
{
    QWidget* frame = graph.parentWidget();
    if (!frame) {
        graph.show();
        return;
    }
    const QWidget* client = frame->parentWidget();
    const QSize area = client ? client->size() : frame->size();
    frame->setGeometry(0, 0, area.width(), std::max(area.height() - GraphHeightMargin, 100));
    frame->showNormal();
    if (auto* sub = qobject_cast<QMdiSubWindow*>(frame))
        if (QMdiArea* mdi = sub->mdiArea())
            mdi->setActiveSubWindow(sub);
}

void discardGraph(TfrmGraph* graph)
{
    QWidget* window = graph->parentWidget() ? graph->parentWidget() : graph;
    delete window;
}
} // namespace

TfrmHistory::TfrmHistory(Archive& archive, Context context, QWidget* parent)
    : QWidget(parent), archive_(archive), context_(std::move(context))
{
    setWindowTitle(Caption);
    setObjectName(QStringLiteral("frmHistory"));
    model_ = new MeasurementTableModel(archive_, this);
    buildFields();
    applyFilter();
}

TfrmHistory::~TfrmHistory() = default;

void TfrmHistory::buildFields()
{
    auto* layout = new QVBoxLayout(this);
    auto* filters = new QHBoxLayout;
    layout->addLayout(filters);

    const QDate today = QDate::currentDate();
    chkFrom_ = new QCheckBox(QStringLiteral("From"), this);
    chkFrom_->setObjectName(QStringLiteral("chkFrom"));
    dateFrom_ = new QDateEdit(today.addMonths(-1), this);
    dateFrom_->setObjectName(QStringLiteral("dateFrom"));
    dateFrom_->setCalendarPopup(true);
    dateFrom_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    chkTo_ = new QCheckBox(QStringLiteral("To"), this);
    chkTo_->setObjectName(QStringLiteral("chkTo"));
    dateTo_ = new QDateEdit(today, this);
    dateTo_->setObjectName(QStringLiteral("dateTo"));
    dateTo_->setCalendarPopup(true);
    dateTo_->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    cmbKind_ = new QComboBox(this);
    cmbKind_->setObjectName(QStringLiteral("cmbKind"));
    cmbKind_->addItem(QStringLiteral("All kinds"));
    for (MeasurementKind kind : {MeasurementKind::RealTime, MeasurementKind::Logger,
                                 MeasurementKind::AutoLoad, MeasurementKind::Import}) {
        Measurement sample;
        sample.kind = kind;
        sample.unfinished = false;
        cmbKind_->addItem(MeasurementTableModel::kindText(sample), int(kind));
    }
    edtSearch_ = new QLineEdit(this);
    edtSearch_->setObjectName(QStringLiteral("edtSearch"));
    edtSearch_->setPlaceholderText(QStringLiteral("Site, notes or meter"));
    edtSearch_->setClearButtonEnabled(true);

    filters->addWidget(chkFrom_);
    filters->addWidget(dateFrom_);
    filters->addWidget(chkTo_);
    filters->addWidget(dateTo_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Kind:"), this));
    filters->addWidget(cmbKind_);
    filters->addSpacing(12);
    filters->addWidget(new QLabel(QStringLiteral("Find:"), this));
    filters->addWidget(edtSearch_, 1);

    table_ = new QTableView(this);
    table_->setObjectName(QStringLiteral("tblMeasurements"));
    table_->setModel(model_);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::DoubleClicked | QAbstractItemView::EditKeyPressed |
                            QAbstractItemView::SelectedClicked);
    table_->setAlternatingRowColors(true);
    table_->verticalHeader()->hide();
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->setWordWrap(false);
    const QFontMetrics metrics = table_->fontMetrics();
    const int widths[] = {metrics.horizontalAdvance(QStringLiteral("0000-00-00 00:00:00")),
                          metrics.horizontalAdvance(QStringLiteral("Auto-load cycle (unfinished)")),
                          metrics.horizontalAdvance(QStringLiteral("QV58M-842 /dev/ttyUSB0")),
                          metrics.horizontalAdvance(QStringLiteral("0000:00:00")),
                          metrics.horizontalAdvance(QStringLiteral("000,000")),
                          metrics.horizontalAdvance(QStringLiteral("LAeq (dB)")),
                          metrics.horizontalAdvance(QStringLiteral("A site of some length"))};
    for (int column = 0; column < int(std::size(widths)); ++column)
        table_->setColumnWidth(column, widths[column] + 24);
    layout->addWidget(table_, 1);

    auto* buttons = new QHBoxLayout;
    layout->addLayout(buttons);
    lblCount_ = new QLabel(this);
    lblCount_->setObjectName(QStringLiteral("lblCount"));
    btnOpen_ = new QPushButton(QStringLiteral("&Open"), this);
    btnOpen_->setObjectName(QStringLiteral("btnOpen"));
    btnExport_ = new QPushButton(QStringLiteral("&Export..."), this);
    btnExport_->setObjectName(QStringLiteral("btnExport"));
    btnDelete_ = new QPushButton(QStringLiteral("&Delete..."), this);
    btnDelete_->setObjectName(QStringLiteral("btnDelete"));
    btnRefresh_ = new QPushButton(QStringLiteral("&Refresh"), this);
    btnRefresh_->setObjectName(QStringLiteral("btnRefresh"));
    buttons->addWidget(lblCount_, 1);
    buttons->addWidget(btnRefresh_);
    buttons->addWidget(btnOpen_);
    buttons->addWidget(btnExport_);
    buttons->addWidget(btnDelete_);

    const auto filterChanged = [this] {
        if (!settingFields_)
            applyFilter();
    };
    connect(chkFrom_, &QCheckBox::toggled, this, filterChanged);
    connect(chkTo_, &QCheckBox::toggled, this, filterChanged);
    connect(dateFrom_, &QDateEdit::dateChanged, this, [this, filterChanged] {
        if (chkFrom_->isChecked())
            filterChanged();
    });
    connect(dateTo_, &QDateEdit::dateChanged, this, [this, filterChanged] {
        if (chkTo_->isChecked())
            filterChanged();
    });
    connect(cmbKind_, &QComboBox::currentIndexChanged, this, filterChanged);
    connect(edtSearch_, &QLineEdit::textChanged, this, filterChanged);

    connect(btnOpen_, &QPushButton::clicked, this, [this] { (void)btnOpenClick(); });
    connect(btnExport_, &QPushButton::clicked, this, &TfrmHistory::btnExportClick);
    connect(btnDelete_, &QPushButton::clicked, this, &TfrmHistory::btnDeleteClick);
    connect(btnRefresh_, &QPushButton::clicked, this, &TfrmHistory::btnRefreshClick);
    // A double click on the site or the notes edits them; anywhere else it opens.
    connect(table_, &QTableView::doubleClicked, this, [this](const QModelIndex& index) {
        if (!(model_->flags(index) & Qt::ItemIsEditable))
            (void)btnOpenClick();
    });
    connect(table_->selectionModel(), &QItemSelectionModel::selectionChanged, this,
            &TfrmHistory::updateButtons);
    // Queued: the view leaves its editing state after telling of the close.
    connect(
        table_->itemDelegate(), &QAbstractItemDelegate::closeEditor, this,
        [this] {
            if (relistAfterEdit_)
                relist();
        },
        Qt::QueuedConnection);
    connect(model_, &QAbstractItemModel::modelReset, this, [this] {
        updateButtons();
        updateCountText();
    });
    connect(model_, &QAbstractItemModel::rowsRemoved, this, [this] {
        updateButtons();
        updateCountText();
    });
}

MeasurementFilter TfrmHistory::filterOfFields() const
{
    MeasurementFilter filter;
    if (chkFrom_->isChecked())
        filter.from = QDateTime(dateFrom_->date(), QTime(0, 0));
    if (chkTo_->isChecked())
        filter.to = QDateTime(dateTo_->date().addDays(1), QTime(0, 0));
    if (const QVariant kind = cmbKind_->currentData(); kind.isValid())
        filter.kind = MeasurementKind(kind.toInt());
    filter.text = edtSearch_->text().trimmed();
    return filter;
}

void TfrmHistory::applyFilter()
{
    if (!model_->setFilter(filterOfFields()))
        context_.dialogs.showError(
            this, QStringLiteral("The archive %1 could not be read: %2")
                      .arg(archive_.location().displayName(), model_->lastError()));
    updateButtons();
    updateCountText();
}

void TfrmHistory::setDateRange(std::optional<QDate> from, std::optional<QDate> to)
{
    settingFields_ = true;
    chkFrom_->setChecked(from.has_value());
    if (from)
        dateFrom_->setDate(*from);
    chkTo_->setChecked(to.has_value());
    if (to)
        dateTo_->setDate(*to);
    settingFields_ = false;
    applyFilter();
}

void TfrmHistory::setKind(std::optional<MeasurementKind> kind)
{
    const int index = kind ? cmbKind_->findData(int(*kind)) : 0;
    if (index == cmbKind_->currentIndex())
        applyFilter();
    else
        cmbKind_->setCurrentIndex(std::max(index, 0));
}

void TfrmHistory::setSearchText(const QString& text)
{
    if (text == edtSearch_->text())
        applyFilter();
    else
        edtSearch_->setText(text);
}

void TfrmHistory::updateButtons()
{
    const bool selected = selectedRow() >= 0;
    btnOpen_->setEnabled(selected);
    btnExport_->setEnabled(selected);
    btnDelete_->setEnabled(selected);
}

void TfrmHistory::updateCountText()
{
    const int count = model_->rowCount();
    lblCount_->setText(count == 1
                           ? QStringLiteral("1 measurement")
                           : QStringLiteral("%1 measurements").arg(QLocale().toString(count)));
}

int TfrmHistory::selectedRow() const
{
    const QModelIndexList rows = table_->selectionModel()->selectedRows();
    return rows.isEmpty() ? -1 : rows.first().row();
}

void TfrmHistory::selectRow(int row)
{
    table_->selectRow(row);
    table_->setCurrentIndex(model_->index(row, 0));
}

void TfrmHistory::btnRefreshClick()
{
    relist();
}

bool TfrmHistory::editing() const
{
    // A cell's editor is a child of the view's viewport until it is closed.
    const QList<QWidget*> children =
        table_->viewport()->findChildren<QWidget*>(Qt::FindDirectChildrenOnly);
    return std::any_of(children.begin(), children.end(),
                       [](const QWidget* child) { return !child->isHidden(); });
}

void TfrmHistory::relist()
{
    // Listing again would drop a site or notes being typed: after the edit.
    if (editing()) {
        relistAfterEdit_ = true;
        return;
    }
    relistAfterEdit_ = false;
    const int row = selectedRow();
    const qint64 id = row >= 0 ? model_->measurementAt(row).id : 0;
    applyFilter();
    if (const int again = model_->rowOf(id); id && again >= 0)
        selectRow(again);
}

QString TfrmHistory::graphCaption(const Measurement& measurement)
{
    return QStringLiteral("%1 - %2").arg(MeasurementTableModel::dateText(measurement),
                                         MeasurementTableModel::kindText(measurement));
}

QString TfrmHistory::deleteQuestion(const Measurement& measurement)
{
    return QStringLiteral("Delete the measurement of %1 (%2, %3 points) from the archive?\n"
                          "It cannot be brought back.")
        .arg(MeasurementTableModel::dateText(measurement),
             MeasurementTableModel::kindText(measurement),
             QLocale().toString(measurement.sampleCount));
}

void TfrmHistory::showMeasurement(TfrmGraph& graph, const Measurement& measurement,
                                  const ArchiveSeries& series)
{
    const int count = int(std::min(series.x.size(), series.y.size()));
    if (count > 0)
        graph.prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin,
                           series.x[size_t(count - 1)], series.x.front(), count);
    else
        graph.prepareGraph(1, TfrmGraph::GraphYMax, TfrmGraph::GraphYMin, 0, 0, 0);
    PESGraph& chart = *graph.graph();
    if (count > 0) {
        chart.setXDataBlock(series.x.data(), count);
        chart.setYDataBlock(series.y.data(), count);
    }
    chart.setPoints(count);
    graph.setAcousticWeighting(weightingOf(measurement.weighting));
    graph.updateGraphStatistic();
    chart.PEactions(PESGraph::ActionStateLoaded);
    graph.refreshGraph();
}

TfrmGraph* TfrmHistory::graphOf(int row, bool forExport)
{
    if (row < 0 || row >= model_->rowCount() || !context_.addGraphWindow)
        return nullptr;
    const Measurement measurement = model_->measurementAt(row);
    const std::optional<ArchiveSeries> series = archive_.readSamples(measurement.id);
    if (!series) {
        context_.dialogs.showError(
            this, QStringLiteral("The measurement of %1 could not be read "
                                 "from the archive: %2")
                      .arg(MeasurementTableModel::dateText(measurement), archive_.lastError()));
        return nullptr;
    }
    TfrmGraph* graph = context_.addGraphWindow(graphCaption(measurement));
    if (!graph)
        return nullptr;
    if (!forExport) {
        if (context_.graphs)
            context_.graphs->LastGraph = graph;
        placeGraph(*graph);
    }
    showMeasurement(*graph, measurement, *series);
    return graph;
}

TfrmGraph* TfrmHistory::btnOpenClick()
{
    return graphOf(selectedRow(), false);
}

void TfrmHistory::btnExportClick()
{
    if (!context_.saveGraph)
        return;
    TfrmGraph* graph = graphOf(selectedRow(), true);
    if (!graph)
        return;
    context_.saveGraph(*graph);
    discardGraph(graph);
}

void TfrmHistory::btnDeleteClick()
{
    const int row = selectedRow();
    if (row < 0)
        return;
    const Measurement& measurement = model_->measurementAt(row);
    if (context_.dialogs.ask(this, deleteQuestion(measurement),
                             QMessageBox::Yes | QMessageBox::No) != QMessageBox::Yes)
        return;
    if (!model_->removeMeasurement(row))
        context_.dialogs.showError(this, QStringLiteral("The measurement could not be deleted "
                                                        "from the archive: %1")
                                             .arg(model_->lastError()));
}
