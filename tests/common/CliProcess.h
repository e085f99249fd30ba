#pragma once

// Runs the command-line tool (AUDIMARK_CLI, set by the test registration) as
// a separate process and keeps what it said and how it ended.

#include <QProcess>
#include <QProcessEnvironment>
#include <QString>
#include <QStringList>

struct CliRun
{
    int status = -1; // -1: it did not finish in time
    QString out;
    QString err;
};

// The system environment with the tool's locale set to `locale`.
inline QProcessEnvironment localeEnvironment(const QString& locale)
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("LC_ALL"), locale);
    environment.insert(QStringLiteral("LANG"), locale);
    return environment;
}

inline CliRun runCli(const QStringList& arguments,
                     const QProcessEnvironment& environment =
                         QProcessEnvironment::systemEnvironment())
{
    QProcess cli;
    cli.setProcessEnvironment(environment);
    cli.start(qEnvironmentVariable("AUDIMARK_CLI"), arguments);
    CliRun run;
    if (!cli.waitForFinished(90000))
        return run;
    run.status = cli.exitCode();
    run.out = QString::fromLocal8Bit(cli.readAllStandardOutput());
    run.err = QString::fromLocal8Bit(cli.readAllStandardError());
    return run;
}
