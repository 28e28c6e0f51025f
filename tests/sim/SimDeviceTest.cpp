// The simulator's core: its lines read back with the tool's own decoder, its answers to
// commands, its drive and its options.
#include <gtest/gtest.h>

#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <tuple>
#include <vector>

#include "SimDevice.h"
#include "SimOptions.h"
#include "protocol/DeviceLine.h"

namespace zk4sim {
namespace {

zk4::Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Every code, whether a variant carries it or not, with serial numbers that test each byte.
TEST(SimDevice, IdentificationLinesRoundTripThroughTheToolsDecoder) {
    for (unsigned c = 0; c <= 0xFF; ++c) {
        const auto code = static_cast<std::uint8_t>(c);
        const ProductVariant* v = FindVariant(code);
        const zk4::ProductInfo info = zk4::LookupProduct(code);
        EXPECT_EQ(std::tuple(std::string(info.productId), info.cylinders, info.hzPerMph),
                  v ? std::tuple("ZK4-" + std::string(v->name), v->cylinders, v->hzPerMph)
                    : std::tuple(std::string("Wrong ID"), false, false));
        for (const std::uint32_t serial : {0u, 305419896u, 0x80000000u, 0xFFFFFFFFu, 0x00FF00FFu}) {
            const std::string line = BuildIdentificationLine(code, serial);
            const zk4::Identification id = zk4::DecodeIdentification(Span(line));
            const std::string wrong = BuildIdentificationLine(code, serial, true);
            EXPECT_EQ(std::tuple(zk4::IsIdentificationLine(Span(line)),
                                 zk4::IdentificationChecksumOk(Span(line)), id.productCode,
                                 id.serialNo, zk4::IdentificationChecksumOk(Span(wrong))),
                      std::tuple(true, true, code, serial, false))
                << c << ' ' << serial;
        }
    }
    EXPECT_EQ(BuildIdentificationLine(0x2C, 305419896), "ACK IDC28765432100B0\r\n");
}

std::string ReadAll(const std::string& cylinders, const std::string& hz) {
    return "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=" + cylinders + "\r\nAT HZVSMPH=" + hz +
           "\r\n";
}

// One byte at a time, the way the tool's paced transmitter sends them.
TEST(SimDevice, AnswersCommandsFedBytewiseAndStoresWhatTheVariantTakes) {
    const std::string id = "ACK IDC28765432100B0\r\n";
    const std::string x40(40, 'x');
    const std::string both = "AT CN=7\r\nAT HZ=02.5000\r\nAT RALL\r\n";
    const std::tuple<DeviceConfig, std::string, std::string> cases[] = {
        {{}, "AT ID?\rAT FW=?\n\r\n", id + "AT FW=0.5N\r\n"},
        {{}, "AT FWAT ID?\r\n", id},  // a command cut short at a reconnection
        {{}, x40 + "\r\nAT ID?\r\n" + x40 + "AT ID?\r\nAT ID?", id + id},
        {{}, both, ReadAll("7", "2.5000")},
        {{.productCode = 0x5A}, both, ReadAll("7", "1.7881")},  // -001: cylinders only
        {{.productCode = 0x58}, both, ReadAll("4", "2.5000")},  // -002: Hz per MPH only
        {{.productCode = 0x30}, both, ReadAll("4", "1.7881")},  // no variant: neither
        {{}, "AT CN=0\r\nAT CN=13\r\nAT HZ=00.2499\r\nAT RALL\r\n", ReadAll("4", "1.7881")},
        {{}, "AT CN=12\r\nAT HZ=00.2500\r\nAT RALL\r\n", ReadAll("12", "0.2500")},
        {{}, "AT CN=1\r\nAT HZ=99.9999\r\nAT CN=3\r\nAT RALL\r\n", ReadAll("3", "99.9999")},
        // Malformed and unknown commands: no answer, no change.
        {{},
         "AT CN=123\r\nAT CN=\r\nAT CN=5 \r\nat cn=5\r\nAT HZ=2.5000\r\nAT HZ=02.50000\r\n"
         "AT HZ=02,5000\r\nAT ID? \r\nAT RALLX\r\nat id?\r\nAT XY=1\r\nAT RALL\r\n",
         ReadAll("4", "1.7881")},
        {{.lowercase = true}, "AT ID?\r\nAT FW=?\r\n", "ack idc28765432100b0\r\nat fw=0.5n\r\n"},
        {{.badChecksums = 1}, "AT ID?\r\nAT ID?\r\n", "ACK IDC28765432100C0\r\n" + id},
    };
    for (const auto& [config, wire, answer] : cases) {
        SimDevice device(config);
        std::string out;
        for (const char byte : wire) {
            out += device.Receive(Span(std::string_view(&byte, 1)), 0.0);
        }
        EXPECT_EQ(out, answer) << testing::PrintToString(wire);
    }
}

// Standing at idle, pulling away, cruising near 60 and braking, never jumping a mile an hour.
TEST(SimDevice, DriveMovesPlausiblyAndAnswersReadAll) {
    std::uint32_t previous = 0, fastest = 0;
    for (int tenth = 0; tenth <= 600; ++tenth) {
        const EngineSample now = DriveSample(tenth / 10.0);
        EXPECT_TRUE(now.rpm >= 650 && now.rpm <= 2200 && now.mph <= previous + 1 &&
                    now.mph + 1 >= previous && (now.mph > 0 || now.rpm == 650))
            << tenth;
        fastest = std::max(fastest, previous = now.mph);
    }
    EXPECT_TRUE(fastest >= 55 && fastest <= 62) << fastest;
    SimDevice device({.drive = true});
    const std::string mph = "AT MPH=" + std::to_string(DriveSample(20).mph) + "\r\n";
    EXPECT_NE(device.Receive(Span("AT RALL\r"), 20.0).find(mph), std::string::npos);
}

auto Fields(const DeviceConfig& d) {
    return std::tuple(int{d.productCode}, d.serialNo, d.firmware, d.voltageTenths, d.rpm, d.mph,
                      int{d.cylinders}, d.hzPerMph, d.drive, d.lowercase, d.noise, d.badChecksums);
}

OptionsResult Parse(const std::string& args) {
    std::istringstream in(args);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    return ParseOptions(std::vector<std::string_view>(words.begin(), words.end()));
}

// Each row: argument lists that all give the device shown, or are all refused.
TEST(SimOptions, ArgumentsSetTheirValuesOrAreRefused) {
    const std::string f64(64, 'F');
    const std::pair<std::vector<std::string>, std::optional<DeviceConfig>> cases[] = {
        {{"", "--code 0x2C", "--product J1939-003"}, DeviceConfig{}},
        {{"--product zk4-obd2-002 --serial 4294967295 --firmware " + f64 + " --voltage 12.5",
          "--code=88 --serial=4294967295 --firmware=" + f64 + " --voltage=12.5"},
         DeviceConfig{
             .productCode = 0x58, .serialNo = 4294967295, .firmware = f64, .voltageTenths = 125}},
        {{"--code 0XFF --rpm 20000 --mph 255 --cylinders 12 --hz 0.25",
          "--code 0xff --rpm 20000 --mph 255 --cylinders 12 --hz 0.2500"},
         DeviceConfig{
             .productCode = 0xFF, .rpm = 20000, .mph = 255, .cylinders = 12, .hzPerMph = 2500}},
        {{"--drive --lowercase --noise --bad-checksum 2"},
         DeviceConfig{.drive = true, .lowercase = true, .noise = true, .badChecksums = 2}},
        {{"--bogus", "--serial", "--serial 4294967296", "--code 0x100", "--product J1939-004",
          "--cylinders 0", "--cylinders 13", "--mph 256", "--hz 0.2499", "--hz 1.23456",
          "--firmware 0.5N\x7F", "--firmware F" + f64, "--drive=1", "--port COM1",
          "--link-beside /x/ZK4 --port COM31", "--link-beside /x/ZK4 --port COM01",
          "--product J1939-001 --code 0x2A", "--hangup-after soon", "--silent-after 86400.001"},
         std::nullopt},
    };
    for (const auto& [argumentLists, device] : cases) {
        for (const std::string& args : argumentLists) {
            const OptionsResult result = Parse(args);
            EXPECT_EQ(result.error.empty(), device.has_value()) << args;
            if (device && result.error.empty()) {
                EXPECT_EQ(Fields(result.options.device), Fields(*device)) << args;
            }
        }
    }
    const std::string where = "--link-beside /x/ZK4 --port=COM30 --log /x/log --flood -h";
    const SimOptions o = Parse(where + " --silent-after 1 --hangup-after 2.5").options;
    EXPECT_EQ(std::tuple(o.linkBeside, o.port, o.logPath, o.silentAfterMs, o.hangupAfterMs, o.flood,
                         o.help),
              std::tuple("/x/ZK4", "COM30", "/x/log", 1000u, 2500u, true, true));
}

}  // namespace
}  // namespace zk4sim
