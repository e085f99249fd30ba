#pragma once

// The entries of the command table for periods, events and dose, and the
// day-evening-night options of stats (see FiguresCommand.h).

#include "tools/cli/CommandLine.h"

namespace CommandLine {

[[nodiscard]] QList<Command> figureCommands();
[[nodiscard]] QList<Option> denOptions();

} // namespace CommandLine
