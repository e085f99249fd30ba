#include "archive/SpooledArchive.h"

SpooledArchive::SpooledArchive(const ArchiveLocation& location, const QString& spoolDirectory)
    : m_location(location), m_spoolDirectory(spoolDirectory)
{
}

SpooledArchive::~SpooledArchive() = default;

bool SpooledArchive::isServer() const
{
    return m_location.engine == ArchiveLocation::Engine::PostgreSQL;
}

void SpooledArchive::retire(std::unique_ptr<Archive>& archive)
{
    if (archive)
        m_retired.push_back(std::move(archive));
}

bool SpooledArchive::useSpool(const QString& serverError)
{
    if (!m_spool) {
        ArchiveOpenResult spool = ArchiveSpool::open(m_location, m_spoolDirectory);
        if (!spool.archive) {
            m_error = serverError + QLatin1Char('\n') + spool.error;
            return false;
        }
        m_spool = std::move(spool.archive);
    }
    m_serverError = serverError;
    m_current = m_spool.get();
    return true;
}

bool SpooledArchive::open()
{
    m_error.clear();
    ArchiveOpenResult opened = Archive::open(m_location);
    if (!opened.archive) {
        if (!isServer() || !opened.unreachable) {
            m_error = opened.error;
            return false;
        }
        return useSpool(opened.error);
    }
    retire(m_server);
    m_server = std::move(opened.archive);
    m_current = m_server.get();
    m_serverError.clear();
    if (!isServer() || !ArchiveSpool::holdsData(m_location, m_spoolDirectory))
        return true;
    // Left from an earlier run: sent now. A damaged spool is left alone.
    if (!m_spool) {
        ArchiveOpenResult spool = ArchiveSpool::open(m_location, m_spoolDirectory);
        if (!spool.archive) {
            m_lastForward = ArchiveForwardResult{false, 0, 0, spool.error};
            return true;
        }
        m_spool = std::move(spool.archive);
    }
    m_lastForward = ArchiveSpool::forward(*m_spool, *m_server);
    if (!m_lastForward.ok && !m_server->answers())
        return useSpool(m_lastForward.error);
    return true;
}

bool SpooledArchive::writeFailed()
{
    if (!isServer() || !m_server || m_current != m_server.get() || m_server->answers())
        return false;
    const QString lost = m_server->lastError();
    retire(m_server);
    ArchiveOpenResult again = Archive::open(m_location);
    if (again.archive) {
        // Only the connection was lost (a server restarted).
        m_server = std::move(again.archive);
        m_current = m_server.get();
        return true;
    }
    return useSpool(again.error.isEmpty() ? lost : again.error);
}

bool SpooledArchive::tryServer()
{
    if (!isServer() || (m_server && m_current == m_server.get()))
        return false;
    ArchiveOpenResult opened = Archive::open(m_location);
    if (!opened.archive) {
        m_serverError = opened.error;
        return false;
    }
    if (m_spool) {
        m_lastForward = ArchiveSpool::forward(*m_spool, *opened.archive);
        if (!m_lastForward.ok) {
            m_serverError = m_lastForward.error;
            return false;
        }
    }
    retire(m_server);
    m_server = std::move(opened.archive);
    m_current = m_server.get();
    m_serverError.clear();
    return true;
}
