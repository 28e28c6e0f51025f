// Windows has no such signals: a console's Ctrl-C ends the process as the system does, and
// closing a window (or WM_CLOSE from taskkill) reaches its close box.
#include "app/StopSignals.h"

namespace zk4 {

void StopOnSignals(QObject*, std::function<void()>) {}

void IgnoreBrokenPipe() {}

}  // namespace zk4
