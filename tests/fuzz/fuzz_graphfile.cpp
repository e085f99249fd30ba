// Opening a graph file (.ghf) as the Open command does: the file is read
// through its length field, its block is loaded into a graph window's chart
// and the window works out the statistics it shows above the chart. The same
// file read as the graph template gives the chart its look. A block the
// chart refuses is loaded once more with its length field and checksum put
// right, so that the window's load and statistics see fuzzed charts too.

#include "ChartBlockSeal.h"
#include "FuzzInput.h"

#include "files/formats/GraphFile.h"
#include "graph/GraphWindowState.h"
#include "graph/PESGraph.h"
#include "graph/TfrmGraph.h"

#include <QApplication>

#include <memory>

namespace {
struct GraphWindow
{
    GraphWindow()
    {
        qputenv("QT_QPA_PLATFORM", "offscreen");
        // The chart's painter warnings about charts no window could show would
        // fill the run's log; a crash still reports itself.
        qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) {});
        static int argc = 1;
        static char name[] = "fuzz_graphfile";
        static char* argv[] = {name, nullptr};
        app = std::make_unique<QApplication>(argc, argv);
        window = std::make_unique<TfrmGraph>(state);
        window->resize(1100, 650);
    }
    std::unique_ptr<QApplication> app;
    GraphWindowState state;
    std::unique_ptr<TfrmGraph> window;
};
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    static GraphWindow graph;
    static const FuzzInput::ScratchFile file(QStringLiteral("trace.ghf"));
    file.write(FuzzInput::Reader(data, size).rest());

    const GraphFile::ReadResult read = GraphFile::read(file.path());
    FuzzInput::require(read.block.has_value() != !read.error.isEmpty(),
                       "a graph file read without either a block or a message");
    if (!read.block)
        return 0;
    FuzzInput::require(qsizetype(read.block->size()) + 4 <= qsizetype(size),
                       "a block longer than the file");
    PESGraph& chart = *graph.window->graph();
    const QByteArray& block = *read.block;
    const bool loaded =
        chart.loadWholeGraph(block) ||
        (block.size() > 4 && chart.loadWholeGraph(ChartBlockSeal::sealed(block.left(block.size() - 4))));
    if (loaded)
        graph.window->updateGraphStatistic();
    (void)chart.loadCustomization(block);
    return 0;
}
