#include "app/ArchiveSession.h"

#include "archive/Archive.h"
#include "archive/SpooledArchive.h"
#include "data/DataDirectory.h"

#include <QDir>
#include <QThread>

#include <atomic>

namespace {
QString runsWithoutText()
{
    return QStringLiteral("\nAudimark runs without the archive: recordings and downloads are "
                          "kept only in their windows and files.");
}
} // namespace

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

ArchiveSession::ArchiveSession(QObject* parent) : QObject(parent)
{
    retry_.setInterval(30000);
    connect(&retry_, &QTimer::timeout, this, &ArchiveSession::askServer);
}

void ArchiveSession::askServer()
{
    if (!keptLocally() || asking_)
        return;
    // A connection of its own, made and dropped on the thread: a server
    // that does not answer keeps the thread waiting, not the window.
    auto answered = std::make_shared<std::atomic_bool>(false);
    asking_ = QThread::create([location = archive_->location(), answered] {
        *answered = Archive::open(location).archive != nullptr;
    });
    connect(asking_, &QThread::finished, this, [this, answered] {
        stopAsking();
        if (*answered)
            retryServer();
    });
    asking_->start();
}

void ArchiveSession::stopAsking()
{
    if (!asking_)
        return;
    asking_->wait();
    asking_->deleteLater();
    asking_ = nullptr;
}

void ArchiveSession::setRetryInterval(int ms)
{
    retry_.setInterval(ms);
}

ArchiveSession::~ArchiveSession()
{
    stopAsking();
}

bool ArchiveSession::open(const QString& location)
{
    close();
    if (location.trimmed().isEmpty())
        return true;
    ArchiveLocation parsed;
    QString error;
    if (!ArchiveLocation::parse(location, parsed, error)) {
        openError_ = error + runsWithoutText();
        return false;
    }
    auto spooled = std::make_unique<SpooledArchive>(
        parsed, spoolDirectory_.isEmpty() ? DataDirectory::choose(QString()) : spoolDirectory_);
    if (!spooled->open()) {
        openError_ = spooled->error() + runsWithoutText();
        return false;
    }
    archive_ = std::move(spooled);
    if (archive_->onSpool()) {
        openError_ = keptLocallyText(parsed.displayName(), archive_->serverError());
        retry_.start();
    } else if (!archive_->lastForward().ok && !archive_->lastForward().error.isEmpty()) {
        openError_ = archive_->lastForward().error +
                     QStringLiteral("\nWhat was kept locally while the server could not be "
                                    "reached stays there and is sent at the next start.");
    }
    return true;
}

Archive* ArchiveSession::archive() const
{
    return archive_ ? archive_->archive() : nullptr;
}

bool ArchiveSession::keptLocally() const
{
    return archive_ && archive_->onSpool();
}

QString ArchiveSession::keptLocallyText(const QString& server, const QString& error)
{
    return error + QStringLiteral("\nMeasurements are kept locally until %1 is back; they are "
                                  "sent to it then.")
                       .arg(server);
}

QString ArchiveSession::statusText() const
{
    if (!archive_)
        return {};
    const QString server = archive_->location().displayName();
    if (archive_->onSpool())
        return QStringLiteral("Archive: kept locally until %1 is back").arg(server);
    return QStringLiteral("Archive: %1").arg(server);
}

void ArchiveSession::changed()
{
    failureTold_ = false;
    if (archive_->onSpool()) {
        if (!retry_.isActive())
            retry_.start();
    } else {
        retry_.stop();
    }
    emit archiveChanged();
    if (archive_->onSpool())
        emit problem(keptLocallyText(archive_->location().displayName(), archive_->serverError()));
}

bool ArchiveSession::retryServer()
{
    if (!archive_ || !archive_->tryServer())
        return false;
    openError_.clear();
    changed();
    return true;
}

void ArchiveSession::close()
{
    retry_.stop();
    stopAsking();
    archive_.reset();
    openError_.clear();
    failureTold_ = false;
}

QString ArchiveSession::displayName() const
{
    const Archive* now = archive();
    return now ? now->location().displayName() : QString();
}

QString ArchiveSession::writeFailureText(const QString& error)
{
    return error + QStringLiteral("\nThe data stays in its window and can still be saved to a "
                                  "file.");
}

void ArchiveSession::reportWriteFailure(const QString& error)
{
    if (archive_ && archive_->writeFailed()) {
        changed();
        return;
    }
    if (failureTold_)
        return;
    failureTold_ = true;
    emit problem(writeFailureText(error));
}

void ArchiveSession::reportWriteSuccess()
{
    failureTold_ = false;
    emit stored();
}
