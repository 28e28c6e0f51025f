// What stands behind a COM name on Windows: the name itself, which the serial driver knows.
#include <string>
#include <vector>

#include "serial/PortNames.h"

namespace zk4 {

std::string DeviceForPort(int number, const std::vector<std::string>& /*portsDirs*/) {
    return ComName(number >= 1 && number <= kLastPort ? number : 1);
}

// There is no device node to look at; the system's list of serial ports tells.
bool DevicePresent(const std::string& /*device*/) {
    return false;
}

}  // namespace zk4
