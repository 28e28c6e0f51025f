#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

#include "serial/PortNames.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

TEST(PortNumberFromName, OnlyExactComOneToThirtyCount) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"COM1", 1},  {"COM9", 9}, {"COM10", 10}, {"COM30", 30}, {"COM31", 1},
        {"COM0", 1},  {"com5", 1}, {"COM05", 1},  {"", 1},       {"COM 3", 1},
        {"COM3 ", 1}, {"COM", 1},  {"COM300", 1}, {"XCOM4", 1},  {"COM+2", 1},
    };
    for (const auto& [name, number] : cases) {
        SCOPED_TRACE("\"" + name + "\"");
        EXPECT_EQ(PortNumberFromName(name), number);
    }
}

TEST(DeviceForPort, LinkInPortsWinsAndResolvesCanonicallyElseTheFixedTable) {
    test::TempDir temp;
    const fs::path root = fs::canonical(temp.Path());
    const fs::path ports = root / "ports";
    const std::string real = root / "ttyReal";
    fs::create_directories(ports);
    test::WriteFile(real, "x");
    test::WriteFile(ports / "COM22", "x");  // a plain file stands for itself
    fs::create_symlink(real, root / "by-id-link");
    fs::create_symlink("../ttyReal", ports / "COM4");         // relative to ports/
    fs::create_symlink(root / "by-id-link", ports / "COM5");  // a link to a link
    fs::create_symlink("/nonexistent-zk4/by-id/usb-adapter", ports / "COM12");  // unplugged
    fs::create_symlink("gone/ttyUSB7", ports / "COM13");  // dangling, relative

    const std::vector<std::pair<int, std::string>> cases = {
        {4, real},
        {5, real},
        {12, "/nonexistent-zk4/by-id/usb-adapter"},
        {13, (ports / "gone" / "ttyUSB7").string()},
        {22, (ports / "COM22").string()},
        {1, "/dev/ttyUSB0"},
        {10, "/dev/ttyUSB9"},
        {11, "/dev/ttyACM0"},
        {20, "/dev/ttyACM9"},
        {21, "/dev/ttyS0"},
        {30, "/dev/ttyS9"},
    };
    for (const auto& [number, device] : cases) {
        SCOPED_TRACE("COM" + std::to_string(number));
        EXPECT_EQ(DeviceForPort(number, ports.string()), device);
    }
}

}  // namespace
}  // namespace zk4
