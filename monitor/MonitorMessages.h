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

// "2026-12-08T06:10:00.000+01:00" of ms since the epoch, in local time.
[[nodiscard]] QString isoTime(qint64 utcMs);
// "F", "S", "mixed" or "" (no readings).
[[nodiscard]] QString timeWeightingText(TimeWeightingSeen seen);

} // namespace MonitorMessages
