// The commands of zk4ctl. Each runs on the event loop of the running QCoreApplication and
// comes back with the exit status; what it prints goes to standard output, its notes and
// reasons to standard error.
#pragma once

#include <string>

#include "cli/CliOptions.h"
#include "settings/ToolPlaces.h"

namespace zk4 {

int RunCommand(const CliOptions& options, const ToolPlaces& places);

// The port a command uses: --port, else the last port line of the settings file (read, never
// created or written), else COM1.
std::string ChosenPort(const CliOptions& options, const ToolPlaces& places);

}  // namespace zk4
