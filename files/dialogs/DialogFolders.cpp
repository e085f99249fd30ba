#include "files/dialogs/DialogFolders.h"

#include <QDir>
#include <QFileInfo>
#include <QSettings>
#include <QStandardPaths>

QString DialogFolders::key(Kind kind)
{
    switch (kind) {
    case Kind::Graphs:
        return QStringLiteral("dialogs/graphs-folder");
    case Kind::Exports:
        return QStringLiteral("dialogs/exports-folder");
    case Kind::Collections:
        return QStringLiteral("dialogs/collections-folder");
    case Kind::Reports:
        return QStringLiteral("dialogs/reports-folder");
    }
    return {};
}

QString DialogFolders::fallback()
{
    const QString documents = QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation);
    if (!documents.isEmpty() && QFileInfo(documents).isDir())
        return documents;
    return QDir::homePath();
}

QString DialogFolders::startFolder(QSettings& store, Kind kind)
{
    const QString last = store.value(key(kind)).toString();
    if (!last.isEmpty() && QFileInfo(last).isDir())
        return last;
    return fallback();
}

QString DialogFolders::startFolder(Kind kind)
{
    QSettings store;
    return startFolder(store, kind);
}

void DialogFolders::remember(QSettings& store, Kind kind, const QString& chosenFile)
{
    if (chosenFile.isEmpty())
        return;
    store.setValue(key(kind), QFileInfo(chosenFile).absolutePath());
}

void DialogFolders::remember(Kind kind, const QString& chosenFile)
{
    QSettings store;
    remember(store, kind, chosenFile);
}
