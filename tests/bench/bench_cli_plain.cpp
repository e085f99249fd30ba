// The baseline of the command line's start-up: the least a QtCore program
// does to answer --version as audimark-cli does. Compare whole processes,
// e.g. `/usr/bin/time -v audimark-cli --version` beside
// `/usr/bin/time -v bench_cli_plain --version`.

#include <QCommandLineParser>
#include <QCoreApplication>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("plain"));
    QCoreApplication::setApplicationVersion(QStringLiteral("1.0"));
    QCommandLineParser parser;
    parser.addHelpOption();
    parser.addVersionOption();
    parser.process(app);
    return 0;
}
