#pragma once

// The chart's byte blocks: the whole chart (look, series, scales,
// annotations, cursor lines) or its customisation (look) alone.
//
// Layout: "PESG", a kind byte (1 whole chart, 2 customisation), a 16-bit
// format version, the 32-bit payload length, the payload (QDataStream,
// Qt 6.4 format, big-endian) and a CRC-32 over everything before it. A block
// that is truncated, damaged, of another kind or not ours decodes to nothing.

#include "graph/PESGraphContent.h"
#include "graph/PESGraphLook.h"

#include <QByteArray>
#include <optional>

struct PESGraphState
{
    PESGraphLook look;
    PESGraphContent content;
    friend bool operator==(const PESGraphState&, const PESGraphState&) = default;
};

namespace PESGraphBlock {
constexpr quint16 kFormatVersion = 1;

QByteArray encodeWhole(const PESGraphState& state);
QByteArray encodeCustomization(const PESGraphLook& look);

[[nodiscard]] std::optional<PESGraphState> decodeWhole(const QByteArray& block);
[[nodiscard]] std::optional<PESGraphLook> decodeCustomization(const QByteArray& block);

// CRC-32 (IEEE 802.3, as zip uses) of the bytes.
quint32 crc32(const char* data, qsizetype size);
} // namespace PESGraphBlock
