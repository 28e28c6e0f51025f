// The simulator's command handling, stored settings, moving values and options.
#include <gtest/gtest.h>

#include <string>
#include <tuple>
#include <vector>

#include "SimDevice.h"
#include "SimOptions.h"

namespace zk4sim {
namespace {

std::string ReadAll(const std::string& cylinders, const std::string& hz) {
    return "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=" + cylinders + "\r\nAT HZVSMPH=" + hz +
           "\r\n";
}

// Commands fed one byte at a time, the way the tool's paced transmitter sends them.
TEST(SimDevice, BytewiseCommandsAnswerAndStoreSettingsPerVariant) {
    struct Case {
        std::uint8_t code;
        std::string wire, answer;
    };
    const std::string id = "ACK IDC28765432100B0\r\n";
    const std::string overlong(40, 'x');
    const std::string both = "AT CN=7\r\nAT HZ=02.5000\r\nAT RALL\r\n";
    const std::vector<Case> cases = {
        {0x2C, "AT ID?\rAT FW=?\n\r\n", id + "AT FW=0.5N\r\n"},
        {0x2C, "AT FWAT ID?\r\n", id},  // a command cut short at a reconnection
        {0x2C, overlong + "\r\nAT ID?\r\n" + overlong + "AT ID?\r\nAT ID?", id + id},
        {0x2C, both, ReadAll("7", "2.5000")},
        {0x5A, both, ReadAll("7", "1.7881")},  // -001: cylinders only
        {0x58, both, ReadAll("4", "2.5000")},  // -002: Hz per MPH only
        {0x30, both, ReadAll("4", "1.7881")},  // no variant: neither
        {0x2C, "AT CN=0\r\nAT CN=13\r\nAT HZ=00.2499\r\nAT RALL\r\n", ReadAll("4", "1.7881")},
        {0x2C, "AT CN=12\r\nAT HZ=00.2500\r\nAT RALL\r\n", ReadAll("12", "0.2500")},
        {0x2C, "AT CN=1\r\nAT HZ=99.9999\r\nAT CN=3\r\nAT RALL\r\n", ReadAll("3", "99.9999")},
        // Malformed and unknown commands: no answer, no change.
        {0x2C,
         "AT CN=123\r\nAT CN=\r\nAT CN=5 \r\nat cn=5\r\nAT HZ=2.5000\r\nAT HZ=02.50000\r\n"
         "AT RALL\r\n",
         ReadAll("4", "1.7881")},
        {0x2C, "AT HZ=02,5000\r\nAT ID? \r\nAT RALLX\r\nat id?\r\nAT XY=1\r\nAT RALL\r\n",
         ReadAll("4", "1.7881")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.code} << testing::PrintToString(c.wire));
        SimDevice device({.productCode = c.code});
        std::string out;
        for (char ch : c.wire) {
            const auto byte = static_cast<std::uint8_t>(ch);
            out += device.Receive(std::span(&byte, 1), 0.0);
        }
        EXPECT_EQ(out, c.answer);
    }
}

TEST(SimDevice, DriveMovesPlausiblyAndRepeatsEveryMinute) {
    EngineSample previous = DriveSample(0.0);
    std::uint32_t fastest = 0;
    for (int tenth = 1; tenth <= 600; ++tenth) {
        const double t = tenth / 10.0;
        const EngineSample now = DriveSample(t);
        EXPECT_TRUE(now.rpm >= 650 && now.rpm <= 2200 && now.mph <= 62) << t;
        EXPECT_LE(std::max(now.mph, previous.mph) - std::min(now.mph, previous.mph), 1u) << t;
        EXPECT_TRUE(now.mph > 0 || now.rpm == 650) << t;
        EXPECT_EQ(DriveSample(t + 120.0).rpm, now.rpm) << t;
        fastest = std::max(fastest, now.mph);
        previous = now;
    }
    EXPECT_GE(fastest, 55u);
    SimDevice device({.drive = true});
    const std::uint8_t readAll[] = {'A', 'T', ' ', 'R', 'A', 'L', 'L', '\r'};
    EXPECT_NE(device.Receive(readAll, 20.0).find("AT MPH=" + std::to_string(DriveSample(20).mph)),
              std::string::npos);
}

TEST(SimOptions, ArgumentsSetTheirValuesOrAreRefused) {
    struct Case {
        std::vector<std::string_view> args;
        std::uint32_t code, serial, hz;
    };
    const std::vector<Case> good = {
        {{}, 0x2C, 305419896, 17881},
        {{"--product", "ZK4-OBD2-002", "--hz", "0.25"}, 0x58, 305419896, 2500},
        {{"--code=0x30", "--serial", "4294967295"}, 0x30, 4294967295, 17881},
        {{"--code", "255"}, 255, 305419896, 17881},
    };
    for (const Case& c : good) {
        const OptionsResult result = ParseOptions(c.args);
        const DeviceConfig& device = result.options.device;
        EXPECT_EQ(std::tuple(result.error, std::uint32_t{device.productCode}, device.serialNo,
                             device.hzPerMph),
                  std::tuple("", c.code, c.serial, c.hz))
            << testing::PrintToString(c.args);
    }
    const std::vector<std::vector<std::string_view>> refused = {
        {"--bogus"},
        {"--serial"},
        {"--serial", "4294967296"},
        {"--code", "0x100"},
        {"--product", "J1939-004"},
        {"--cylinders", "0"},
        {"--cylinders", "13"},
        {"--hz", "0.2499"},
        {"--hz", "1.23456"},
        {"--firmware", "0.5N\r\n"},
        {"--port", "COM1"},
        {"--link-beside", "/x/ZK4", "--port", "COM31"},
        {"--product", "J1939-001", "--code", "0x2A"},
        {"--hangup-after", "soon"}};
    for (const auto& args : refused) {
        EXPECT_NE(ParseOptions(args).error, "") << testing::PrintToString(args);
    }
    const std::vector<std::string_view> beside = {"--link-beside", "/x/ZK4", "--port", "COM30"};
    const SimOptions linked = ParseOptions(beside).options;
    EXPECT_EQ(LinkPathFor(linked.linkBeside, linked.port), "/x/ports/COM30");
}

}  // namespace
}  // namespace zk4sim
