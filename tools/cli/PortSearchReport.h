#pragma once

// After a search that found no meter, tells the ports apart: one that cannot
// be opened ("cannot open /dev/ttyUSB0: Permission denied") needs another
// remedy than one where nothing answered ("no meter answered on /dev/pts/3").

#include <QString>
#include <QStringList>
#include <QTextStream>

namespace PortSearchReport {
// Why the port cannot be opened, or empty when it opens (it is closed again).
[[nodiscard]] QString openFailure(const QString& port);
// One line per port that cannot be opened, one line for the others.
void write(QTextStream& err, const QStringList& ports);
} // namespace PortSearchReport
