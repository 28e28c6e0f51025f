// Ending a program from outside: Ctrl-C, kill, the end of an SSH session or of the desktop
// session. The window and zk4ctl alike.
#pragma once

#include <QObject>
#include <functional>

namespace zk4 {

// SIGINT, SIGTERM and SIGHUP call `stop` from the event loop (nothing else runs inside the
// signal handler), so the program ends as on any other ending: the port and its lock released,
// the files closed. Once set, for the rest of the process; `context` bounds the call. Where the
// system has no such signals, nothing is done.
void StopOnSignals(QObject* context, std::function<void()> stop);

// A write to a pipe whose reader has ended fails instead of ending the process, so that the
// program can end itself properly.
void IgnoreBrokenPipe();

}  // namespace zk4
