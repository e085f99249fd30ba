#include "app/CommandLineOptions.h"

#include "archive/ArchiveLocation.h"

namespace {
// "--name value" or "--name=value"; advances i past what it used.
bool takeValue(const QStringList& args, qsizetype& i, const QString& name, QString& value,
               QString& error)
{
    const QString& arg = args.at(i);
    if (arg.startsWith(name + QLatin1Char('='))) {
        value = arg.mid(name.size() + 1);
    } else if (i + 1 < args.size()) {
        value = args.at(++i);
    } else {
        error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    if (value.isEmpty()) {
        error = QStringLiteral("%1 needs a value").arg(name);
        return false;
    }
    return true;
}

bool matches(const QString& arg, const QString& name)
{
    return arg == name || arg.startsWith(name + QLatin1Char('='));
}

// The options whose value may follow as the next argument.
bool takesSeparateValue(const QString& arg)
{
    return arg == QLatin1String("--port") || arg == QLatin1String("--data-dir") ||
           arg == QLatin1String("--screenshot") || arg == QLatin1String("--archive");
}

bool isDemoModel(const QString& text)
{
    return text == QLatin1String("841") || text == QLatin1String("842");
}

bool isHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

bool isVersion(const QString& arg)
{
    return arg == QLatin1String("--version") || arg == QLatin1String("-v");
}
} // namespace

CommandLineOptions::EarlyRequest CommandLineOptions::earlyRequest(const QStringList& arguments)
{
    for (qsizetype i = 1; i < arguments.size(); ++i) {
        const QString& arg = arguments.at(i);
        if (isHelp(arg))
            return EarlyRequest::Help;
        if (isVersion(arg))
            return EarlyRequest::Version;
        if (takesSeparateValue(arg))
            ++i;
    }
    return EarlyRequest::None;
}

CommandLineOptions CommandLineOptions::parse(const QStringList& arguments)
{
    CommandLineOptions o;
    for (qsizetype i = 1; i < arguments.size() && o.error.isEmpty(); ++i) {
        const QString& arg = arguments.at(i);
        if (arg == QLatin1String("--demo")) {
            // The model may follow as the next argument ("--demo 841"); the
            // program takes no other plain argument, so anything that is not
            // an option there is meant as the model.
            const bool modelFollows =
                i + 1 < arguments.size() && !arguments.at(i + 1).startsWith(QLatin1Char('-'));
            const QString model = modelFollows ? arguments.at(++i) : QStringLiteral("842");
            if (isDemoModel(model))
                o.demoModel = model.toInt();
            else
                o.error = QStringLiteral("--demo takes 841 or 842, not \"%1\"").arg(model);
        } else if (arg.startsWith(QLatin1String("--demo="))) {
            const QString model = arg.mid(7);
            if (isDemoModel(model))
                o.demoModel = model.toInt();
            else
                o.error = QStringLiteral("--demo takes 841 or 842, not \"%1\"").arg(model);
        } else if (matches(arg, QStringLiteral("--port"))) {
            QString path;
            if (takeValue(arguments, i, QStringLiteral("--port"), path, o.error))
                o.extraPorts << path;
        } else if (matches(arg, QStringLiteral("--data-dir"))) {
            (void)takeValue(arguments, i, QStringLiteral("--data-dir"), o.dataDirectory, o.error);
        } else if (matches(arg, QStringLiteral("--screenshot"))) {
            (void)takeValue(arguments, i, QStringLiteral("--screenshot"), o.screenshotDirectory,
                            o.error);
        } else if (matches(arg, QStringLiteral("--archive"))) {
            if (takeValue(arguments, i, QStringLiteral("--archive"), o.archiveLocation, o.error)) {
                // A location that can never be opened is a mistake on the
                // command line, told before anything starts.
                ArchiveLocation location;
                QString why;
                if (!ArchiveLocation::parse(o.archiveLocation, location, why))
                    o.error = QStringLiteral("--archive: %1").arg(why);
            }
        } else if (arg == QLatin1String("--no-archive")) {
            o.noArchive = true;
        } else if (arg == QLatin1String("--logger-tools")) {
            o.loggerTools = true;
        } else if (arg == QLatin1String("--sample-graph")) {
            o.sampleGraphPoints = 2000;
        } else if (arg.startsWith(QLatin1String("--sample-graph="))) {
            bool ok = false;
            const int points = arg.mid(15).toInt(&ok);
            if (ok && points > 0 && points <= 10'000'000)
                o.sampleGraphPoints = points;
            else
                o.error = QStringLiteral("--sample-graph takes a number of points, not \"%1\"")
                              .arg(arg.mid(15));
        } else if (isHelp(arg)) {
            o.helpRequested = true;
        } else if (isVersion(arg)) {
            o.versionRequested = true;
        } else if (arg.startsWith(QLatin1Char('-'))) {
            o.error = QStringLiteral("unknown option %1").arg(arg);
        } else {
            o.error = QStringLiteral("unexpected argument %1").arg(arg);
        }
    }
    if (o.error.isEmpty() && o.noArchive && !o.archiveLocation.isEmpty())
        o.error = QStringLiteral("--archive and --no-archive exclude each other");
    return o;
}

QString CommandLineOptions::usage()
{
    return QStringLiteral(
        "Usage: audimark [options]\n"
        "  --demo [841|842]  run a virtual meter of that model (842 by default) and list its\n"
        "                    port; also --demo=841\n"
        "  --port PATH       list PATH as a serial port as well (repeatable)\n"
        "  --data-dir DIR    keep the program's files in DIR (default: $AUDIMARK_HOME or\n"
        "                    the application data directory)\n"
        "  --logger-tools    show Setup and the auto-loading commands in the Data Logger menu\n"
        "                    (also the saved setting logger-tools=true)\n"
        "  --archive URL|FILE\n"
        "                    keep every recording and download in this archive: an SQLite\n"
        "                    file or postgresql://user@host:port/database (default:\n"
        "                    $AUDIMARK_ARCHIVE or archive.sqlite in the data directory)\n"
        "  --no-archive      keep no archive\n"
        "  --screenshot DIR  save pictures of the splash, the About box and the main window\n"
        "                    into DIR, then quit\n"
        "  -h, --help        show this help\n"
        "  -v, --version     show the program's name and version\n"
        "\n"
        "Environment:\n"
        "  AUDIMARK_PORTS    serial ports to list besides the system's, colon-separated\n"
        "                    (/dev/pts/5:/dev/ttyS4)\n"
        "  AUDIMARK_HOME     the program's files directory when --data-dir is not given\n"
        "  AUDIMARK_ARCHIVE  the archive when --archive is not given\n");
}
