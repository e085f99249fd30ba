#pragma once

// The logger memory image and the values that travel with it: the memory end
// used by the decoder and the position of the first damaged record that a
// failed decode leaves for the repair. Owned by the main window; filled by a
// download or a collection-file open and emptied when that operation ends.

#include <QByteArray>

#include <optional>

// Where the first damaged record lies, kept after a failed decode.
struct DecodeErrorPosition
{
    qint32 badSetIndex = 0; // valid sets before the damaged one
    qint32 badOffset = 0;   // byte just before the damaged record (255 for the first)

    friend bool operator==(const DecodeErrorPosition&, const DecodeErrorPosition&) = default;
};

class LoggerMemory
{
public:
    // Control page layout (multi-byte numbers most significant byte first).
    static constexpr qsizetype kDataSetCountOffset = 0x09; // 2 bytes
    static constexpr qsizetype kEndAddressOffset = 0x0B;   // 3 bytes
    static constexpr qsizetype kFirstRecordOffset = 256;
    static constexpr int kMaxDataSets = 4000;

    [[nodiscard]] const QByteArray& memoryImage() const { return m_image; }
    // Downloads append to it block by block and may take back a bad block.
    [[nodiscard]] QByteArray& memoryImage() { return m_image; }
    void clearImage() { m_image.clear(); }

    // The byte at a position, or nothing outside the image.
    [[nodiscard]] std::optional<quint8> byteAt(qint64 position) const;

    // Data sets the meter reports (bytes 0x09..0x0A); bytes missing from a
    // short image count as 0, so a short image reports no data sets.
    [[nodiscard]] int storedDataSetCount() const;

    // Bytes 0x0C..0x0D of the end address: the highest image position that may
    // hold data. Missing bytes count as 0.
    [[nodiscard]] qint32 memoryEndFromImage() const;

    // The memory end the decoder uses; set before each decode.
    [[nodiscard]] qint32 memoryEnd() const { return m_memoryEnd; }
    void setMemoryEnd(qint32 end) { m_memoryEnd = end; }

    [[nodiscard]] DecodeErrorPosition errorPosition() const { return m_errorPosition; }
    void setErrorPosition(DecodeErrorPosition position) { m_errorPosition = position; }

private:
    [[nodiscard]] quint8 byteOrZero(qint64 position) const;

    QByteArray m_image;
    qint32 m_memoryEnd = 0;
    DecodeErrorPosition m_errorPosition;
};
