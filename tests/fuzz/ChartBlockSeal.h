#pragma once

// Puts a chart block's length field and trailing checksum right, so that a
// fuzzed block reaches the reading of its payload: a block whose checksum
// does not match is refused before anything of it is read.

#include "graph/PESGraphBlock.h"

#include <QByteArray>
#include <QtEndian>

namespace ChartBlockSeal {

constexpr qsizetype LengthOffset = 7;
constexpr qsizetype HeaderSize = 11;

// `block` without its checksum, given a length field that matches and the
// checksum over it appended.
inline QByteArray sealed(QByteArray block)
{
    if (block.size() < HeaderSize)
        return block;
    qToBigEndian<quint32>(quint32(block.size() - HeaderSize), block.data() + LengthOffset);
    char crc[4];
    qToBigEndian<quint32>(PESGraphBlock::crc32(block.constData(), block.size()), crc);
    return block.append(crc, 4);
}

} // namespace ChartBlockSeal
