#pragma once

// The program's measurement archive for as long as it runs: which archive
// the command line and the environment name, opening it, and the one place
// that says when it cannot be used. The main window hands it to everything
// that stores (the real-time recording, Load Data, auto-loading).
//
// An archive that cannot be opened (not a database, damaged, of a newer
// schema, a server out of reach) is left exactly as it is: the program runs
// without one and openError() says why, naming it. A write that fails later
// (a full disk, a server gone) is told once, through problem(); the next
// one is told only after a write has succeeded again.
//
// A PostgreSQL server that cannot be reached at open, or whose connection
// goes while writing, does not stop the archiving: archive() becomes the
// server's local spool in the spool directory (archiveChanged(), told once
// through problem(), statusText() says so), and the server is tried again
// every retryInterval() (asked on a thread of its own first, so that a
// server that does not answer never holds the window); when it answers, the
// spool is forwarded and archive() is the server again. The Archive a writer got before a change
// stays valid until close(), so a writer compares it with archive() and
// continues in the new one.
//
// Main thread only; QtCore and QtSql.

#include <QObject>
#include <QString>
#include <QTimer>

#include <memory>

class Archive;
class QThread;
class SpooledArchive;

class ArchiveSession : public QObject
{
    Q_OBJECT

public:
    static inline const QString EnvironmentVariable = QStringLiteral("AUDIMARK_ARCHIVE");

    // Which archive to open: --no-archive gives none (an empty text), then
    // --archive, then AUDIMARK_ARCHIVE, then archive.sqlite in the data directory.
    [[nodiscard]] static QString chooseLocation(bool noArchive, const QString& option,
                                                const QString& environment,
                                                const QString& dataDirectory);

    explicit ArchiveSession(QObject* parent = nullptr);
    ~ArchiveSession() override;

    // Where a server's spool is kept; the data directory by default.
    void setSpoolDirectory(const QString& directory) { spoolDirectory_ = directory; }
    // How often a server out of reach is tried again; 30 s by default.
    void setRetryInterval(int ms);
    [[nodiscard]] int retryInterval() const { return retry_.interval(); }

    // Opens the archive named by location (a path or a URL); an empty text
    // keeps none. False with openError() set when it cannot be used. A
    // server out of reach opens its spool: true, with the notice saying so
    // in openError().
    bool open(const QString& location);
    // Closes the archive: nothing is stored from now on.
    void close();

    // Null without an archive.
    [[nodiscard]] Archive* archive() const;
    // Measurements go to the spool until the server is back.
    [[nodiscard]] bool keptLocally() const;
    // Where measurements go now, for a status line; empty without an archive.
    [[nodiscard]] QString statusText() const;
    // The text told when the server cannot be used; the spool takes the data.
    [[nodiscard]] static QString keptLocallyText(const QString& server, const QString& error);
    [[nodiscard]] QString openError() const { return openError_; }
    // The archive as shown to the user; empty without one.
    [[nodiscard]] QString displayName() const;

    // A store failed (error names the archive): told once until a store
    // succeeds. When a server's connection is gone, archive() changes.
    void reportWriteFailure(const QString& error);
    // A store succeeded: stored() tells those listing the archive.
    void reportWriteSuccess();
    // Tries the server now while keptLocally() (the timer's work): true
    // when the spool was forwarded and archive() is the server again.
    bool retryServer();

    // The message shown when a store fails; the data stays in its window.
    [[nodiscard]] static QString writeFailureText(const QString& error);

signals:
    // A text for the user: the archive cannot be used or a write failed.
    void problem(const QString& text);
    // archive() is another Archive (the spool, or the server again).
    void archiveChanged();
    // Something was stored (a logger memory, a file kept, a recording
    // started or ended): a list of the measurements is out of date.
    void stored();

private:
    void changed();
    void askServer();
    void stopAsking();

    std::unique_ptr<SpooledArchive> archive_;
    QString openError_;
    QString spoolDirectory_;
    QTimer retry_;
    // The thread asking the server whether it answers, while it runs.
    QThread* asking_ = nullptr;
    bool failureTold_ = false;
};
