#include "archive/ArchiveRecording.h"

#include "archive/Archive.h"
#include "data/SampleEncoding.h"

ArchiveRecording::ArchiveRecording(Archive& archive, qint64 measurementId)
    : m_archive(archive), m_id(measurementId)
{
}

bool ArchiveRecording::add(double time, float level)
{
    m_x.push_back(time);
    m_y.push_back(level);
    // A time that is not a number or runs backwards commits at once rather
    // than never.
    const bool due = !m_lastCommitTime ||
                     !(time - *m_lastCommitTime < SampleEncoding::kSecondInDays) ||
                     time < *m_lastCommitTime;
    return due ? flush() : true;
}

bool ArchiveRecording::flush()
{
    if (m_x.empty())
        return true;
    if (!m_archive.appendSamples(m_id, m_x, m_y))
        return false;
    m_lastCommitTime = m_x.back();
    m_x.clear();
    m_y.clear();
    return true;
}

bool ArchiveRecording::finish(const QDateTime& end)
{
    return flush() && m_archive.finish(m_id, end);
}
