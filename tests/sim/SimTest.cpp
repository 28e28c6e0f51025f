// zk4-sim: its answers to commands as its options make them, its refusal of bad options, and the
// built program (its pseudo-terminal reached through a link that replaces a stale one).
// Identification, settings changes, refusals and hang-ups reach it end to end (tests/e2e).
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <iterator>
#include <sstream>

#include "SimDevice.h"
#include "SimOptions.h"
#include "e2e/SimProcess.h"
#include "protocol/DeviceLine.h"
#include "support/TempDir.h"

namespace zk4sim {
namespace {

OptionsResult Parse(const std::string& args) {
    std::istringstream in(args);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    return ParseOptions(std::vector<std::string_view>(words.begin(), words.end()));
}

std::string ReadAll(const std::string& cylinders, const std::string& hz, int rpm = 650,
                    int mph = 0) {
    return "AT DV=13.8\r\nAT RPM=" + std::to_string(rpm) + "\r\nAT MPH=" + std::to_string(mph) +
           "\r\nAT CN=" + cylinders + "\r\nAT HZVSMPH=" + hz + "\r\n";
}

// Each row: the options, what the host sends (a byte at a time, the way the tool's paced
// transmitter does, 20 s after the start) and what the device answers.
TEST(SimDevice, AnswersAsItsOptionsSay) {
    const std::string id = BuildIdentificationLine(0x2C, 305419896), fw = "AT FW=0.5N\r\n";
    const std::string x40(40, 'x'), both = "AT CN=7\r\nAT HZ=02.5000\r\nAT RALL\r\n";
    const std::tuple<std::string, std::string, std::string> cases[] = {
        // CR or LF ends a command; one cut short at a reconnection, or after noise, is dropped.
        {"",
         "AT ID?\rAT FW=?\n\r\nAT FWAT ID?\r\n" + x40 + "\r\nAT ID?\r\n" + x40 + "AT ID?\r\nAT ID?",
         id + fw + id + id + id},
        {"--code 0x5A", both, ReadAll("7", "1.7881")},             // -001: cylinders only
        {"--product zk4-obd2-002", both, ReadAll("4", "2.5000")},  // -002: Hz per MPH only
        {"--code 48", both, ReadAll("4", "1.7881")},               // no variant: neither
        {"--voltage=12.5 --rpm 20000 --mph 255 --cylinders 12 --hz 0.25", "AT RALL\r\n",
         "AT DV=12.5\r\nAT RPM=20000\r\nAT MPH=255\r\nAT CN=12\r\nAT HZVSMPH=0.2500\r\n"},
        {"--lowercase --bad-checksum 1", "AT ID?\r\nAT FW=?\r\nAT ID?\r\n",
         "ack idc28765432100c0\r\nat fw=0.5n\r\nack idc28765432100b0\r\n"},
        {"--drive", "AT RALL\r\n",
         ReadAll("4", "1.7881", DriveSample(20).rpm, DriveSample(20).mph)},
        {"--drive --crank", "AT RALL\r\n",  // 16.5 s after the engine started: still charging
         "AT DV=14.0" +
             ReadAll("4", "1.7881", DriveSample(20).rpm, DriveSample(20).mph).substr(10)},
        // Out of range, then the limits; malformed and unknown commands: no answer, no change.
        {"",
         "AT CN=0\r\nAT CN=13\r\nAT HZ=00.2499\r\nAT RALL\r\nAT CN=12\r\nAT HZ=00.2500\r\nAT "
         "RALL\r\nAT CN=1\r\nAT HZ=99.9999\r\nAT CN=3\r\nAT CN=123\r\nAT CN=\r\nAT CN=5 \r\nat "
         "cn=5\r\nAT HZ=2.5000\r\nAT HZ=02.50000\r\nAT HZ=02,5000\r\nAT ID? \r\nAT RALLX\r\nat "
         "id?\r\nAT XY=1\r\nAT RALL\r\n",
         ReadAll("4", "1.7881") + ReadAll("12", "0.2500") + ReadAll("3", "99.9999")},
    };
    for (const auto& [args, wire, answer] : cases) {
        const OptionsResult result = Parse(args);
        std::string out = result.error;
        SimDevice device(result.options.device);
        for (const char byte : wire) {
            out += device.Receive({reinterpret_cast<const std::uint8_t*>(&byte), 1}, 20.0);
        }
        EXPECT_EQ(out, answer) << args << ' ' << testing::PrintToString(wire);
    }
}

// The simulator's variants and the tool's product table are two tables: they must agree on every
// code, or a test against the simulator proves nothing about the tool.
TEST(SimDevice, VariantsAgreeWithTheToolsProductTable) {
    for (unsigned code = 0; code <= 0xFF; ++code) {
        const zk4::ProductInfo tool = zk4::LookupProduct(static_cast<std::uint8_t>(code));
        const ProductVariant* sim = FindVariant(static_cast<std::uint8_t>(code));
        EXPECT_EQ(
            std::tuple(sim != nullptr, sim ? "ZK4-" + std::string(sim->name) : "Wrong ID",
                       sim && sim->cylinders, sim && sim->hzPerMph),
            std::tuple(tool.valid, std::string(tool.productId), tool.cylinders, tool.hzPerMph))
            << code;
    }
}

TEST(SimOptions, RefusesEachFaultOnItsOwn) {
    for (const char* args :
         {"--bogus", "--serial", "--serial 4294967296", "--code 0x100", "--product J1939-004",
          "--cylinders 13", "--hz 1.23456", "--firmware 0.5N\x7F", "--drive=1", "--crank=1",
          "--port COM1", "--link-beside /x/ZK4 --port COM31", "--product J1939-001 --code 0x2A",
          "--hangup-after soon", "--silent-after 86400.001", "--flood --stream"}) {
        EXPECT_NE(Parse(args).error, "") << args;
    }
}

// A link left by an earlier run is replaced, and removed again at a clean exit. Answering
// through the link is what every end-to-end test does.
TEST(SimProcess, ReplacesAStaleLinkAndRemovesItAtExit) {
    namespace fs = std::filesystem;
    zk4::test::TempDir tmp;
    const std::string link = tmp / "ports/COM2";
    fs::create_directories(tmp.Path() / "ports");
    fs::create_symlink("/dev/pts/no-such-terminal", link);
    zk4::test::SimProcess sim(tmp / "ZK4", "COM2", {});
    EXPECT_EQ(fs::read_symlink(link), sim.slavePath);
    const int status = sim.Stop();
    EXPECT_TRUE(WIFEXITED(status)) << status;
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_FALSE(fs::is_symlink(link));
}

}  // namespace
}  // namespace zk4sim
