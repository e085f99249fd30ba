#pragma once

// Writing a file, complete or not at all. Every file the program writes goes
// through here.
//
// A regular file, or a name not taken yet, is written through QSaveFile: the
// bytes go to a temporary file beside it, which replaces the file of that
// name only once every byte reached it. commit() flushes the buffered bytes
// and checks for an error before the rename (QSaveFile by itself renames a
// file whose last buffered write failed, a full disk among them); a failure
// cancels the write and leaves the earlier file as it was.
//
// A pipe or a character device (a FIFO, a terminal, /dev/null) is written
// directly and never replaced; a write it refuses is reported (/dev/full
// fails). So are the names of the process's own descriptors (/dev/stdout,
// /dev/stderr, /dev/fd/N, /proc/...), whatever they stand for: a file behind
// them is appended to, as the shell's redirection left it. A pipe that no
// program reads fails at once instead of waiting for a reader. Anything else
// (a directory, a socket, a block device) is refused.

#include <QIODevice>
#include <QSaveFile>
#include <QString>

class OutputFile : public QIODevice
{
public:
    explicit OutputFile(const QString& path, QObject* parent = nullptr);
    // An open write that was not committed is cancelled.
    ~OutputFile() override;

    // Write-only; any other mode fails.
    bool open(OpenMode mode) override;
    // Ends the write. True when every byte reached the file; else the write
    // is cancelled and errorString() says why.
    [[nodiscard]] bool commit();
    // Ends the write without replacing anything. A direct write stops here;
    // what a pipe or a device received stays received.
    void cancelWriting();

    [[nodiscard]] QString fileName() const { return path_; }
    // Written directly rather than through a temporary file.
    [[nodiscard]] bool isDirect() const { return fd_ >= 0; }

    bool isSequential() const override;
    bool seek(qint64 pos) override;
    qint64 size() const override;

    // Writes bytes to path; the system's reason on failure, else an empty
    // string.
    [[nodiscard]] static QString writeWhole(const QString& path, const QByteArray& bytes);

    inline static const QString DirectoryReason = QStringLiteral("it is a directory");
    inline static const QString NotWritableKindReason =
        QStringLiteral("it is not a regular file, a pipe or a character device");
    inline static const QString NoReaderReason = QStringLiteral("no program reads from the pipe");

protected:
    qint64 readData(char* data, qint64 maxSize) override;
    qint64 writeData(const char* data, qint64 size) override;

private:
    bool openDirect();
    bool fail(const QString& reason);
    void closeDirect();
    void discardTemporary();

    QString path_;
    QSaveFile save_;
    int fd_ = -1;
    bool failed_ = false;
};
