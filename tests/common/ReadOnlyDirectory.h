#pragma once

// A directory in which no file can be created, for tests of failed writes.
// Mode 0555 is enough for an ordinary user; root ignores the mode, so the
// directory is then also made immutable (chattr +i). Both are undone when
// the object goes. isReadOnly() says whether a probe file was refused: a
// test that needs a read-only directory skips when it is false.

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

class ReadOnlyDirectory
{
public:
    ReadOnlyDirectory()
    {
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::ExeOwner | QFile::ReadGroup |
                                          QFile::ExeGroup | QFile::ReadOther | QFile::ExeOther);
        if (!refusesFiles() &&
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("+i"), path()}) == 0)
            immutable_ = true;
        readOnly_ = refusesFiles();
    }
    ~ReadOnlyDirectory()
    {
        if (immutable_)
            QProcess::execute(QStringLiteral("chattr"), {QStringLiteral("-i"), path()});
        QFile::setPermissions(path(), QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
    }
    ReadOnlyDirectory(const ReadOnlyDirectory&) = delete;
    ReadOnlyDirectory& operator=(const ReadOnlyDirectory&) = delete;

    [[nodiscard]] QString path() const { return dir_.path(); }
    [[nodiscard]] bool isReadOnly() const { return readOnly_; }
    [[nodiscard]] bool isEmpty() const { return QDir(path()).isEmpty(); }

private:
    [[nodiscard]] bool refusesFiles() const
    {
        QFile probe(QDir(path()).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly))
            return true;
        probe.close();
        probe.remove();
        return false;
    }

    QTemporaryDir dir_;
    bool immutable_ = false;
    bool readOnly_ = false;
};
