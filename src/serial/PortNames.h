// COM port names and the devices behind them.
#pragma once

#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace zk4 {

// The port list: COM1 .. COM30.
inline constexpr int kLastPort = 30;

// "COM" followed by the number: the name the port list shows and every message uses.
std::string ComName(int number);

// "COM1".."COM30", compared exactly, give 1..30; any other text is no port (never port 1,
// which would open another device than the one named).
std::optional<int> PortNumberFromName(std::string_view name);

// True for the start of a port name that someone may still be typing ("", "C", "CO", "COM",
// "COM1" on the way to "COM12").
bool StartsAPortName(std::string_view text);

// The device tried for a port number (out of 1..30 counts as 1). On Windows the name itself
// ("COM5"). Elsewhere the first folder of `portsDirs` holding a link `COMn` wins, and the link
// is resolved to its canonical target; without one, COM1-10 -> /dev/ttyUSB0-9,
// COM11-20 -> /dev/ttyACM0-9, COM21-30 -> /dev/ttyS0-9. A dangling link resolves to the path
// it names, so the open reports that device as missing.
std::string DeviceForPort(int number, const std::vector<std::string>& portsDirs);

// True when a character device is there. Always false on Windows, where a COM name has no
// node to look at and the system's list of serial ports tells instead.
bool DevicePresent(const std::string& device);

}  // namespace zk4
