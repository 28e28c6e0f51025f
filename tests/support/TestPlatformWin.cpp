#include "support/TestPlatform.h"

namespace zk4::test {

bool PosixSystem() {
    return false;
}

std::string NullDevice() {
    return "NUL";
}

// Windows has no root that file modes leave alone; tests about modes are skipped there.
bool RunningAsRoot() {
    return false;
}

std::string RerunCurrentTestAsNobody() {
    return "running as another user is a POSIX matter";
}

}  // namespace zk4::test
