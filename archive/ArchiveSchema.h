#pragma once

// The archive's tables, one schema for SQLite and PostgreSQL, versioned in
// the table schema_version and brought forward by migrations that only ever
// add (each in its own write transaction, so that two programs opening a new
// archive at once do not both create it).
//
//   memory_images   id, sha256 (hex, unique), byte_count, stored_utc_ms,
//                   data, coding (how data holds the image: 0 raw, 1 zlib
//                   as qCompress makes it; sha256 and byte_count are those
//                   of the raw image)
//   measurements    id, measurement_key (unique), kind, meter_model,
//                   meter_port, start_utc_ms, end_utc_ms, utc_offset_s,
//                   interval_ms, weighting, sample_count, level_count,
//                   energy_sum (sum of 10^(L/10) of the finite levels),
//                   site, notes, unfinished (0/1), memory_image_id
//   sample_chunks   measurement_id, first_index, sample_count, data
//                   (SampleChunk coding), primary key (measurement_id,
//                   first_index)
//   monitor_messages station, id (per station, from 1), subtopic, payload
//                   (JSON text), stored_utc_ms, sent (0/1), primary key
//                   (station, id): the outbox of a monitoring station
//                   (version 3)
//
// The few differences between the two engines are here and nowhere else.

#include <QSqlDatabase>
#include <QString>

#include <optional>

namespace ArchiveSchema {

inline constexpr int kCurrentVersion = 3;

// Starts a transaction that will write. SQLite takes the write lock at once
// (waiting up to the busy timeout) rather than failing when a reader upgrades.
[[nodiscard]] QString beginWrite(bool sqlite);

// The version of the archive: 0 for an empty database; nullopt with error
// set when the database cannot be read or holds tables of something else.
[[nodiscard]] std::optional<int> readVersion(QSqlDatabase& db, const QString& name, QString& error);

// Brings an archive of a known version up to kCurrentVersion.
[[nodiscard]] bool migrate(QSqlDatabase& db, bool sqlite, const QString& name, QString& error);

} // namespace ArchiveSchema
