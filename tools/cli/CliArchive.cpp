#include "tools/cli/CliArchive.h"

#include "archive/ArchiveSpool.h"
#include "tools/cli/AutoLoadCommand.h"

#include <QDir>

namespace CliArchive {

namespace {
QString sentence(const QString& message)
{
    const QString line = oneLine(message);
    return line.endsWith(QLatin1Char('.')) ? line : line + QLatin1Char('.');
}

QString sentText(int measurements, const ArchiveLocation& server)
{
    return QStringLiteral("Sent to the archive %1: %2 kept locally")
        .arg(server.displayName())
        .arg(measurements == 1 ? QStringLiteral("1 measurement")
                               : QStringLiteral("%1 measurements").arg(measurements));
}

void warnUnopened(const QString& error, QTextStream& err)
{
    err << "audimark-cli: warning: " << sentence(error) << " Nothing is stored in the archive."
        << Qt::endl;
}

void warnKeptLocally(const ArchiveLocation& server, const QString& error, QTextStream& err)
{
    err << "audimark-cli: warning: " << sentence(error) << " Kept locally in "
        << ArchiveSpool::location(server, programDataDirectory()).displayName() << " until "
        << server.displayName() << " is back." << Qt::endl;
}

// The chosen location when it is a server.
std::optional<ArchiveLocation> chosenServer(const ArchiveChoice& choice)
{
    ArchiveLocation location;
    QString error;
    if (!ArchiveLocation::parse(locationText(choice), location, error) ||
        location.engine != ArchiveLocation::Engine::PostgreSQL)
        return std::nullopt;
    return location;
}

std::unique_ptr<Archive> openSpool(const ArchiveLocation& server, const QString& serverError,
                                   QTextStream& err)
{
    ArchiveOpenResult spool = ArchiveSpool::open(server, programDataDirectory());
    if (!spool.archive) {
        warnUnopened(serverError + QLatin1Char(' ') + spool.error, err);
        return nullptr;
    }
    warnKeptLocally(server, serverError, err);
    return std::move(spool.archive);
}

// Sends what the spool of a server that answered holds; false when some stays.
bool forwardSpool(Archive& server, QTextStream& err, bool quiet)
{
    const QString directory = programDataDirectory();
    if (!ArchiveSpool::holdsData(server.location(), directory))
        return true;
    ArchiveOpenResult spool = ArchiveSpool::open(server.location(), directory);
    const ArchiveForwardResult sent = spool.archive
                                          ? ArchiveSpool::forward(*spool.archive, server)
                                          : ArchiveForwardResult{false, 0, 0, spool.error};
    if (!sent.ok)
        err << "audimark-cli: warning: " << sentence(sent.error)
            << " What was kept locally is sent later." << Qt::endl;
    else if (!quiet && sent.measurements > 0)
        err << sentText(sent.measurements, server.location()) << Qt::endl;
    return sent.ok;
}

bool told(const Archive& archive, const LoggerArchiveResult& stored, QTextStream& err, bool quiet)
{
    if (!stored.stored) {
        err << "audimark-cli: warning: " << sentence(stored.error)
            << " The data sets are not all in the archive." << Qt::endl;
        return false;
    }
    if (!quiet)
        err << stored.measurementIds.size() << " data sets in the archive "
            << archive.location().displayName() << " (" << stored.added << " new)" << Qt::endl;
    return true;
}

void tellForward(const SpooledArchive& archive, QTextStream& err)
{
    const ArchiveForwardResult& sent = archive.lastForward();
    if (!sent.ok && !sent.error.isEmpty())
        err << "audimark-cli: warning: " << sentence(sent.error)
            << " What was kept locally is sent later." << Qt::endl;
    else if (sent.measurements > 0)
        err << sentText(sent.measurements, archive.location()) << Qt::endl;
}
} // namespace

QString locationText(const ArchiveChoice& choice)
{
    if (choice.off)
        return {};
    if (!choice.location.isEmpty())
        return choice.location;
    if (const QString fromEnvironment = qEnvironmentVariable(EnvironmentVariable).trimmed();
        !fromEnvironment.isEmpty())
        return fromEnvironment;
    return ArchiveLocation::inDataDirectory(programDataDirectory()).filePath;
}

std::unique_ptr<Archive> openOrWarn(const ArchiveChoice& choice, QTextStream& err)
{
    const QString location = locationText(choice);
    if (location.isEmpty())
        return nullptr;
    ArchiveOpenResult opened = Archive::open(location);
    if (!opened.archive) {
        if (const std::optional<ArchiveLocation> server = chosenServer(choice);
            server && opened.unreachable)
            return openSpool(*server, opened.error, err);
        warnUnopened(opened.error, err);
        return nullptr;
    }
    if (opened.archive->location().engine == ArchiveLocation::Engine::PostgreSQL)
        (void)forwardSpool(*opened.archive, err, false);
    return std::move(opened.archive);
}

std::unique_ptr<SpooledArchive> openSpooledOrWarn(const ArchiveChoice& choice, QTextStream& err)
{
    ArchiveLocation location;
    QString error;
    const QString text = locationText(choice);
    if (text.isEmpty())
        return nullptr;
    if (!ArchiveLocation::parse(text, location, error)) {
        warnUnopened(error, err);
        return nullptr;
    }
    auto archive = std::make_unique<SpooledArchive>(location, programDataDirectory());
    if (!archive->open()) {
        warnUnopened(archive->error(), err);
        return nullptr;
    }
    if (archive->onSpool())
        warnKeptLocally(location, archive->serverError(), err);
    tellForward(*archive, err);
    return archive;
}

bool preferServer(std::unique_ptr<Archive>& archive, const ArchiveChoice& choice, QTextStream& err,
                  bool quiet)
{
    const std::optional<ArchiveLocation> server = chosenServer(choice);
    if (!archive || !server || archive->location().engine != ArchiveLocation::Engine::SQLite)
        return false;
    ArchiveOpenResult opened = Archive::open(*server);
    if (!opened.archive || !forwardSpool(*opened.archive, err, quiet))
        return false;
    archive = std::move(opened.archive);
    return true;
}

bool storeLoggerImage(Archive& archive, const QByteArray& image,
                      const DataSetCollection& collection, const LoggerImageSource& source,
                      QTextStream& err, bool quiet)
{
    return told(archive, LoggerImageArchiver::store(archive, image, collection, source), err,
                quiet);
}

bool storeLoggerImage(std::unique_ptr<Archive>& archive, const ArchiveChoice& choice,
                      const QByteArray& image, const DataSetCollection& collection,
                      const LoggerImageSource& source, QTextStream& err, bool quiet)
{
    const LoggerArchiveResult stored =
        LoggerImageArchiver::store(*archive, image, collection, source);
    const std::optional<ArchiveLocation> server = chosenServer(choice);
    if (stored.stored || !server ||
        archive->location().engine != ArchiveLocation::Engine::PostgreSQL || archive->answers())
        return told(*archive, stored, err, quiet);
    // The connection is gone: a new one, or the spool. What went in before
    // is not stored twice: the sets' keys.
    ArchiveOpenResult again = Archive::open(*server);
    std::unique_ptr<Archive> next =
        again.archive ? std::move(again.archive) : openSpool(*server, stored.error, err);
    if (!next)
        return false;
    archive = std::move(next);
    return storeLoggerImage(*archive, image, collection, source, err, quiet);
}

QString oneLine(const QString& message)
{
    return message.simplified();
}

} // namespace CliArchive
