// Windows sends a GUI program no termination signals: closing its window (or WM_CLOSE from
// taskkill) already reaches the dialog's close box.
#include "app/TerminationSignals.h"

namespace zk4 {

void EndOnTerminationSignals(QDialog&) {}

}  // namespace zk4
