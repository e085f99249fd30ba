#pragma once

// The "Events" panel of a graph window: the exceedance events of the series
// the window shows (ExceedanceEvents), under their criteria - threshold,
// minimum duration and hysteresis, each in its own field - and a list of the
// events found: start, end, duration, Lmax, the equivalent level named by the
// weighting ("LAeq", "LCeq", "Leq") and SEL. The criteria are remembered for
// the next window and the next run (EventThreshold, EventMinDuration,
// EventHysteresis; defaults 85 dB, 10 s, 2 dB; a value that is missing or out
// of its field's range gives the default).
//
// Texts in the user's locale: times as the window's statistic fields write
// them, the duration as h:mm:ss, levels with one decimal. Picking an event
// in the list (mouse or keyboard) reports it with eventChosen().

#include "acoustics/ExceedanceEvents.h"
#include "data/AcousticStatistics.h"

#include <QList>
#include <QWidget>

#include <optional>
#include <span>
#include <vector>

class QDoubleSpinBox;
class QLabel;
class QSettings;
class QTableWidget;

class GraphEventsPanel : public QWidget
{
    Q_OBJECT

public:
    static inline const QString ThresholdKey = QStringLiteral("EventThreshold");
    static inline const QString MinDurationKey = QStringLiteral("EventMinDuration");
    static inline const QString HysteresisKey = QStringLiteral("EventHysteresis");

    enum Column
    {
        Start,
        End,
        Duration,
        Lmax,
        Leq,
        Sel,
        ColumnCount
    };

    explicit GraphEventsPanel(QWidget* parent = nullptr);

    // The criteria saved in store, each its default when missing or out of range.
    [[nodiscard]] static EventCriteria readCriteria(const QSettings& store);

    // The series the events are found in: times as date-time values, the
    // levels (read up to the shorter of the two), the nominal seconds between
    // samples and the weighting (none: not known). The list is made anew
    // when the events differ from those shown.
    void setSeries(std::span<const double> times, std::span<const float> levels,
                   double intervalSeconds, std::optional<AcousticWeighting> weighting);

    // As the fields hold them; a change finds the events anew and is saved.
    [[nodiscard]] EventCriteria criteria() const { return criteria_; }
    [[nodiscard]] const QList<ExceedanceEvent>& events() const { return events_; }
    [[nodiscard]] QTableWidget* table() const { return table_; }
    // "3 events", "1 event", "No events".
    [[nodiscard]] QString summary() const;

signals:
    // The events were found anew and differ from those before.
    void eventsChanged();
    // The user picked event `index` of events().
    void eventChosen(int index);

private:
    void criteriaEntered();
    void findEvents();
    void showEvents();

    QDoubleSpinBox* threshold_ = nullptr;
    QDoubleSpinBox* minDuration_ = nullptr;
    QDoubleSpinBox* hysteresis_ = nullptr;
    QLabel* summary_ = nullptr;
    QTableWidget* table_ = nullptr;

    EventCriteria criteria_;
    SampleTiming timing_;
    std::vector<float> levels_;
    std::optional<AcousticWeighting> weighting_;
    QList<ExceedanceEvent> events_;
};
