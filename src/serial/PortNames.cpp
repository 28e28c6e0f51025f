// COM port names. What stands behind a name depends on the platform: PortNamesPosix.cpp and
// PortNamesWin.cpp.
#include "serial/PortNames.h"

namespace zk4 {

std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

std::optional<int> PortNumberFromName(std::string_view name) {
    for (int number = 1; number <= kLastPort; ++number) {
        if (name == ComName(number)) {
            return number;
        }
    }
    return std::nullopt;
}

bool StartsAPortName(std::string_view text) {
    for (int number = 1; number <= kLastPort; ++number) {
        if (ComName(number).starts_with(text)) {
            return true;
        }
    }
    return false;
}

}  // namespace zk4
