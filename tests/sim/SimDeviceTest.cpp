// The simulator's command handling, stored settings, moving values and options.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "SimDevice.h"
#include "SimOptions.h"

namespace zk4sim {
namespace {

// Fed one byte at a time, the way the tool's paced transmitter sends.
std::string FeedBytewise(SimDevice& device, std::string_view wire, double seconds = 0.0) {
    std::string out;
    for (char c : wire) {
        const auto byte = static_cast<std::uint8_t>(c);
        out += device.Receive(std::span(&byte, 1), seconds);
    }
    return out;
}

TEST(SimCommands, AssemblerFindsCommandsInAByteStream) {
    const std::string overlong(40, 'x');
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases = {
        {"AT ID?\r\n", {"AT ID?"}},
        {"AT ID?\rAT RALL\n\r\n", {"AT ID?", "AT RALL"}},
        {"AT FWAT ID?\r\n", {"AT ID?"}},  // a command cut short at a reconnection
        {overlong + "\r\nAT ID?\r\n", {"AT ID?"}},
        {overlong + "AT ID?\r\n", {"AT ID?"}},
        {"AT ID?", {}},
    };
    for (const auto& [wire, commands] : cases) {
        SCOPED_TRACE(testing::PrintToString(wire));
        CommandAssembler assembler;
        std::vector<std::string> seen;
        for (char c : wire) {
            if (auto line = assembler.Feed(static_cast<std::uint8_t>(c))) {
                seen.push_back(*line);
            }
        }
        EXPECT_EQ(seen, commands);
    }
}

TEST(SimDevice, SettingsAreStoredSilentlyWithinRangeAndTheVariantsCapabilities) {
    struct Case {
        std::uint8_t code;
        std::string commands;
        std::string cylinders, hz;  // as the next read-all reports them
    };
    const std::string both = "AT CN=7\r\nAT HZ=02.5000\r\n";
    const std::vector<Case> cases = {
        {0x2C, both, "7", "2.5000"},
        {0x5A, both, "7", "1.7881"},  // -001: cylinders only
        {0x58, both, "4", "2.5000"},  // -002: Hz per MPH only
        {0x30, both, "4", "1.7881"},  // no variant: neither
        {0x2C, "AT CN=0\r\nAT CN=13\r\nAT HZ=00.2499\r\n", "4", "1.7881"},
        {0x2C, "AT CN=12\r\nAT HZ=00.2500\r\n", "12", "0.2500"},
        {0x2C, "AT CN=1\r\nAT HZ=99.9999\r\nAT CN=3\r\n", "3", "99.9999"},
        // Malformed and unknown commands: no answer, no change.
        {0x2C, "AT CN=123\r\nAT CN=\r\nAT CN=5 \r\nat cn=5\r\nAT HZ=2.5000\r\nAT HZ=02.50000\r\n",
         "4", "1.7881"},
        {0x2C, "AT HZ=02,5000\r\nAT HZ=0x.1234\r\nAT ID? \r\nAT RALLX\r\nat id?\r\nAT XY=1\r\n",
         "4", "1.7881"},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(testing::Message() << int{c.code} << testing::PrintToString(c.commands));
        DeviceConfig config;
        config.productCode = c.code;
        SimDevice device(config);
        EXPECT_EQ(FeedBytewise(device, c.commands), "");
        EXPECT_EQ(FeedBytewise(device, "AT RALL\r\n"),
                  "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=" + c.cylinders +
                      "\r\nAT HZVSMPH=" + c.hz + "\r\n");
    }
}

TEST(SimDevice, DriveMovesPlausiblyAndRepeatsEveryMinute) {
    EngineSample previous = DriveSample(0.0);
    std::uint32_t fastest = 0;
    for (int tenth = 1; tenth <= 600; ++tenth) {
        const double t = tenth / 10.0;
        SCOPED_TRACE(t);
        const EngineSample now = DriveSample(t);
        EXPECT_TRUE(now.rpm >= 650 && now.rpm <= 2200 && now.mph <= 62)
            << now.rpm << " " << now.mph;
        EXPECT_LE(std::max(now.mph, previous.mph) - std::min(now.mph, previous.mph), 1u);
        EXPECT_TRUE(now.mph > 0 || now.rpm == 650);
        EXPECT_EQ(DriveSample(t + 120.0).rpm, now.rpm);
        fastest = std::max(fastest, now.mph);
        previous = now;
    }
    EXPECT_GE(fastest, 55u);

    DeviceConfig config;
    config.drive = true;
    SimDevice device(config);
    const EngineSample at20 = DriveSample(20.0);
    const std::string report = FeedBytewise(device, "AT RALL\r\n", 20.0);
    EXPECT_NE(report.find("AT RPM=" + std::to_string(at20.rpm) + "\r\n"), std::string::npos);
    EXPECT_NE(report.find("AT MPH=" + std::to_string(at20.mph) + "\r\n"), std::string::npos);
}

TEST(SimOptions, GoodArgumentsSetTheirValues) {
    auto parse = [](std::vector<std::string_view> args) {
        const OptionsResult result = ParseOptions(args);
        EXPECT_EQ(result.error, "");
        return result.options;
    };
    EXPECT_EQ(parse({}).device.productCode, 0x2C);
    EXPECT_EQ(parse({"--product", "ZK4-OBD2-002"}).device.productCode, 0x58);
    EXPECT_EQ(parse({"--code=0x30"}).device.productCode, 0x30);
    EXPECT_EQ(parse({"--code", "255"}).device.productCode, 255);
    EXPECT_EQ(parse({"--serial", "4294967295"}).device.serialNo, 4294967295u);
    EXPECT_EQ(parse({"--hz", "0.25"}).device.hzPerMph, 2500u);
    EXPECT_EQ(parse({"--silent-after", "1.5"}).silentAfterMs, 1500u);
    const SimOptions linked = parse({"--link-beside", "/x/ZK4", "--port", "COM30"});
    EXPECT_EQ(LinkPathFor(linked.linkBeside, linked.port), "/x/ports/COM30");
}

TEST(SimOptions, BadArgumentsAreRefusedWithAReason) {
    const std::vector<std::vector<std::string_view>> cases = {
        {"--bogus"},
        {"--serial"},
        {"--serial", "-1"},
        {"--serial", "4294967296"},
        {"--code", "0x100"},
        {"--code", "0x"},
        {"--product", "J1939-004"},
        {"--cylinders", "0"},
        {"--cylinders", "13"},
        {"--hz", "0.2499"},
        {"--hz", "1.23456"},
        {"--voltage", "12.65"},
        {"--drive=1"},
        {"--firmware", "0.5N\r\n"},
        {"--port", "COM1"},
        {"--link-beside", "/x/ZK4", "--port", "COM31"},
        {"--link-beside", "/x/ZK4", "--port", "COM01"},
        {"--product", "J1939-001", "--code", "0x2A"},
        {"--hangup-after", "soon"}};
    for (const auto& args : cases) {
        EXPECT_NE(ParseOptions(args).error, "") << testing::PrintToString(args);
    }
}

}  // namespace
}  // namespace zk4sim
