#include "data/LoggerMemory.h"

std::optional<quint8> LoggerMemory::byteAt(qint64 position) const
{
    if (position < 0 || position >= m_image.size())
        return std::nullopt;
    return static_cast<quint8>(m_image.at(position));
}

quint8 LoggerMemory::byteOrZero(qint64 position) const
{
    return byteAt(position).value_or(0);
}

int LoggerMemory::storedDataSetCount() const
{
    return byteOrZero(kDataSetCountOffset) * 256 + byteOrZero(kDataSetCountOffset + 1);
}

qint32 LoggerMemory::memoryEndFromImage() const
{
    return byteOrZero(kEndAddressOffset + 1) * 256 + byteOrZero(kEndAddressOffset + 2);
}
