#include "tools/cli/CliArchive.h"

#include "tools/cli/AutoLoadCommand.h"

#include <QDir>

namespace CliArchive {

namespace {
QString sentence(const QString& message)
{
    const QString line = oneLine(message);
    return line.endsWith(QLatin1Char('.')) ? line : line + QLatin1Char('.');
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
    if (!opened.archive)
        err << "audimark-cli: warning: " << sentence(opened.error)
            << " Nothing is stored in the archive." << Qt::endl;
    return std::move(opened.archive);
}

bool storeLoggerImage(Archive& archive, const QByteArray& image,
                      const DataSetCollection& collection, const LoggerImageSource& source,
                      QTextStream& err, bool quiet)
{
    const LoggerArchiveResult stored =
        LoggerImageArchiver::store(archive, image, collection, source);
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

QString oneLine(const QString& message)
{
    return message.simplified();
}

} // namespace CliArchive
