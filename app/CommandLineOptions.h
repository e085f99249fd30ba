#pragma once

// The program's command line:
//   --demo[=841|842]   run the virtual meter in-process and list its port
//   --port PATH        list an extra serial port (repeatable)
//   --data-dir DIR     the directory for the program's files
//   --logger-tools     show the logger setup and auto-loading commands
//   --archive URL|FILE the measurement archive (default archive.sqlite in
//                      the data directory, or $AUDIMARK_ARCHIVE)
//   --no-archive       keep no archive
//   --screenshot DIR   save pictures of the splash, the About box and the
//                      main window into DIR, then quit (documentation)
//   -h, --help         the usage text
//   -v, --version      the program's name and version

#include <QString>
#include <QStringList>

struct CommandLineOptions
{
    // 0 without --demo, else the model of the virtual meter.
    int demoModel = 0;
    QStringList extraPorts;
    QString dataDirectory;
    QString screenshotDirectory;
    // --archive's value as given (a path, a file: or a postgresql: URL).
    QString archiveLocation;
    bool noArchive = false;
    bool loggerTools = false;
    bool helpRequested = false;
    bool versionRequested = false;
    // For developers (not in the usage text): --sample-graph[=N] opens the
    // DataLogger graph on generated data sets, the shown one of N points
    // (2000 by default); 0 without the option.
    int sampleGraphPoints = 0;
    // Empty when the command line was understood.
    QString error;

    // arguments includes the program name first, as QCoreApplication::arguments().
    [[nodiscard]] static CommandLineOptions parse(const QStringList& arguments);
    [[nodiscard]] static QString usage();

    // Help and version are answered before the application object exists,
    // since that needs a display. The first of them among arguments (the
    // program name first, Qt's own options still in the list) decides; the
    // value of an option such as --data-dir is not taken for a request.
    enum class EarlyRequest
    {
        None,
        Help,
        Version
    };
    [[nodiscard]] static EarlyRequest earlyRequest(const QStringList& arguments);
};
