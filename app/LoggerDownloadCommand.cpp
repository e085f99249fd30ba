#include "app/LoggerDownloadCommand.h"

#include "app/ArchiveSession.h"
#include "archive/Archive.h"
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
    Archive* archive = archive_ ? archive_->archive() : nullptr;
    // Also a memory that did not decode is kept: its bytes may be repaired later.
    if (!archive || outcome.image.isEmpty())
        return;
    const DataSetCollection none;
    lastStore_ = LoggerSetsStore::store(*archive, outcome.image,
                                        outcome.dataLoaded ? dataSets_ : none,
                                        MeasurementKind::Logger,
                                        meter_ ? meter_() : LoggerSetsStore::Meter());
    if (!lastStore_->ok) {
        archive_->reportWriteFailure(lastStore_->error);
        return;
    }
    archive_->reportWriteSuccess();
    if (outcome.dataLoaded)
        graphs_.LoggerDataInArchive = true;
}
