#include "tools/cli/ReportRunner.h"

#include "tools/cli/FigureOptions.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTextStream>

#include <cerrno>
#include <cstdio>
#include <vector>

#include <unistd.h>

bool readReportOptions(const CommandLine::Invocation& invocation, const StatsOptions& source,
                       ReportOptions& options, QString& error)
{
    options.source = source;
    options.outFile = invocation.value(QStringLiteral("out"));
    options.title = invocation.value(QStringLiteral("title"));
    if (options.outFile.isEmpty()) {
        error = QStringLiteral("report needs --out REPORT.pdf");
        return false;
    }
    for (const ReportDetails::Field& field : ReportDetails::fields()) {
        const QString text = invocation.value(field.name);
        if (invocation.isSet(field.name) && !options.details.setValue(field.name, text)) {
            error = QStringLiteral("--%1 needs a level in dB from 0 to 200, not \"%2\"")
                        .arg(field.name, text);
            return false;
        }
    }
    const QString tablesOver = QStringLiteral("tables-over");
    if (invocation.isSet(tablesOver)) {
        if (!options.settings.setValue(tablesOver, invocation.value(tablesOver))) {
            error = QStringLiteral("--tables-over must be whole or span");
            return false;
        }
        if (options.settings.tablesOverSpan &&
            (source.fromText.isEmpty() || source.toText.isEmpty())) {
            error = QStringLiteral("--tables-over span needs --from and --to");
            return false;
        }
    }
    return FigureOptions::readReportSettings(invocation, options.settings, error);
}

namespace ReportRunner {

namespace {
constexpr qsizetype kFixedArguments = 8;
} // namespace

QString programName()
{
    return QStringLiteral("audimark-cli-report");
}

QStringList arguments(const ReportOptions& options)
{
    const StatsOptions& source = options.source;
    QStringList arguments{QStringLiteral("report"),
                          source.file,
                          QString::number(source.set),
                          options.outFile,
                          options.title,
                          source.fromText,
                          source.toText,
                          source.thresholdText};
    for (const ReportDetails::Field& field : ReportDetails::fields()) {
        const QString value = options.details.value(field.name, QLocale::c());
        if (!value.isEmpty())
            arguments << field.name + QLatin1Char('=') + value;
    }
    const ReportSettings defaults;
    for (const QString& name : ReportSettings::names()) {
        const QString value = options.settings.value(name);
        if (value != defaults.value(name))
            arguments << name + QLatin1Char('=') + value;
    }
    return arguments;
}

std::optional<ReportOptions> optionsFrom(const QStringList& arguments)
{
    if (arguments.size() < kFixedArguments || arguments.at(0) != QLatin1String("report"))
        return std::nullopt;
    ReportOptions options;
    options.source.file = arguments.at(1);
    bool ok = false;
    options.source.set = arguments.at(2).toInt(&ok);
    if (!ok || options.source.file.isEmpty() || arguments.at(3).isEmpty())
        return std::nullopt;
    options.outFile = arguments.at(3);
    options.title = arguments.at(4);
    options.source.fromText = arguments.at(5);
    options.source.toText = arguments.at(6);
    options.source.thresholdText = arguments.at(7);
    for (const QString& detail : arguments.mid(kFixedArguments)) {
        const qsizetype equals = detail.indexOf(QLatin1Char('='));
        const QString name = detail.left(equals);
        const QString value = detail.mid(equals + 1);
        const bool read = ReportSettings::names().contains(name)
                              ? options.settings.setValue(name, value)
                              : options.details.setValue(name, value, QLocale::c());
        if (equals < 1 || !read)
            return std::nullopt;
    }
    return options;
}

QStringList candidatePaths(const QString& cliDirectory)
{
    const QDir directory(cliDirectory);
    return {QDir::cleanPath(directory.filePath(QStringLiteral(AUDIMARK_LIBEXEC_FROM_BINDIR) +
                                               QLatin1Char('/') + programName())),
            QDir::cleanPath(directory.filePath(programName()))};
}

int exec(const ReportOptions& options)
{
    const QStringList candidates = candidatePaths(QCoreApplication::applicationDirPath());
    QString program;
    for (const QString& candidate : candidates) {
        const QFileInfo info(candidate);
        if (info.isFile() && info.isExecutable()) {
            program = candidate;
            break;
        }
    }
    if (program.isEmpty()) {
        QTextStream(stderr) << "audimark-cli: cannot find the report program " << programName()
                            << " (looked for " << candidates.join(QStringLiteral(" and ")) << ")\n";
        return 1;
    }

    QByteArrayList bytes{QFile::encodeName(program)};
    for (const QString& argument : arguments(options))
        bytes.append(argument.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& argument : bytes)
        argv.push_back(argument.data());
    argv.push_back(nullptr);
    std::fflush(stdout);
    std::fflush(stderr);
    ::execv(argv.front(), argv.data());
    const int error = errno;
    QTextStream(stderr) << "audimark-cli: cannot start " << program << ": " << qt_error_string(error)
                        << '\n';
    return 1;
}

} // namespace ReportRunner
