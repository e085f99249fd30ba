#pragma once

// What the fuzz targets share: reading a fuzz input piece by piece (event
// sizes, mode bits, payloads), a scratch file for readers that take a path,
// and the check that stops a run when a reader breaks its own contract.

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QString>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace FuzzInput {

class Reader
{
public:
    Reader(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    [[nodiscard]] bool atEnd() const { return at_ >= size_; }
    [[nodiscard]] std::size_t remaining() const { return size_ - at_; }
    // The next byte, or 0 past the end.
    [[nodiscard]] std::uint8_t byte() { return atEnd() ? 0 : data_[at_++]; }
    // Up to `count` bytes (fewer at the end).
    [[nodiscard]] QByteArray take(std::size_t count)
    {
        const std::size_t n = std::min(count, remaining());
        const QByteArray bytes(reinterpret_cast<const char*>(data_ + at_), qsizetype(n));
        at_ += n;
        return bytes;
    }
    [[nodiscard]] QByteArray rest() { return take(remaining()); }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t at_ = 0;
};

// A reader that broke its contract: a crash libFuzzer keeps as a reproducer.
[[noreturn]] inline void contractBroken(const char* what)
{
    std::fprintf(stderr, "contract broken: %s\n", what);
    std::abort();
}

inline void require(bool holds, const char* what)
{
    if (!holds)
        contractBroken(what);
}

// A file in a directory of its own that lives as long as the process; each
// write replaces the file's content. The directory is in memory when the
// system offers a tmpfs: a file written to disk for every run slows the
// search down about tenfold.
class ScratchFile
{
public:
    explicit ScratchFile(const QString& name) : path_(dir_.filePath(name)) {}

    [[nodiscard]] const QString& path() const { return path_; }
    [[nodiscard]] QString directory() const { return dir_.path(); }
    void write(const QByteArray& bytes) const
    {
        QFile file(path_);
        require(file.open(QIODevice::WriteOnly | QIODevice::Truncate) &&
                    file.write(bytes) == bytes.size(),
                "the scratch file could not be written");
    }

private:
    static QString scratchRoot()
    {
        const QFileInfo shm(QStringLiteral("/dev/shm"));
        return shm.isDir() && shm.isWritable() ? shm.filePath() : QDir::tempPath();
    }

    QTemporaryDir dir_{scratchRoot() + QStringLiteral("/audimark-fuzz-XXXXXX")};
    QString path_;
};

} // namespace FuzzInput
