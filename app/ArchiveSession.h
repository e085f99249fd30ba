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
// Main thread only; QtCore and QtSql.

#include <QObject>
#include <QString>

#include <memory>

class Archive;

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

    // Opens the archive named by location (a path or a URL); an empty text
    // keeps none. False with openError() set when it cannot be used.
    bool open(const QString& location);
    // Closes the archive: nothing is stored from now on.
    void close();

    // Null without an archive.
    [[nodiscard]] Archive* archive() const { return archive_.get(); }
    [[nodiscard]] QString openError() const { return openError_; }
    // The archive as shown to the user; empty without one.
    [[nodiscard]] QString displayName() const;

    // A store failed (error names the archive): told once until a store succeeds.
    void reportWriteFailure(const QString& error);
    void reportWriteSuccess();

    // The message shown when a store fails; the data stays in its window.
    [[nodiscard]] static QString writeFailureText(const QString& error);

signals:
    // A text for the user: the archive cannot be used or a write failed.
    void problem(const QString& text);

private:
    std::unique_ptr<Archive> archive_;
    QString openError_;
    bool failureTold_ = false;
};
