#pragma once

// The JSON messages of a monitoring station, as they are stored in its
// outbox and published: one object per interval or event, with the keys of
// the command line's figure commands (laeq_db, lceq_db or leq_db by the
// weighting seen, lmax_db, l10_db, l90_db, samples, coverage, duration_s,
// sel_db, ...), the station's name, times in ISO 8601 with milliseconds and
// the local UTC offset, levels rounded to 0.01 dB. Levels of an interval
// without readings are null. The outbox adds "id".

#include "monitor/NoiseMonitor.h"

#include <QJsonObject>
#include <QString>

namespace MonitorMessages {

inline const QString IntervalTopic = QStringLiteral("interval");
inline const QString EventTopic = QStringLiteral("event");

[[nodiscard]] QJsonObject interval(const MonitorInterval& interval, const QString& station);
[[nodiscard]] QJsonObject event(const MonitorEvent& event, const EventCriteria& criteria,
                                const QString& station);

// A live reading as it is published (not stored): station, time, level_db,
// weighting ("A"/"C"), time_weighting ("F"/"S"), over, under.
[[nodiscard]] QJsonObject reading(const MeterReading& reading, const QString& station,
                                  qint64 utcMs);

// A station name: 1 to 64 letters, digits, '.', '_' or '-' (it names MQTT
// topics and the queue file).
[[nodiscard]] bool isStationName(const QString& name);
// The host's name as a station name; "station" when it gives none.
[[nodiscard]] QString defaultStation();

// "2026-12-08T06:10:00.000+01:00" of ms since the epoch, in local time.
[[nodiscard]] QString isoTime(qint64 utcMs);
// "F", "S", "mixed" or "" (no readings).
[[nodiscard]] QString timeWeightingText(TimeWeightingSeen seen);

} // namespace MonitorMessages
