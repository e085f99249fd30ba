#include "app/TfrmMonitor.h"

#include "acoustics/FigureNames.h"
#include "data/GraphTexts.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"
#include "serial/ComErrors.h"

#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDoubleSpinBox>
#include <QFormLayout>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QLocale>
#include <QPushButton>
#include <QSettings>
#include <QSplitter>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QString timeText(qint64 utcMs)
{
    return QDateTime::fromMSecsSinceEpoch(utcMs, Qt::LocalTime)
        .toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString dBText(double value)
{
    return QLocale().toString(value, 'f', 1);
}

TimeWeighting timeWeightingOf(TimeWeightingSeen seen)
{
    if (seen == TimeWeightingSeen::Fast)
        return TimeWeighting::Fast;
    if (seen == TimeWeightingSeen::Slow)
        return TimeWeighting::Slow;
    return TimeWeighting::Unknown;
}

QTableWidget* makeTable(const QString& name, const QStringList& headers, QWidget* parent)
{
    auto* table = new QTableWidget(0, int(headers.size()), parent);
    table->setObjectName(name);
    table->setHorizontalHeaderLabels(headers);
    table->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table->setSelectionBehavior(QAbstractItemView::SelectRows);
    table->setSelectionMode(QAbstractItemView::SingleSelection);
    table->verticalHeader()->setVisible(false);
    table->horizontalHeader()->setSectionResizeMode(QHeaderView::ResizeToContents);
    return table;
}

void setRow(QTableWidget* table, int row, const QStringList& texts)
{
    for (int column = 0; column < texts.size(); ++column) {
        auto* item = new QTableWidgetItem(texts[column]);
        if (column > 0)
            item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
        table->setItem(row, column, item);
    }
}

QString storedText(qint64 id)
{
    return id > 0 ? QStringLiteral("#%1").arg(id) : QStringLiteral("waiting");
}

} // namespace

TfrmMonitor::TfrmMonitor(MeterLink& link, ArchiveSession* archive, const QString& dataDirectory,
                         std::function<TfrmGraph*()> realTimeGraph, QWidget* parent)
    : QWidget(parent), station_(link, archive, dataDirectory),
      realTimeGraph_(std::move(realTimeGraph))
{
    setObjectName(QStringLiteral("frmMonitor"));
    setWindowTitle(Caption);

    cmbInterval = new QComboBox(this);
    cmbInterval->setObjectName(QStringLiteral("cmbInterval"));
    const QStringList intervalNames{QStringLiteral("10 s"), QStringLiteral("1 min"),
                                    QStringLiteral("5 min"), QStringLiteral("15 min"),
                                    QStringLiteral("1 h")};
    const QList<qint64>& lengths = NoiseMonitor::intervalLengths();
    for (int i = 0; i < lengths.size() && i < intervalNames.size(); ++i)
        cmbInterval->addItem(intervalNames[i], lengths[i]);

    chkEvents = new QCheckBox(QStringLiteral("Events above"), this);
    chkEvents->setObjectName(QStringLiteral("chkEvents"));
    const auto spin = [this](const char* name, double min, double max, const QString& suffix) {
        auto* box = new QDoubleSpinBox(this);
        box->setObjectName(QLatin1String(name));
        box->setRange(min, max);
        box->setDecimals(1);
        box->setSuffix(suffix);
        return box;
    };
    edtThreshold = spin("edtThreshold", 0.0, 200.0, QStringLiteral(" dB"));
    edtMinDuration = spin("edtMinDuration", 0.1, 86400.0, QStringLiteral(" s"));
    edtHysteresis = spin("edtHysteresis", 0.0, 100.0, QStringLiteral(" dB"));
    edtStation = new QLineEdit(this);
    edtStation->setObjectName(QStringLiteral("edtStation"));
    edtStation->setMaxLength(64);
    const auto lineEdit = [this](const char* name, const QString& placeholder) {
        auto* edit = new QLineEdit(this);
        edit->setObjectName(QLatin1String(name));
        edit->setPlaceholderText(placeholder);
        return edit;
    };
    edtBroker = lineEdit("edtBroker", QStringLiteral("none, or mqtt://[user@]host[:port]"));
    edtPasswordFile = lineEdit("edtPasswordFile", QStringLiteral("none"));
    edtCaFile = lineEdit("edtCaFile", QStringLiteral("the system's (mqtts://)"));
    lblBroker = new QLabel(this);
    lblBroker->setObjectName(QStringLiteral("lblBroker"));
    lblBroker->setWordWrap(true);

    btnStart = new QPushButton(QStringLiteral("&Start"), this);
    btnStart->setObjectName(QStringLiteral("btnStart"));
    btnStop = new QPushButton(QStringLiteral("S&top"), this);
    btnStop->setObjectName(QStringLiteral("btnStop"));
    lblStatus = new QLabel(this);
    lblStatus->setObjectName(QStringLiteral("lblStatus"));
    lblStatus->setWordWrap(true);
    lblStatus->setTextInteractionFlags(Qt::TextSelectableByMouse);
    lblCursor = new QLabel(this);
    lblCursor->setObjectName(QStringLiteral("lblCursor"));

    gridIntervals =
        makeTable(QStringLiteral("gridIntervals"),
                  {QStringLiteral("Start"), QStringLiteral("Leq"), QStringLiteral("Lmax"),
                   QStringLiteral("Lmin"), QStringLiteral("L10"), QStringLiteral("L50"),
                   QStringLiteral("L90"), QStringLiteral("Readings"), QStringLiteral("Coverage"),
                   QStringLiteral("Stored")},
                  this);
    gridEvents =
        makeTable(QStringLiteral("gridEvents"),
                  {QStringLiteral("Start"), QStringLiteral("End"), QStringLiteral("Duration"),
                   QStringLiteral("Lmax"), QStringLiteral("SEL"), QStringLiteral("Stored")},
                  this);

    auto* form = new QFormLayout;
    form->addRow(QStringLiteral("&Interval:"), cmbInterval);
    auto* threshold = new QHBoxLayout;
    threshold->addWidget(chkEvents);
    threshold->addWidget(edtThreshold);
    threshold->addStretch();
    form->addRow(QStringLiteral("Events:"), threshold);
    form->addRow(QStringLiteral("Minimum &duration:"), edtMinDuration);
    form->addRow(QStringLiteral("&Hysteresis:"), edtHysteresis);
    form->addRow(QStringLiteral("Statio&n:"), edtStation);
    auto* brokerForm = new QFormLayout;
    brokerForm->addRow(QStringLiteral("&Broker:"), edtBroker);
    brokerForm->addRow(QStringLiteral("&Password file:"), edtPasswordFile);
    brokerForm->addRow(QStringLiteral("&CA file:"), edtCaFile);
    auto* buttons = new QVBoxLayout;
    buttons->addWidget(btnStart);
    buttons->addWidget(btnStop);
    buttons->addStretch();
    auto* top = new QHBoxLayout;
    top->addLayout(form);
    top->addLayout(brokerForm, 1);
    top->addLayout(buttons);
    top->addStretch();

    auto* intervalsBox = new QWidget(this);
    auto* intervalsLayout = new QVBoxLayout(intervalsBox);
    intervalsLayout->setContentsMargins(0, 0, 0, 0);
    intervalsLayout->addWidget(new QLabel(QStringLiteral("Intervals"), intervalsBox));
    intervalsLayout->addWidget(gridIntervals);
    auto* eventsBox = new QWidget(this);
    auto* eventsLayout = new QVBoxLayout(eventsBox);
    eventsLayout->setContentsMargins(0, 0, 0, 0);
    eventsLayout->addWidget(new QLabel(QStringLiteral("Events"), eventsBox));
    eventsLayout->addWidget(gridEvents);
    auto* split = new QSplitter(Qt::Vertical, this);
    split->addWidget(intervalsBox);
    split->addWidget(eventsBox);
    split->setStretchFactor(0, 2);
    split->setStretchFactor(1, 1);

    auto* layout = new QVBoxLayout(this);
    layout->addLayout(top);
    layout->addWidget(lblStatus);
    layout->addWidget(lblBroker);
    layout->addWidget(split, 1);
    layout->addWidget(lblCursor);

    QSettings store;
    showSettings(MonitorStationSettings::load(store));

    connect(chkEvents, &QCheckBox::toggled, this, [this](bool on) {
        edtThreshold->setEnabled(on);
        edtMinDuration->setEnabled(on && !station_.isRunning());
        edtHysteresis->setEnabled(on && !station_.isRunning());
    });
    connect(btnStart, &QPushButton::clicked, this,
            [this] { HandlerGuard::run([this] { btnStartClick(); }); });
    connect(btnStop, &QPushButton::clicked, this,
            [this] { HandlerGuard::run([this] { btnStopClick(); }); });
    connect(gridIntervals, &QTableWidget::cellClicked, this, [this](int row, int) {
        HandlerGuard::run([this, row] { rowClick(gridIntervals, row); });
    });
    connect(gridEvents, &QTableWidget::cellClicked, this, [this](int row, int) {
        HandlerGuard::run([this, row] { rowClick(gridEvents, row); });
    });
    connect(&station_, &MonitorStation::entryAdded, this,
            [this](int index) { HandlerGuard::run([this, index] { addRow(index); }); });
    connect(&station_, &MonitorStation::entryStored, this,
            [this](int index) { HandlerGuard::run([this, index] { showStored(index); }); });
    connect(&station_, &MonitorStation::statusChanged, this,
            [this] { HandlerGuard::run([this] { showStatus(); }); });
    showStatus();
}

TfrmMonitor::~TfrmMonitor()
{
    // The station ends first, while the tables it reports to still exist.
    station_.disconnect(this);
    station_.stop();
}

MonitorStationSettings TfrmMonitor::settingsFromFields() const
{
    MonitorStationSettings settings;
    settings.intervalMs = cmbInterval->currentData().toLongLong();
    if (chkEvents->isChecked()) {
        EventCriteria criteria;
        criteria.thresholdDb = edtThreshold->value();
        criteria.minDurationSeconds = edtMinDuration->value();
        criteria.hysteresisDb = edtHysteresis->value();
        settings.events = criteria;
    }
    settings.station = edtStation->text().trimmed();
    settings.mqttUrl = edtBroker->text().trimmed();
    settings.mqttPasswordFile = edtPasswordFile->text().trimmed();
    settings.mqttCaFile = edtCaFile->text().trimmed();
    return settings;
}

void TfrmMonitor::showSettings(const MonitorStationSettings& settings)
{
    const int interval = cmbInterval->findData(settings.intervalMs);
    cmbInterval->setCurrentIndex(interval >= 0 ? interval : 1);
    const EventCriteria criteria = settings.events.value_or(EventCriteria{});
    chkEvents->setChecked(settings.events.has_value());
    edtThreshold->setValue(criteria.thresholdDb);
    edtMinDuration->setValue(criteria.minDurationSeconds);
    edtHysteresis->setValue(criteria.hysteresisDb);
    edtStation->setText(settings.station);
    edtBroker->setText(settings.mqttUrl);
    edtPasswordFile->setText(settings.mqttPasswordFile);
    edtCaFile->setText(settings.mqttCaFile);
}

void TfrmMonitor::btnStartClick()
{
    if (station_.isRunning())
        return;
    const MonitorStationSettings settings = settingsFromFields();
    if (!station_.start(settings))
        return;
    QSettings store;
    settings.save(store);
    gridIntervals->setRowCount(0);
    gridEvents->setRowCount(0);
    intervalRows_.clear();
    eventRows_.clear();
    lblCursor->clear();
    showStatus();
}

void TfrmMonitor::btnStopClick()
{
    station_.stop();
}

void TfrmMonitor::addRow(int index)
{
    const MonitorStation::Entry& entry = station_.entries().at(index);
    if (const auto* e = std::get_if<MonitorEvent>(&entry.figures)) {
        gridEvents->insertRow(0);
        eventRows_.prepend(index);
        setRow(gridEvents, 0,
               {timeText(e->startMs), timeText(e->endMs).mid(11),
                QStringLiteral("%1 s").arg(QLocale().toString(e->durationSeconds, 'f', 1)),
                dBText(e->lmax), dBText(e->sel), storedText(entry.id)});
        gridEvents->horizontalHeaderItem(3)->setText(
            FigureNames::levelName(e->weighting, TimeWeighting::Unknown, QStringLiteral("max")));
        return;
    }
    const auto& i = std::get<MonitorInterval>(entry.figures);
    gridIntervals->insertRow(0);
    intervalRows_.prepend(index);
    QStringList texts{timeText(i.startMs)};
    if (i.hasLevels()) {
        texts << dBText(i.leq) << dBText(i.lmax) << dBText(i.lmin) << dBText(i.l10) << dBText(i.l50)
              << dBText(i.l90);
        // The columns are named by the weighting of the newest interval.
        const TimeWeighting tw = timeWeightingOf(i.timeWeighting);
        gridIntervals->horizontalHeaderItem(1)->setText(
            FigureNames::equivalentLevelName(i.weighting));
        const char* suffixes[] = {"max", "min", "10", "50", "90"};
        for (int k = 0; k < 5; ++k)
            gridIntervals->horizontalHeaderItem(2 + k)->setText(
                FigureNames::levelName(i.weighting, tw, QLatin1String(suffixes[k])));
    } else {
        for (int k = 0; k < 6; ++k)
            texts << QStringLiteral("-");
    }
    texts << QString::number(i.readings)
          << QStringLiteral("%1 %").arg(QLocale().toString(i.coverage * 100.0, 'f', 1))
          << storedText(entry.id);
    setRow(gridIntervals, 0, texts);
}

void TfrmMonitor::showStored(int index)
{
    const MonitorStation::Entry& entry = station_.entries().at(index);
    QTableWidget* table = entry.isEvent() ? gridEvents : gridIntervals;
    const QList<int>& rows = entry.isEvent() ? eventRows_ : intervalRows_;
    const int row = int(rows.indexOf(index));
    if (row >= 0)
        table->item(row, table->columnCount() - 1)->setText(storedText(entry.id));
}

void TfrmMonitor::showStatus()
{
    const bool running = station_.isRunning();
    btnStart->setEnabled(!running);
    btnStop->setEnabled(running);
    cmbInterval->setEnabled(!running);
    chkEvents->setEnabled(!running);
    edtThreshold->setEnabled(!running && chkEvents->isChecked());
    edtMinDuration->setEnabled(!running && chkEvents->isChecked());
    edtHysteresis->setEnabled(!running && chkEvents->isChecked());
    edtStation->setEnabled(!running);
    edtBroker->setEnabled(!running);
    edtPasswordFile->setEnabled(!running);
    edtCaFile->setEnabled(!running);

    QString text;
    if (!station_.error().isEmpty())
        text = QStringLiteral("Not started: %1").arg(station_.error());
    else if (running && !station_.storeError().isEmpty())
        text = QStringLiteral("Monitoring station %1. %2 waiting to be stored: %3 Kept here and "
                              "stored when it answers.")
                   .arg(station_.settings().station)
                   .arg(station_.waiting())
                   .arg(station_.storeError());
    else if (!running && station_.unstored() > 0)
        text = QStringLiteral("Stopped. %1 could not be stored (marked \"waiting\"): %2")
                   .arg(station_.unstored())
                   .arg(station_.storeError());
    else if (running)
        text = QStringLiteral("Monitoring station %1; stored in %2.")
                   .arg(station_.settings().station, station_.outboxName());
    else if (!station_.entries().isEmpty())
        text = QStringLiteral("Stopped.");
    else
        text = QStringLiteral("Not monitoring.");
    lblStatus->setText(text);

    QString broker;
    if (running && station_.brokerName().isEmpty())
        broker = QStringLiteral("MQTT: not published.");
    else if (running && station_.brokerConnected())
        broker = QStringLiteral("MQTT: connected to %1.").arg(station_.brokerName());
    else if (running)
        broker = QStringLiteral("MQTT: not connected to %1%2; messages wait in the outbox.")
                     .arg(station_.brokerName(),
                          station_.brokerError().isEmpty()
                              ? QString()
                              : QStringLiteral(" (%1)").arg(station_.brokerError()));
    lblBroker->setText(broker);
    lblBroker->setVisible(!broker.isEmpty());
}

void TfrmMonitor::rowClick(QTableWidget* table, int row)
{
    const QList<int>& rows = table == gridEvents ? eventRows_ : intervalRows_;
    if (row < 0 || row >= rows.size())
        return;
    const MonitorStation::Entry& entry = station_.entries().at(rows[row]);
    TfrmGraph* graph = realTimeGraph_ ? realTimeGraph_() : nullptr;
    if (!graph) {
        lblCursor->setText(QStringLiteral("Open the real-time graph to see this span there."));
        return;
    }
    lblCursor->setText(placeCursorsOnSpan(*graph, entry.startMs(), entry.endMs())
                           ? QString()
                           : QStringLiteral("The real-time graph holds no samples of this span."));
}

bool TfrmMonitor::placeCursorsOnSpan(TfrmGraph& graph, qint64 startMs, qint64 endMs)
{
    const int count = std::min(graph.state().RealTimeSampleCount, graph.graph()->points());
    const double from = GraphTexts::fromDateTime(QDateTime::fromMSecsSinceEpoch(startMs));
    const double to = GraphTexts::fromDateTime(QDateTime::fromMSecsSinceEpoch(endMs));
    int first = -1;
    int last = -1;
    for (int i = 0; i < count; ++i) {
        const double x = graph.graph()->xDataII(0, i);
        if (x < from || x >= to)
            continue;
        if (first < 0)
            first = i;
        last = i;
    }
    if (first < 0)
        return false;
    graph.placeCursors(first, last);
    return true;
}

void TfrmMonitor::closeEvent(QCloseEvent* event)
{
    HandlerGuard::run([this] { station_.stop(); });
    event->accept();
}
