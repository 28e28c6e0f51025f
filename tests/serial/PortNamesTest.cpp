#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "serial/PortNames.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

TEST(PortNumberFromName, OnlyExactComOneToThirtyCount) {
    const std::vector<std::pair<std::string, int>> cases = {
        {"COM1", 1},   {"COM2", 2},  {"COM9", 9},  {"COM10", 10}, {"COM29", 29},
        {"COM30", 30}, {"COM31", 1}, {"COM0", 1},  {"com5", 1},   {"COM05", 1},
        {"", 1},       {"COM 3", 1}, {"COM3 ", 1}, {"COM", 1},    {"COM300", 1},
        {"XCOM4", 1},  {"Com7", 1},  {"COM-2", 1}, {"COM+2", 1},
    };
    for (const auto& [name, number] : cases) {
        SCOPED_TRACE("\"" + name + "\"");
        EXPECT_EQ(PortNumberFromName(name), number);
    }
}

class DeviceForPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zk4-ports-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = fs::canonical(pattern);
        fs::create_directories(m_root / "ports");
        fs::create_directories(m_root / "dev");
        std::ofstream(m_root / "dev" / "ttyReal").put('x');
    }
    void TearDown() override { fs::remove_all(m_root); }

    std::string Ports() const { return (m_root / "ports").string(); }
    void Link(const std::string& name, const std::string& target) const {
        fs::create_symlink(target, m_root / "ports" / name);
    }

    fs::path m_root;
};

TEST_F(DeviceForPortTest, WithoutLinkTheFixedTableApplies) {
    const std::vector<std::pair<int, std::string>> cases = {
        {1, "/dev/ttyUSB0"},  {10, "/dev/ttyUSB9"}, {11, "/dev/ttyACM0"}, {15, "/dev/ttyACM4"},
        {20, "/dev/ttyACM9"}, {21, "/dev/ttyS0"},   {30, "/dev/ttyS9"},
    };
    for (const auto& [number, device] : cases) {
        SCOPED_TRACE("COM" + std::to_string(number));
        EXPECT_EQ(DeviceForPort(number, Ports()), device);
        EXPECT_EQ(DeviceForPort(number, (m_root / "no-such-folder").string()), device);
    }
}

TEST_F(DeviceForPortTest, LinkWinsAndResolvesCanonically) {
    const std::string real = (m_root / "dev" / "ttyReal").string();
    fs::create_symlink(real, m_root / "dev" / "by-id-link");
    Link("COM3", real);
    Link("COM4", "../dev/ttyReal");                              // relative to ports/
    Link("COM5", (m_root / "dev" / "by-id-link").string());      // a link to a link
    Link("COM12", "/nonexistent-zk4/serial/by-id/usb-adapter");  // adapter unplugged
    Link("COM13", "gone/ttyUSB7");                               // dangling and relative
    std::ofstream(m_root / "ports" / "COM22").put('x');          // a plain file stands for itself

    const std::vector<std::pair<int, std::string>> cases = {
        {3, real},
        {4, real},
        {5, real},
        {12, "/nonexistent-zk4/serial/by-id/usb-adapter"},
        {13, (m_root / "ports" / "gone" / "ttyUSB7").string()},
        {22, (m_root / "ports" / "COM22").string()},
        {14, "/dev/ttyACM3"},  // no link for this one
    };
    for (const auto& [number, device] : cases) {
        SCOPED_TRACE("COM" + std::to_string(number));
        EXPECT_EQ(DeviceForPort(number, Ports()), device);
    }
}

}  // namespace
}  // namespace zk4
