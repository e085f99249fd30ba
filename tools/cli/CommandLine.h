#pragma once

// The command line of audimark-cli: its commands, the options each one
// takes, each command's help page (synopsis, description, options, exit
// status, example), and the reading of the arguments into one command with
// its values.
//
// The conventions: `audimark-cli help COMMAND` and `audimark-cli COMMAND
// --help` print the same page on standard output and exit 0; `--help` and
// `help` alone print the list of commands. A usage error - an option the
// command does not take, a missing value, a missing or extra argument, a
// value that does not read - exits with UsageStatus after one line and a
// hint on standard error:
//   audimark-cli: unknown option '--x'
//   Try 'audimark-cli stats --help'.
// Options may stand before or after the command's arguments, as
// "--name value" or "--name=value"; "--" ends the options.

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

namespace CommandLine {

inline constexpr int UsageStatus = 2;

struct Option
{
    QString name;      // without the dashes
    QString valueName; // empty for an option that takes no value
    QString description;
};

struct ExitCode
{
    QString status; // "0", "11-16"
    QString meaning;
};

struct Command
{
    QString name;
    QString arguments; // the synopsis after the name
    QString summary;   // one line in the list of commands
    QString description;
    QList<Option> options; // --help aside
    QList<ExitCode> exitCodes;
    QString example;
};

// Every command, in the order of the list.
[[nodiscard]] const QList<Command>& commands();
[[nodiscard]] const Command* command(const QString& name);

// The list of commands (`audimark-cli --help`) and one command's page.
[[nodiscard]] QString overviewHelp();
[[nodiscard]] QString commandHelp(const Command& command);

// "Try 'audimark-cli COMMAND --help'.\n" (the overview's hint when command
// is empty), and the whole usage error: "audimark-cli: MESSAGE\n" and the
// hint.
[[nodiscard]] QString hint(const QString& command);
[[nodiscard]] QString usageError(const QString& message, const QString& command);

struct Invocation
{
    enum class Kind
    {
        Run,        // run `command`
        Help,       // print `text` on standard output, exit 0
        Version,    // the same
        UsageError, // print `text` on standard error, exit UsageStatus
    };
    Kind kind = Kind::UsageError;
    QString command;
    QString text;
    QStringList arguments; // the command's own arguments, without its name

    [[nodiscard]] bool isSet(const QString& option) const { return values_.contains(option); }
    // The last value given, or defaultValue.
    [[nodiscard]] QString value(const QString& option, const QString& defaultValue = {}) const;
    [[nodiscard]] QStringList values(const QString& option) const { return values_.value(option); }

    QHash<QString, QStringList> values_;
};

// --archive URL|FILE: the archive a command stores into or reads from.
[[nodiscard]] Option archiveOption();

// arguments without the program name; version is what --version prints.
[[nodiscard]] Invocation parse(const QStringList& arguments, const QString& version);

} // namespace CommandLine
