#include "graph/GraphEventsPanel.h"

#include "acoustics/FigureNames.h"
#include "data/GraphTexts.h"

#include <QDoubleSpinBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QSettings>
#include <QSignalBlocker>
#include <QTableWidget>
#include <QVBoxLayout>

#include <algorithm>
#include <cmath>
#include <utility>

namespace {
struct Field
{
    const QString& key;
    double fallback;
    double lowest;
    double highest;
};

const Field kThreshold{GraphEventsPanel::ThresholdKey, 85.0, 0.0, 200.0};
const Field kMinDuration{GraphEventsPanel::MinDurationKey, 10.0, 0.1, 86400.0};
const Field kHysteresis{GraphEventsPanel::HysteresisKey, 2.0, 0.0, 50.0};

double valueOf(const QSettings& store, const Field& field)
{
    bool ok = false;
    const double value = store.value(field.key).toDouble(&ok);
    return ok && std::isfinite(value) && value >= field.lowest && value <= field.highest
               ? value
               : field.fallback;
}

QDoubleSpinBox* spinBox(QWidget* parent, const char* name, const Field& field,
                        const QString& suffix, const QString& hint)
{
    auto* box = new QDoubleSpinBox(parent);
    box->setObjectName(QLatin1String(name));
    box->setDecimals(1);
    box->setRange(field.lowest, field.highest);
    box->setSuffix(suffix);
    box->setToolTip(hint);
    // A value counts once it is entered, not at every key.
    box->setKeyboardTracking(false);
    return box;
}

bool sameEvents(const QList<ExceedanceEvent>& a, const QList<ExceedanceEvent>& b)
{
    return std::equal(a.begin(), a.end(), b.begin(), b.end(),
                      [](const ExceedanceEvent& x, const ExceedanceEvent& y) {
                          return x.first == y.first && x.last == y.last &&
                                 x.startMs == y.startMs && x.endMs == y.endMs &&
                                 x.lmax == y.lmax && x.leq == y.leq;
                      });
}

QString levelText(double value)
{
    return QLocale().toString(value, 'f', 1);
}

QString timeText(qint64 ms)
{
    return GraphTexts::dateTimeText(SampleTiming::toDateTime(ms));
}
} // namespace

GraphEventsPanel::GraphEventsPanel(QWidget* parent) : QWidget(parent)
{
    setObjectName(QStringLiteral("pnlEvents"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(6, 2, 6, 2);
    layout->setSpacing(3);

    auto* fields = new QHBoxLayout;
    fields->setSpacing(6);
    threshold_ = spinBox(this, "spnEventThreshold", kThreshold, QStringLiteral(" dB"),
                         QStringLiteral("An event: the level above this (strictly)"));
    minDuration_ = spinBox(this, "spnEventMinDuration", kMinDuration, QStringLiteral(" s"),
                           QStringLiteral("The shortest event"));
    hysteresis_ = spinBox(this, "spnEventHysteresis", kHysteresis, QStringLiteral(" dB"),
                          QStringLiteral("An event ends below the threshold minus this"));
    const auto add = [&](const QString& label, QDoubleSpinBox* box) {
        fields->addWidget(new QLabel(label, this));
        fields->addWidget(box);
        connect(box, &QDoubleSpinBox::valueChanged, this, &GraphEventsPanel::criteriaEntered);
    };
    add(QStringLiteral("Threshold"), threshold_);
    add(QStringLiteral("Min. duration"), minDuration_);
    add(QStringLiteral("Hysteresis"), hysteresis_);
    fields->addSpacing(12);
    summary_ = new QLabel(this);
    summary_->setObjectName(QStringLiteral("lblEventCount"));
    fields->addWidget(summary_);
    fields->addStretch(1);
    layout->addLayout(fields);

    table_ = new QTableWidget(0, ColumnCount, this);
    table_->setObjectName(QStringLiteral("gridEvents"));
    table_->verticalHeader()->hide();
    table_->verticalHeader()->setDefaultSectionSize(table_->fontMetrics().height() + 6);
    table_->setSelectionBehavior(QAbstractItemView::SelectRows);
    table_->setSelectionMode(QAbstractItemView::SingleSelection);
    table_->setEditTriggers(QAbstractItemView::NoEditTriggers);
    table_->horizontalHeader()->setStretchLastSection(true);
    table_->viewport()->setCursor(Qt::PointingHandCursor);
    // Room for a few events, also when the window is small.
    table_->setMinimumHeight(table_->horizontalHeader()->sizeHint().height() +
                             4 * table_->verticalHeader()->defaultSectionSize() + 4);
    layout->addWidget(table_, 1);
    // A click picks an event, also the one already picked (the cursors may
    // have moved since); so does a row reached with the keyboard.
    connect(table_, &QTableWidget::cellClicked, this, [this](int row) { emit eventChosen(row); });
    connect(table_, &QTableWidget::currentCellChanged, this,
            [this](int row, int, int previousRow) {
                if (row >= 0 && row != previousRow)
                    emit eventChosen(row);
            });

    const EventCriteria saved = readCriteria(QSettings());
    {
        const QSignalBlocker quiet1(threshold_);
        const QSignalBlocker quiet2(minDuration_);
        const QSignalBlocker quiet3(hysteresis_);
        threshold_->setValue(saved.thresholdDb);
        minDuration_->setValue(saved.minDurationSeconds);
        hysteresis_->setValue(saved.hysteresisDb);
    }
    criteria_ = saved;
    showEvents();
}

EventCriteria GraphEventsPanel::readCriteria(const QSettings& store)
{
    EventCriteria criteria;
    criteria.thresholdDb = AcousticStatistics::thresholdStep(valueOf(store, kThreshold));
    criteria.minDurationSeconds = valueOf(store, kMinDuration);
    criteria.hysteresisDb = valueOf(store, kHysteresis);
    return criteria;
}

void GraphEventsPanel::criteriaEntered()
{
    criteria_.thresholdDb = AcousticStatistics::thresholdStep(threshold_->value());
    criteria_.minDurationSeconds = minDuration_->value();
    criteria_.hysteresisDb = hysteresis_->value();
    QSettings store;
    store.setValue(ThresholdKey, criteria_.thresholdDb);
    store.setValue(MinDurationKey, criteria_.minDurationSeconds);
    store.setValue(HysteresisKey, criteria_.hysteresisDb);
    store.sync();
    findEvents();
}

void GraphEventsPanel::setSeries(std::span<const double> times, std::span<const float> levels,
                                 double intervalSeconds,
                                 std::optional<AcousticWeighting> weighting)
{
    const std::size_t n = std::min(times.size(), levels.size());
    timing_ = SampleTiming::of(times.first(n), levels.first(n), intervalSeconds);
    levels_.assign(levels.begin(), levels.begin() + std::ptrdiff_t(n));
    if (weighting != weighting_) {
        weighting_ = weighting;
        showEvents(); // the equivalent level's column is named anew
    }
    findEvents();
}

void GraphEventsPanel::findEvents()
{
    QList<ExceedanceEvent> found = ExceedanceEvents::find(timing_, levels_, criteria_);
    if (sameEvents(found, events_))
        return;
    events_ = std::move(found);
    showEvents();
    emit eventsChanged();
}

QString GraphEventsPanel::summary() const
{
    if (events_.isEmpty())
        return QStringLiteral("No events");
    return events_.size() == 1 ? QStringLiteral("1 event")
                               : QStringLiteral("%1 events").arg(events_.size());
}

void GraphEventsPanel::showEvents()
{
    table_->setHorizontalHeaderLabels({QStringLiteral("Start"), QStringLiteral("End"),
                                       QStringLiteral("Duration"), QStringLiteral("Lmax"),
                                       FigureNames::equivalentLevelName(weighting_),
                                       QStringLiteral("SEL")});
    summary_->setText(summary());
    const QSignalBlocker quiet(table_);
    table_->clearContents();
    table_->setRowCount(int(events_.size()));
    for (int row = 0; row < events_.size(); ++row) {
        const ExceedanceEvent& e = events_[row];
        const QString texts[ColumnCount] = {timeText(e.startMs),
                                            timeText(e.endMs),
                                            durationText(e.durationSeconds),
                                            levelText(e.lmax),
                                            levelText(e.leq),
                                            levelText(e.sel)};
        for (int column = 0; column < ColumnCount; ++column) {
            auto* item = new QTableWidgetItem(texts[column]);
            if (column >= Duration)
                item->setTextAlignment(Qt::AlignRight | Qt::AlignVCenter);
            table_->setItem(row, column, item);
        }
    }
    table_->resizeColumnsToContents();
}
