#include "graph/GraphWindowState.h"

#include <QDir>

QString GraphWindowState::templateFolder() const
{
    return QDir(dataDirectory).filePath(QStringLiteral("template")) + QLatin1Char('/');
}

QString GraphWindowState::templatePath() const
{
    return templateFolder() + QStringLiteral("graph.ghf");
}
