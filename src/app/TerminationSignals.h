// Ending the tool from outside, as the system asks a program to end.
#pragma once

class QDialog;

namespace zk4 {

// SIGTERM, SIGINT and SIGHUP end the tool like its close box, so the port, its lock file and
// the trace are released as on any other ending, even while a message box or the About box
// runs its own loop: those boxes are closed first, then the dialog. Where the system has no
// such signals, nothing is done.
void EndOnTerminationSignals(QDialog& dialog);

}  // namespace zk4
