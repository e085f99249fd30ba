#pragma once

// A throw-away PostgreSQL server for tests: a new cluster in a temporary
// directory, listening on a free loopback port, stopped and removed when the
// object goes (also when the test fails). Run as root, the server runs as
// the unprivileged user "nobody", as PostgreSQL requires.
//
// Connections over TCP need the password of the cluster's one user; they
// find it in the pass file written by writePassFile(), the way a team's
// programs find theirs in ~/.pgpass. Local socket connections are trusted,
// for the tools that create databases.
//
//   PostgresServer server;
//   QVERIFY2(server.start(), qPrintable(server.error()));
//   QVERIFY2(server.createDatabase("t1"), ...);  server.url("t1")

#include "common/FileBytes.h"
#include "common/LoopbackPort.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

class PostgresServer
{
public:
    static inline const QString kUser = QStringLiteral("audimark");
    static inline const QString kPassword = QStringLiteral("archive-test-secret");

    PostgresServer() = default;
    PostgresServer(const PostgresServer&) = delete;
    PostgresServer& operator=(const PostgresServer&) = delete;
    ~PostgresServer() { stop(); }

    // Creates the cluster and starts the server; false with error() set.
    bool start()
    {
        m_binDir = findBinDir();
        if (m_binDir.isEmpty())
            return failWith(QStringLiteral("no PostgreSQL server found under /usr/lib/postgresql "
                                           "(package postgresql)"));
        if (!m_dir.isValid())
            return failWith(QStringLiteral("no temporary directory"));
        m_port = freeLoopbackPort();
        if (m_port == 0)
            return failWith(QStringLiteral("no free loopback port"));
        const QString pwfile = m_dir.filePath(QStringLiteral("pwfile"));
        if (!writeBytes(pwfile, kPassword.toUtf8() + '\n'))
            return failWith(QStringLiteral("cannot write ") + pwfile);
        QDir(m_dir.path()).mkdir(QStringLiteral("sock"));
        if (!handOver(m_dir.path()) || !handOver(pwfile) || !handOver(socketDir()))
            return failWith(QStringLiteral("cannot give the cluster directory to nobody"));
        if (!runAsServerUser(QStringLiteral("initdb"),
                             {QStringLiteral("-D"), dataDir(), QStringLiteral("-U"), kUser,
                              QStringLiteral("--pwfile=") + pwfile,
                              QStringLiteral("--auth-local=trust"),
                              QStringLiteral("--auth-host=scram-sha-256"), QStringLiteral("-E"),
                              QStringLiteral("UTF8"), QStringLiteral("--no-sync")}))
            return false;
        return launch();
    }

    // Starts a stopped server again, with its databases, on the same port.
    bool startAgain() { return m_running || launch(); }

    bool launch()
    {
        const QString options = QStringLiteral("-p %1 -k %2 -c listen_addresses=127.0.0.1 "
                                               "-c fsync=off")
                                    .arg(m_port)
                                    .arg(socketDir());
        if (!runAsServerUser(QStringLiteral("pg_ctl"),
                             {QStringLiteral("-D"), dataDir(), QStringLiteral("-o"), options,
                              QStringLiteral("-l"), m_dir.filePath(QStringLiteral("server.log")),
                              QStringLiteral("-w"), QStringLiteral("-t"), QStringLiteral("120"),
                              QStringLiteral("start")})) {
            m_error += QStringLiteral("\nserver log:\n") +
                       QString::fromLocal8Bit(fileBytes(m_dir.filePath("server.log")));
            return false;
        }
        m_running = true;
        return true;
    }

    void stop()
    {
        if (!m_running)
            return;
        m_running = false;
        runAsServerUser(QStringLiteral("pg_ctl"),
                        {QStringLiteral("-D"), dataDir(), QStringLiteral("-m"),
                         QStringLiteral("fast"), QStringLiteral("-w"), QStringLiteral("stop")});
    }

    // A new, empty database of the cluster's user.
    bool createDatabase(const QString& name)
    {
        return runAsServerUser(QStringLiteral("createdb"),
                               {QStringLiteral("-h"), socketDir(), QStringLiteral("-p"),
                                QString::number(m_port), QStringLiteral("-U"), kUser, name});
    }

    // Runs an SQL statement in a database through the local socket.
    bool psql(const QString& database, const QString& sql)
    {
        return runAsServerUser(QStringLiteral("psql"),
                               {QStringLiteral("-h"), socketDir(), QStringLiteral("-p"),
                                QString::number(m_port), QStringLiteral("-U"), kUser,
                                QStringLiteral("-v"), QStringLiteral("ON_ERROR_STOP=1"),
                                QStringLiteral("-d"), database, QStringLiteral("-c"), sql});
    }

    // A pass file (mode 0600) that gives the password for this server.
    bool writePassFile(const QString& path) const
    {
        const QByteArray line =
            QStringLiteral("127.0.0.1:%1:*:%2:%3\n").arg(m_port).arg(kUser, kPassword).toUtf8();
        return writeBytes(path, line) && ::chmod(QFile::encodeName(path).constData(), 0600) == 0;
    }

    [[nodiscard]] QString url(const QString& database) const
    {
        return QStringLiteral("postgresql://%1@127.0.0.1:%2/%3")
            .arg(kUser)
            .arg(m_port)
            .arg(database);
    }

    [[nodiscard]] int port() const { return m_port; }
    [[nodiscard]] QString error() const { return m_error; }
    [[nodiscard]] QString lastOutput() const { return m_lastOutput; }

private:
    QString dataDir() const { return m_dir.filePath(QStringLiteral("data")); }
    QString socketDir() const { return m_dir.filePath(QStringLiteral("sock")); }

    static QString findBinDir()
    {
        QDir versions(QStringLiteral("/usr/lib/postgresql"));
        QStringList found = versions.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
        std::sort(found.begin(), found.end(),
                  [](const QString& a, const QString& b) { return a.toInt() > b.toInt(); });
        for (const QString& v : found) {
            const QString bin = versions.filePath(v + QStringLiteral("/bin"));
            if (QFile::exists(bin + QStringLiteral("/initdb")))
                return bin;
        }
        return QString();
    }

    static bool isRoot() { return ::geteuid() == 0; }

    static bool handOver(const QString& path)
    {
        if (!isRoot())
            return true;
        const passwd* nobody = ::getpwnam("nobody");
        return nobody &&
               ::chown(QFile::encodeName(path).constData(), nobody->pw_uid, nobody->pw_gid) == 0;
    }

    bool runAsServerUser(const QString& tool, const QStringList& arguments)
    {
        QProcess process;
        process.setProcessChannelMode(QProcess::MergedChannels);
        process.setWorkingDirectory(m_dir.path());
        const QString program = m_binDir + QLatin1Char('/') + tool;
        if (isRoot())
            process.start(QStringLiteral("runuser"),
                          QStringList{QStringLiteral("-u"), QStringLiteral("nobody"),
                                      QStringLiteral("--"), program} +
                              arguments);
        else
            process.start(program, arguments);
        const bool finished = process.waitForFinished(180000);
        m_lastOutput = QString::fromLocal8Bit(process.readAll());
        if (finished && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0)
            return true;
        return failWith(
            QStringLiteral("%1 failed (%2): %3").arg(tool, process.errorString(), m_lastOutput));
    }

    bool failWith(const QString& reason)
    {
        m_error = QStringLiteral("PostgreSQL test server: ") + reason;
        return false;
    }

    QTemporaryDir m_dir;
    QString m_binDir;
    QString m_error;
    QString m_lastOutput;
    int m_port = 0;
    bool m_running = false;
};
