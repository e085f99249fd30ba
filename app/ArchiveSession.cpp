#include "app/ArchiveSession.h"

#include "archive/Archive.h"

#include <QDir>

QString ArchiveSession::chooseLocation(bool noArchive, const QString& option,
                                       const QString& environment, const QString& dataDirectory)
{
    if (noArchive)
        return {};
    if (!option.trimmed().isEmpty())
        return option;
    if (!environment.trimmed().isEmpty())
        return environment;
    return ArchiveLocation::inDataDirectory(dataDirectory).filePath;
}

ArchiveSession::ArchiveSession(QObject* parent) : QObject(parent) {}

ArchiveSession::~ArchiveSession() = default;

bool ArchiveSession::open(const QString& location)
{
    close();
    if (location.trimmed().isEmpty())
        return true;
    ArchiveOpenResult opened = Archive::open(location);
    if (!opened.archive) {
        openError_ = opened.error +
                     QStringLiteral("\nAudimark runs without the archive: recordings and "
                                    "downloads are kept only in their windows and files.");
        return false;
    }
    archive_ = std::move(opened.archive);
    return true;
}

void ArchiveSession::close()
{
    archive_.reset();
    openError_.clear();
    failureTold_ = false;
}

QString ArchiveSession::displayName() const
{
    return archive_ ? archive_->location().displayName() : QString();
}

QString ArchiveSession::writeFailureText(const QString& error)
{
    return error + QStringLiteral("\nThe data stays in its window and can still be saved to a "
                                  "file.");
}

void ArchiveSession::reportWriteFailure(const QString& error)
{
    if (failureTold_)
        return;
    failureTold_ = true;
    emit problem(writeFailureText(error));
}

void ArchiveSession::reportWriteSuccess()
{
    failureTold_ = false;
}
