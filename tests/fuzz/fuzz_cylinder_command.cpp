// Cylinder number: any text from the editable combo box into the "AT CN=" command.
#include <cstdint>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "protocol/HostCommands.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const zk4::HostCommand built = zk4::BuildCylinderCommand(text);
    const std::string command(built.bytes.data(), built.bytes.data() + built.length);
    ZK4_CHECK((command.size() == 9 || command.size() == 10) && command.starts_with("AT CN=") &&
              command.ends_with("\r\n"));
    bool listed = false;
    for (int n = 1; n <= 12; ++n) {
        listed = listed || text == std::to_string(n);
    }
    // Exactly "1" to "12" is sent as typed; any other text sends 4.
    ZK4_CHECK(command.substr(6, command.size() - 8) == (listed ? text : "4"));
    return 0;
}
