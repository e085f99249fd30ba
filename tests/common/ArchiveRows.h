#pragma once

// The number of rows in a table of an SQLite archive file, read through a
// connection of its own (-1 when the file or the table cannot be read), and
// a statement run on such a file the same way.

#include <QSqlDatabase>
#include <QSqlQuery>
#include <QString>

inline qint64 countRows(const QString& path, const QString& table)
{
    const QString connection = QStringLiteral("count-rows");
    qint64 n = -1;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(QStringLiteral("SELECT COUNT(*) FROM ") + table) && q.next())
                n = q.value(0).toLongLong();
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return n;
}

inline bool execOnArchive(const QString& path, const QString& sql)
{
    const QString connection = QStringLiteral("exec-on-archive");
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
        db.setDatabaseName(path);
        if (db.open()) {
            QSqlQuery q(db);
            ok = q.exec(sql);
        }
    }
    QSqlDatabase::removeDatabase(connection);
    return ok;
}
