#include "serial/PortNames.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <string>
#include <vector>

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
    const std::string p = root / "ports", u = root / "user", real = root / "ttyReal";
    fs::create_directories(p);
    fs::create_directories(u);
    test::WriteFile(real, "x");
    test::WriteFile(p + "/COM22", "x");  // a plain file stands for itself
    fs::create_symlink(real, root / "by-id-link");
    for (const auto& [target, link] : std::vector<std::pair<std::string, std::string>>{
             {"../ttyReal", p + "/COM4"},  // relative to its folder
             {root / "by-id-link", p + "/COM5"},
             {"/nonexistent-zk4/usb", p + "/COM12"},  // unplugged
             {"gone/ttyUSB7", p + "/COM13"},
             {"/dev/null", u + "/COM4"},  // hidden by ports/COM4
             {"../ttyReal", u + "/COM6"}}) {
        fs::create_symlink(target, link);
    }
    // A port number, then its device; "~" stands for the test's folder.
    for (const std::string row :
         {"4 ~/ttyReal", "5 ~/ttyReal", "6 ~/ttyReal", "12 /nonexistent-zk4/usb",
          "13 ~/ports/gone/ttyUSB7", "22 ~/ports/COM22", "10 /dev/ttyUSB9", "11 /dev/ttyACM0",
          "21 /dev/ttyS0", "30 /dev/ttyS9", "31 /dev/ttyUSB0"}) {
        std::string device = row.substr(row.find(' ') + 1);
        device = device[0] == '~' ? root.string() + device.substr(1) : device;
        EXPECT_EQ(DeviceForPort(std::stoi(row), {p, u}), device) << row;
    }
}

}  // namespace
}  // namespace zk4
