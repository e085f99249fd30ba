#include "app/ProgramIcon.h"

#include <QSize>
#include <QString>

// The pictures live in this static library (outside any namespace, as the
// resource initialiser requires).
static void initProgramIconResources()
{
    Q_INIT_RESOURCE(audimark_app_icons);
    Q_INIT_RESOURCE(resources);
}

QIcon ProgramIcon::icon()
{
    initProgramIconResources();
    QIcon icon;
    for (const int size : {16, 22, 24, 32, 48})
        icon.addFile(QStringLiteral(":/icons/audimark-%1.png").arg(size), QSize(size, size));
    icon.addFile(QStringLiteral(":/icons/audimark.png"), QSize(256, 256));
    return icon;
}
