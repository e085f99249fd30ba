#pragma once

// Where an archive lives: an SQLite file (a path, or a file: URL) or a
// PostgreSQL database named by postgresql://user@host:port/database (also
// postgres://; port 5432 and the user's login name when left out). A
// password never appears in a location: the server's client library takes
// it from ~/.pgpass or the file named by PGPASSFILE, so that it is never
// written to a log or a settings file. A URL that carries one is refused.

#include <QString>

struct ArchiveLocation
{
    enum class Engine
    {
        SQLite,
        PostgreSQL
    };

    Engine engine = Engine::SQLite;
    QString filePath; // SQLite: absolute path of the file
    QString host;     // PostgreSQL
    int port = 5432;
    QString user;
    QString database;

    // The location as shown to the user; never holds a password.
    [[nodiscard]] QString displayName() const;

    // The archive file in the program's data directory.
    [[nodiscard]] static ArchiveLocation inDataDirectory(const QString& dataDirectory);

    // Parses a path or a URL; on failure returns false and sets error.
    [[nodiscard]] static bool parse(const QString& text, ArchiveLocation& location, QString& error);
};
