// On Windows: the C runtime's commit of a file descriptor to the disk.
#include <io.h>

#include "workshop/CsvRecorder.h"

namespace zk4 {

bool SyncToDisk(QFile& file) {
    return ::_commit(file.handle()) == 0;
}

}  // namespace zk4
