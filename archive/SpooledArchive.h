#pragma once

// The archive a program writes to, kept usable while a PostgreSQL server is
// not: when the server cannot be reached at open, or a write fails because
// its connection is gone, archive() becomes the server's local spool
// (ArchiveSpool); tryServer() goes back to the server once it answers,
// after forwarding everything the spool holds. An SQLite file location is
// just that file, without a spool.
//
// An Archive handed out by archive() stays valid until this object goes, so
// that a writer still holding the previous one can notice the change (compare
// with archive()) and continue in the new one.
//
// One thread; QtCore and QtSql.

#include "archive/Archive.h"
#include "archive/ArchiveSpool.h"

#include <QString>

#include <memory>
#include <vector>

class SpooledArchive
{
public:
    // spoolDirectory: where the spool of a server is kept (the data directory).
    SpooledArchive(const ArchiveLocation& location, const QString& spoolDirectory);
    ~SpooledArchive();
    SpooledArchive(const SpooledArchive&) = delete;
    SpooledArchive& operator=(const SpooledArchive&) = delete;

    // Opens the archive, or the spool when a server cannot be reached; a
    // spool left from before is forwarded when the server answers. False
    // with error() set when neither can be used.
    [[nodiscard]] bool open();

    // The archive to write to now; null before a successful open().
    [[nodiscard]] Archive* archive() const { return m_current; }
    [[nodiscard]] bool onSpool() const { return m_current && m_current == m_spool.get(); }
    [[nodiscard]] const ArchiveLocation& location() const { return m_location; }
    [[nodiscard]] QString error() const { return m_error; }
    // Why the server is not used (its own message), while onSpool().
    [[nodiscard]] QString serverError() const { return m_serverError; }
    // The last forward of the spool to the server.
    [[nodiscard]] const ArchiveForwardResult& lastForward() const { return m_lastForward; }

    // A write into archive() failed. When it was the server and its
    // connection is gone, archive() becomes a fresh connection to it or,
    // when it cannot be reached, the spool: true when archive() changed.
    bool writeFailed();

    // While onSpool(): when the server answers, forwards the spool and
    // archive() is the server again (true). False while it stays the spool.
    bool tryServer();

private:
    [[nodiscard]] bool isServer() const;
    [[nodiscard]] bool useSpool(const QString& serverError);
    void retire(std::unique_ptr<Archive>& archive);

    ArchiveLocation m_location;
    QString m_spoolDirectory;
    std::unique_ptr<Archive> m_server;
    std::unique_ptr<Archive> m_spool;
    Archive* m_current = nullptr;
    // Archives handed out before, kept for writers that still hold them.
    std::vector<std::unique_ptr<Archive>> m_retired;
    QString m_error;
    QString m_serverError;
    ArchiveForwardResult m_lastForward;
};
