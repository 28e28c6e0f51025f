// Cylinder number: any text from the editable combo box into the "AT CN=" command.
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string_view>

#include "FuzzCheck.h"
#include "protocol/HostCommands.h"

namespace {

// The value a text stands for: exactly "1".."12", otherwise the default of 4.
unsigned ExpectedCylinders(std::string_view text) {
    if (text.empty() || text.size() > 2 || text[0] == '0') {
        return 4;
    }
    unsigned value = 0;
    for (const char c : text) {
        if (c < '0' || c > '9') {
            return 4;
        }
        value = value * 10 + static_cast<unsigned>(c - '0');
    }
    return value <= 12 ? value : 4;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zk4::HostCommand command = zk4::BuildCylinderCommand(text);
    const auto& b = command.bytes;
    const std::size_t n = command.length;

    ZK4_CHECK(n == 9 || n == 10);
    ZK4_CHECK(std::memcmp(b.data(), "AT CN=", 6) == 0 && b[n - 2] == '\r' && b[n - 1] == '\n');
    unsigned value = 0;
    for (std::size_t i = 6; i < n - 2; ++i) {
        ZK4_CHECK(b[i] >= '0' && b[i] <= '9');
        value = value * 10 + static_cast<unsigned>(b[i] - '0');
    }
    ZK4_CHECK(b[6] != '0');
    ZK4_CHECK(value >= 1 && value <= 12);
    ZK4_CHECK(value == ExpectedCylinders(text));
    return 0;
}
