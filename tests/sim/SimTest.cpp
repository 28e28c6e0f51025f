// zk4-sim: its core (its lines read back with the tool's own decoder, its answers to commands
// as its options make them) and the built program (its pseudo-terminal reached through a link
// that replaces a stale one, its wire trace, its exit codes).
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <iterator>
#include <sstream>
#include <tuple>

#include "SimDevice.h"
#include "SimOptions.h"
#include "e2e/SimProcess.h"
#include "protocol/DeviceLine.h"
#include "protocol/WireTrace.h"
#include "support/TempDir.h"

namespace zk4sim {
namespace {

zk4::Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

// Every code, whether a variant carries it or not, with a serial number whose bytes all differ
// from code to code.
TEST(SimDevice, IdentificationLinesRoundTripThroughTheToolsDecoder) {
    for (unsigned c = 0; c <= 0xFF; ++c) {
        const auto code = static_cast<std::uint8_t>(c);
        const std::uint32_t serial = 0x01010101u * c ^ 0x80FF00FFu;
        const std::string line = BuildIdentificationLine(code, serial);
        const zk4::Identification id = zk4::DecodeIdentification(Span(line));
        const zk4::ProductInfo info = zk4::LookupProduct(id.productCode);
        const ProductVariant* v = FindVariant(code);
        EXPECT_EQ(std::tuple(std::string(info.productId), info.cylinders, info.hzPerMph,
                             id.serialNo, zk4::IdentificationChecksumOk(Span(line)),
                             zk4::IdentificationChecksumOk(
                                 Span(BuildIdentificationLine(code, serial, true)))),
                  std::tuple(v ? "ZK4-" + std::string(v->name) : "Wrong ID", v && v->cylinders,
                             v && v->hzPerMph, serial, true, false))
            << c;
    }
}

OptionsResult Parse(const std::string& args) {
    std::istringstream in(args);
    const std::vector<std::string> words{std::istream_iterator<std::string>(in), {}};
    return ParseOptions(std::vector<std::string_view>(words.begin(), words.end()));
}

std::string ReadAll(const std::string& cylinders, const std::string& hz) {
    return "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=" + cylinders + "\r\nAT HZVSMPH=" + hz +
           "\r\n";
}

// Each row: the options, what the host sends (a byte at a time, the way the tool's paced
// transmitter does, 20 s after the start) and what the device answers.
TEST(SimDevice, AnswersAsItsOptionsSay) {
    const std::string id = BuildIdentificationLine(0x2C, 305419896), fw = "AT FW=0.5N\r\n";
    const std::string f64(64, 'F'), x40(40, 'x'),
        ask = "AT ID?\r\nAT FW=?\r\nAT CN=7\r\nAT RALL\r\n";
    const std::string both = "AT CN=7\r\nAT HZ=02.5000\r\nAT RALL\r\n";
    const EngineSample drive = DriveSample(20);
    const std::tuple<std::string, std::string, std::string> cases[] = {
        // CR or LF ends a command; one cut short at a reconnection, or after noise, is dropped.
        {"",
         "AT ID?\rAT FW=?\n\r\nAT FWAT ID?\r\n" + x40 + "\r\nAT ID?\r\n" + x40 + "AT ID?\r\nAT ID?",
         id + fw + id + id + id},
        {"--product J1939-003", both, ReadAll("7", "2.5000")},
        {"--code 0x5A", both, ReadAll("7", "1.7881")},             // -001: cylinders only
        {"--product zk4-obd2-002", both, ReadAll("4", "2.5000")},  // -002: Hz per MPH only
        {"--code 48", both, ReadAll("4", "1.7881")},               // no variant: neither
        {"--keep-settings", both, ReadAll("4", "1.7881")},
        {"--code=0X58 --serial=4294967295 --firmware=" + f64 +
             " --voltage 12.5 --rpm 20000 --mph 255 --cylinders 12 --hz 0.25",
         ask,
         BuildIdentificationLine(0x58, 4294967295) + "AT FW=" + f64 +
             "\r\nAT DV=12.5\r\nAT RPM=20000\r\nAT MPH=255\r\nAT CN=12\r\nAT HZVSMPH=0.2500\r\n"},
        {"--lowercase --bad-checksum 2", ask,
         "ack idc28765432100c0\r\nat fw=0.5n\r\nat dv=13.8\r\nat rpm=650\r\nat mph=0\r\nat "
         "cn=7\r\nat hzvsmph=1.7881\r\n"},
        {"--drive", "AT RALL\r\n",
         "AT DV=13.8\r\nAT RPM=" + std::to_string(drive.rpm) +
             "\r\nAT MPH=" + std::to_string(drive.mph) + "\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n"},
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
            out += device.Receive(Span(std::string_view(&byte, 1)), 20.0);
        }
        EXPECT_EQ(out, answer) << args << ' ' << testing::PrintToString(wire);
    }
    const SimOptions o = Parse("--flood --noise --silent-after 1 --hangup-after 2.5").options;
    EXPECT_EQ(std::tuple(o.flood, o.device.noise, o.silentAfterMs, o.hangupAfterMs),
              std::tuple(true, true, 1000u, 2500u));
}

TEST(SimOptions, RefusesEachFaultOnItsOwn) {
    for (const char* args :
         {"--bogus", "--serial", "--serial 4294967296", "--code 0x100", "--product J1939-004",
          "--cylinders 0", "--cylinders 13", "--mph 256", "--hz 0.2499", "--hz 1.23456",
          "--firmware 0.5N\x7F", "--drive=1", "--port COM1", "--link-beside /x/ZK4 --port COM31",
          "--link-beside /x/ZK4 --port COM01", "--product J1939-001 --code 0x2A",
          "--hangup-after soon", "--silent-after 86400.001", "--flood --stream"}) {
        EXPECT_NE(Parse(args).error, "") << args;
    }
    EXPECT_NE(Parse("--firmware F" + std::string(64, 'F')).error, "");
}

TEST(SimProcess, LinkedPortAnswersAndTheTraceHoldsEveryByteInOrder) {
    namespace fs = std::filesystem;
    zk4::test::TempDir tmp;
    const std::string link = tmp / "ports/COM2";
    fs::create_directories(tmp.Path() / "ports");
    fs::create_symlink("/dev/pts/no-such-terminal", link);  // left by an earlier run
    zk4::test::SimProcess sim(tmp / "ZK4", "COM2", {"--log", tmp / "log"});
    EXPECT_EQ(fs::read_symlink(link), sim.slavePath);

    // Raw mode is the simulator's doing: the test opens the terminal as it finds it.
    std::FILE* port = std::fopen(link.c_str(), "r+");
    const std::string sent = "AT ID?\r\nAT FW=?\r\n";
    const std::string answers = "ACK IDC28765432100B0\r\nAT FW=0.5N\r\n";
    ASSERT_TRUE(port && std::fputs(sent.c_str(), port) >= 0 && std::fflush(port) == 0);
    char got[2][64] = {};
    ASSERT_TRUE(std::fgets(got[0], 64, port) && std::fgets(got[1], 64, port));
    EXPECT_EQ(std::string(got[0]) + got[1], answers);
    std::fclose(port);
    const int status = sim.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::is_symlink(link));

    // Both directions, in order and in time order.
    std::istringstream log(zk4::test::ReadFile(tmp / "log"));
    std::string line, both[2];
    std::int64_t last = 0;
    while (std::getline(log, line)) {
        const auto parsed = zk4::ParseTraceLine(line);
        ASSERT_TRUE(parsed && parsed->us >= std::exchange(last, parsed->us)) << line;
        both[parsed->kind == zk4::TraceKind::HostToDevice] += parsed->bytes;
    }
    EXPECT_EQ(both[1] + both[0], sent + answers);
}

TEST(SimProcess, BadOptionsExitWithCode2AndHelpWithCode0) {
    for (const auto& [args, code, says] : {std::tuple("--bogus", 2, "Try 'zk4-sim --help'"),
                                           {"--serial x", 2, "Try 'zk4-sim --help'"},
                                           {"--help", 0, "--hangup-after SECONDS"}}) {
        const std::string command = std::string("out=$(" ZK4_SIM_EXECUTABLE " ") + args +
                                    " 2>&1); [ $? = " + std::to_string(code) +
                                    " ] && echo \"$out\" | grep -qF -- \"" + says + "\"";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
    }
}

}  // namespace
}  // namespace zk4sim
