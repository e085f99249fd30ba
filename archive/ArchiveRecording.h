#pragma once

// A live recording into the archive. Samples are held and committed together
// once a second of sample time has passed since the last commit (the first
// sample at once), so that a crash or a power cut loses at most the last
// second while the archive sees one write a second rather than one a sample.
// Driven by the samples' own times: no clock, no timer.
//
// A failed write (a full disk, a server gone) keeps the samples held and
// tries again with the next commit, so nothing is dropped while the caller
// goes on recording in memory.

#include <QDateTime>
#include <QtGlobal>

#include <optional>
#include <vector>

class Archive;

class ArchiveRecording
{
public:
    // measurementId: an unfinished measurement of archive, which outlives this.
    ArchiveRecording(Archive& archive, qint64 measurementId);

    // time: days since 30 December 1899, local wall clock; level in dB.
    // False when a commit failed (the archive's lastError() says why).
    [[nodiscard]] bool add(double time, float level);
    // Commits what is held now.
    [[nodiscard]] bool flush();
    // Commits what is held and marks the measurement complete.
    [[nodiscard]] bool finish(const QDateTime& end = QDateTime());

    [[nodiscard]] qsizetype pending() const { return qsizetype(m_x.size()); }
    [[nodiscard]] qint64 measurementId() const { return m_id; }

private:
    Archive& m_archive;
    qint64 m_id;
    std::vector<double> m_x;
    std::vector<float> m_y;
    std::optional<double> m_lastCommitTime;
};
