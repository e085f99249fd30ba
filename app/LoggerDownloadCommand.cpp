#include "app/LoggerDownloadCommand.h"

#include "graph/GraphWindowState.h"

LoggerDownloadCommand::LoggerDownloadCommand(Context context)
    : graphs_(*context.graphs), port_(*context.link),
      graphWindow_(*context.graphs, std::move(context.openLoggerGraph)),
      ui_(context.mainWindow, context.mdiArea, &graphWindow_, std::move(context.dialogs)),
      load_(port_, memory_, *context.dataSets, ui_)
{
    load_.setDataDirectory(context.dataDirectory);
}

LoadCommandOutcome LoggerDownloadCommand::run()
{
    const LoadCommandOutcome outcome = load_.loadDataCommand();
    if (outcome.dataLoaded)
        graphs_.LoggerDataUnsaved = true;
    return outcome;
}
