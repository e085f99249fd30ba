#include "files/dialogs/TVersionInfo.h"

#include <QFile>

// The version resource lives in this static library; naming it here makes
// sure the linker keeps it in every program that uses the component.
static void initVersionResource()
{
    Q_INIT_RESOURCE(audimark_version);
}

TVersionInfo::TVersionInfo(QObject* parent, const QString& resourcePath) : QObject(parent)
{
    initVersionResource();
    QFile record(resourcePath);
    if (record.open(QIODevice::ReadOnly))
        versionText_ = fileVersionFrom(record.readAll());
}

QString TVersionInfo::fileVersionFrom(const QByteArray& record)
{
    static const QByteArray key = QByteArrayLiteral("FileVersion=");
    for (const QByteArray& line : record.split('\n')) {
        const QByteArray trimmed = line.trimmed();
        if (trimmed.startsWith(key))
            return QString::fromUtf8(trimmed.mid(key.size()).trimmed());
    }
    return {};
}

void TVersionInfo::SetFileVersionLabel(QLabel* label)
{
    label_ = label;
    if (label_)
        label_->setText(versionText_);
}

void TVersionInfo::Loaded()
{
    if (label_)
        label_->setText(versionText_);
}
