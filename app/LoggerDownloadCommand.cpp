#include "app/LoggerDownloadCommand.h"

#include "files/dialogs/BusyCursor.h"
#include "graph/GraphWindowState.h"

LoggerDownloadCommand::LoggerDownloadCommand(Context context)
    : mainWindow_(context.mainWindow), graphs_(*context.graphs), port_(*context.link),
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
    return outcome;
}
