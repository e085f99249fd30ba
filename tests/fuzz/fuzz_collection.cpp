// Opening a data set collection file (.rec): the program's Open, which reads
// the file into the memory image and decodes it, and `audimark-cli sets`,
// which lists the sets of a file that decodes. The file may be longer than
// the logger's memory: it comes from anywhere. Open reads only as far as the
// decoder can use, so its result is checked against the decode of the whole
// file.

#include "FuzzInput.h"

#include "data/DataSetCollection.h"
#include "data/LoggerMemory.h"
#include "files/formats/CollectionFile.h"
#include "logger/RecordDecoder.h"
#include "tools/cli/SetsCommand.h"

#include <QDateTime>
#include <QDir>

#include <algorithm>

#include <fcntl.h>
#include <unistd.h>

using FuzzInput::require;

namespace {
// Runs the sets command with its listing thrown away (its messages on
// standard error stay: they are one line for a file that does not decode).
int setsCommandQuietly(const QString& path)
{
    static const int discard = ::open("/dev/null", O_WRONLY);
    std::fflush(stdout);
    const int saved = ::dup(STDOUT_FILENO);
    ::dup2(discard, STDOUT_FILENO);
    const int status = runSetsCommand(path);
    std::fflush(stdout);
    ::dup2(saved, STDOUT_FILENO);
    ::close(saved);
    return status;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static const FuzzInput::ScratchFile file(QStringLiteral("sets.rec"));
    static const QDateTime now(QDate(2026, 12, 7), QTime(14, 0));
    const QByteArray bytes = FuzzInput::Reader(data, size).rest();
    file.write(bytes);

    LoggerMemory memory;
    DataSetCollection collection;
    const CollectionFile::OpenOutcome opened =
        CollectionFile::open(file.path(), memory, collection, file.directory(), now);
    require(memory.memoryImage().isEmpty(), "the memory image kept after an open");
    require(opened.read == (size > 0), "a file read other than it is");

    // The whole file decoded: where all its records end inside the memory
    // end, Open must find exactly the same. (A record the decoder forgives on
    // a page boundary may reach past the part Open reads; what lies there is
    // not the meter's.)
    LoggerMemory whole;
    whole.memoryImage() = bytes;
    whole.setMemoryEnd(whole.memoryEndFromImage());
    DataSetCollection wholeCollection;
    const LoadResult wholeResult =
        size > 0 ? decodeImage(whole, wholeCollection, now) : LoadResult::NoData;
    const QList<qint32>& ends = wholeCollection.headers().recordEnd();
    const bool insideMemoryEnd = std::all_of(ends.cbegin(), ends.cend(), [&](qint32 end) {
        return end <= whole.memoryEnd();
    });
    if (wholeResult == LoadResult::Ok && insideMemoryEnd &&
        (opened.result != wholeResult || wholeCollection.headers() != collection.headers() ||
         wholeCollection.sampleValues() != collection.sampleValues())) {
        std::fprintf(stderr, "Open: %s, %lld sets; the whole file: %s, %lld sets\n",
                     qPrintable(loadResultName(opened.result)), qlonglong(collection.count()),
                     qPrintable(loadResultName(wholeResult)), qlonglong(wholeCollection.count()));
        FuzzInput::contractBroken("Open read less of the file than the decoder uses");
    }
    if (opened.result != LoadResult::Ok) {
        require(collection.isEmpty(), "a file that did not decode filled the collection");
        return 0;
    }
    require(!collection.isEmpty(), "a decoded file without sets");
    require(setsCommandQuietly(file.path()) == 0, "sets refused a file that Open took");
    return 0;
}
