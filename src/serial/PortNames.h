// COM port names and the devices behind them.
#pragma once

#include <string>
#include <string_view>

namespace zk4 {

// "COM1".."COM30", compared exactly, give 1..30; any other text gives 1.
int PortNumberFromName(std::string_view name);

// The device tried for a port number. On Windows the name itself ("COM5"). Elsewhere a link
// `<portsDir>/COMn` wins and is resolved to its canonical target; without one,
// COM1-10 -> /dev/ttyUSB0-9, COM11-20 -> /dev/ttyACM0-9, COM21-30 -> /dev/ttyS0-9.
// A dangling link resolves to the path it names, so the open reports that device as missing.
std::string DeviceForPort(int number, const std::string& portsDir);

}  // namespace zk4
