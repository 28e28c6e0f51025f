// On POSIX systems: fsync.
#include <unistd.h>

#include "workshop/CsvRecorder.h"

namespace zk4 {

bool SyncToDisk(QFile& file) {
    return ::fsync(file.handle()) == 0;
}

}  // namespace zk4
