// Windows has no such signals; a console's Ctrl-C ends the process as the system does.
#include "cli/StopSignals.h"

namespace zk4 {

void StopOnSignals(QObject*, std::function<void()>) {}

void IgnoreBrokenPipe() {}

}  // namespace zk4
