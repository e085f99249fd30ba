#pragma once

// The graph file (*.ghf) and the graph template: a chart block behind its
// length, and nothing else.
//   offset 0: N, 32-bit little-endian; offset 4: the N bytes of the block.
// The reader checks N against the file's size and the largest chart before
// it allocates anything, and opens regular files only: a graph file from
// elsewhere is untrusted input.

#include <QByteArray>
#include <QString>
#include <optional>

namespace GraphFile {

struct ReadResult
{
    std::optional<QByteArray> block; // the block, when the file could be read
    QString error;                   // otherwise a message for the user
};

[[nodiscard]] ReadResult read(const QString& path);
// Writes the container, complete or not at all; on failure a message for the user.
[[nodiscard]] bool write(const QString& path, const QByteArray& block, QString* error = nullptr);

} // namespace GraphFile
