#include "app/LoggerDownloadCommand.h"

#include "app/ArchiveSession.h"
#include "data/DataSetCollection.h"
#include "files/dialogs/BusyCursor.h"
#include "graph/GraphWindowState.h"

LoggerDownloadCommand::LoggerDownloadCommand(Context context)
    : mainWindow_(context.mainWindow), dataSets_(*context.dataSets), archive_(context.archive),
      meter_(std::move(context.meter)), graphs_(*context.graphs), port_(*context.link),
      graphWindow_(*context.graphs, std::move(context.openLoggerGraph)),
      ui_(context.mainWindow, context.mdiArea, &graphWindow_, std::move(context.dialogs)),
      load_(port_, memory_, *context.dataSets, ui_)
{
    load_.setDataDirectory(context.dataDirectory);
}

LoadCommandOutcome LoggerDownloadCommand::run()
{
    // The serial exchanges block the main thread for seconds.
    const BusyCursor busy(mainWindow_);
    const LoadCommandOutcome outcome = load_.loadDataCommand();
    if (outcome.dataLoaded)
        graphs_.LoggerDataUnsaved = true;
    keepInArchive(outcome);
    return outcome;
}

void LoggerDownloadCommand::keepInArchive(const LoadCommandOutcome& outcome)
{
    if (outcome.dataLoaded)
        graphs_.LoggerDataInArchive = false;
    lastStore_.reset();
    // Also a memory that did not decode is kept: its bytes may be repaired later.
    if (!archive_ || outcome.image.isEmpty())
        return;
    const DataSetCollection none;
    lastStore_ = LoggerArchiving::keepSets(
        *archive_, outcome.image, outcome.dataLoaded ? dataSets_ : none,
        LoggerArchiving::sourceOf(MeasurementKind::Logger, meter_));
    if (lastStore_ && lastStore_->stored && outcome.dataLoaded)
        graphs_.LoggerDataInArchive = true;
}
