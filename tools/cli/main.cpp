// audimark-cli: the headless companion of Audimark.

#include "tools/cli/LiveCommand.h"
#include "serial/TComPort.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QTextStream>

namespace {
int usage(const QString& message)
{
    QTextStream(stderr) << "audimark-cli: " << message << '\n'
                        << "usage: audimark-cli live [--port PATH]... [--count N] [--format text|csv]\n";
    return 2;
}
} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("audimark-cli"));
    QCoreApplication::setApplicationVersion(QStringLiteral(AUDIMARK_VERSION));

    QCommandLineParser parser;
    parser.setApplicationDescription(QStringLiteral("Reads a QV58M sound level meter from the command line."));
    parser.addHelpOption();
    parser.addVersionOption();
    parser.addPositionalArgument(QStringLiteral("command"), QStringLiteral("live"));
    parser.addOption({QStringLiteral("port"), QStringLiteral("Serial port to use (repeatable)."), QStringLiteral("PATH")});
    parser.addOption({QStringLiteral("count"), QStringLiteral("Stop after N readings."), QStringLiteral("N")});
    parser.addOption({QStringLiteral("format"), QStringLiteral("Output format: text or csv."), QStringLiteral("FORMAT"), QStringLiteral("text")});
    parser.process(app);

    const QStringList args = parser.positionalArguments();
    if (args.isEmpty())
        return usage(QStringLiteral("missing command"));
    if (args.first() != QLatin1String("live"))
        return usage(QStringLiteral("unknown command ") + args.first());

    LiveOptions options;
    options.ports = parser.values(QStringLiteral("port"));
    if (parser.isSet(QStringLiteral("count"))) {
        bool ok = false;
        options.count = parser.value(QStringLiteral("count")).toInt(&ok);
        if (!ok || options.count < 1)
            return usage(QStringLiteral("--count needs a positive number"));
    }
    const QString format = parser.value(QStringLiteral("format"));
    if (format != QLatin1String("text") && format != QLatin1String("csv"))
        return usage(QStringLiteral("--format must be text or csv"));
    options.csv = format == QLatin1String("csv");
    return runLiveCommand(options);
}
