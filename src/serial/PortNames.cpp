// COM port names. What stands behind a name depends on the platform: PortNamesPosix.cpp and
// PortNamesWin.cpp.
#include "serial/PortNames.h"

namespace zk4 {

std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

int PortNumberFromName(std::string_view name) {
    for (int number = 1; number <= kLastPort; ++number) {
        if (name == ComName(number)) {
            return number;
        }
    }
    return 1;
}

}  // namespace zk4
