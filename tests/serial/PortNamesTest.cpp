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
        EXPECT_EQ(PortNumberFromName(name), number) << '"' << name << '"';
    }
}

// The first folder with a link wins; the link is resolved all the way, or to what it names
// when that is missing; without a link, the fixed table.
TEST(DeviceForPort, FirstFolderWithALinkWinsElseTheFixedTable) {
    test::TempDir temp;
    const fs::path root = fs::canonical(temp.Path());
    const fs::path ports = root / "ports";
    const fs::path user = root / "user";
    const std::string real = root / "ttyReal";
    fs::create_directories(ports);
    fs::create_directories(user);
    test::WriteFile(real, "x");
    test::WriteFile(ports / "COM22", "x");  // a plain file stands for itself
    fs::create_symlink(real, root / "by-id-link");
    fs::create_symlink("../ttyReal", ports / "COM4");                     // relative to its folder
    fs::create_symlink(root / "by-id-link", ports / "COM5");              // a link to a link
    fs::create_symlink("/nonexistent-zk4/usb-adapter", ports / "COM12");  // unplugged
    fs::create_symlink("gone/ttyUSB7", ports / "COM13");                  // dangling, relative
    fs::create_symlink("g", user / "COM14");
    fs::create_symlink("/dev/null", user / "COM4");  // hidden by ports/COM4
    fs::create_symlink("../ttyReal", user / "COM6");

    const std::string p = ports.string() + "/", u = user.string() + "/";
    const std::vector<std::pair<int, std::string>> cases = {{4, real},
                                                            {5, real},
                                                            {6, real},
                                                            {12, "/nonexistent-zk4/usb-adapter"},
                                                            {13, p + "gone/ttyUSB7"},
                                                            {14, u + "g"},
                                                            {22, p + "COM22"},
                                                            {1, "/dev/ttyUSB0"},
                                                            {10, "/dev/ttyUSB9"},
                                                            {11, "/dev/ttyACM0"},
                                                            {20, "/dev/ttyACM9"},
                                                            {21, "/dev/ttyS0"},
                                                            {30, "/dev/ttyS9"},
                                                            {31, "/dev/ttyUSB0"}};
    for (const auto& [number, device] : cases) {
        EXPECT_EQ(DeviceForPort(number, {ports.string(), user.string()}), device)
            << ComName(number);
    }
}

}  // namespace
}  // namespace zk4
