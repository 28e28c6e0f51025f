// The serial layer's parts that need no device: pacing against a fake clock, line settings,
// failure sentences, port names and the wire trace.
#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <filesystem>

#include "serial/LineSettings.h"
#include "serial/PortFailures.h"
#include "serial/PortNames.h"
#include "serial/PosixTty.h"
#include "serial/SendPaced.h"
#include "serial/TracingSerialPort.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

constexpr std::uint32_t kTop = 0xFFFFFFFFu;

// The counter moves per reading (step) or per nap (napStep): the wait ends at the first reading
// of start + ms or beyond, or below start (the counter wrapped), at once when start + ms wraps
// past zero, and naps between every two readings. The two-step pause is the ms = 2 rows.
// Each row: start, ms, step, napStep, the reading that ends the wait, and the readings taken
// (the start reading included).
TEST(WaitMilliseconds, EndsAtStartPlusMsOrWhenTheCounterWraps) {
    const std::uint32_t cases[][6] = {
        {1000, 2, 1, 0, 1002, 3},         {1000, 15, 0, 1, 1015, 17},
        {1000, 2, 0, 3, 1003, 3},         {1000, 15, 2, 3, 1017, 5},
        {kTop - 15, 15, 1, 0, kTop, 16},  {kTop - 14, 15, 1, 0, kTop - 13, 2},
        {kTop - 1, 2, 0, 1, kTop - 1, 2}, {kTop, 5, 1, 0, 0, 2},
        {kTop - 3, 2, 0, 4, 0, 3}};
    for (const auto& [start, ms, step, napStep, last, reads] : cases) {
        SCOPED_TRACE(std::to_string(start) + " + " + std::to_string(ms));
        test::FakeClock clock(start, step, napStep);
        WaitMilliseconds(clock, ms);
        EXPECT_EQ(std::tuple(clock.last, clock.reads, clock.naps),
                  std::tuple(last, int(reads), int(reads) - 2));
    }
}

// A line feed before the end does not end the line.
TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    const std::string line = "AB\nCD\r\n";
    test::FakeClock clock(5000, 1);
    test::FakeSerialPort port(&clock);
    port.open = true;
    SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>(line.data()), 7);
    ASSERT_TRUE(port.WrittenText() == line && port.writeCalls == 7) << port.WrittenText();
    for (std::uint32_t i = 0; i <= 7; ++i) {  // t0, t0 + 1, t0 + 2: three readings per byte
        EXPECT_EQ(i < 7 ? port.written[i].at : clock.now, 5000 + 3 * i) << "byte " << i;
    }
}

TEST(ParseLineSettings, AcceptsBaudParityDataBitsStopBits) {
    for (const auto& [text, settings] : std::vector<std::pair<std::string, LineSettings>>{
             {"115200,n,8,1", {115200, Parity::None, 8, StopBits::One}},
             {"9600,E,7,2", {9600, Parity::Even, 7, StopBits::Two}},
             {"300,o,5,1.5", {300, Parity::Odd, 5, StopBits::OneAndHalf}},
             {"2400,m,6,1", {2400, Parity::Mark, 6, StopBits::One}},
             {"1200,S,8,1", {1200, Parity::Space, 8, StopBits::One}}}) {
        EXPECT_EQ(ParseLineSettings(text), settings) << text;
    }
    for (const char* text : {"", "115200,n,8", "115200,n,8,1,", " 115200,n,8,1", "+9600,n,8,1",
                             "0,n,8,1", "99999999999,n,8,1", "115200,no,8,1", "115200,n,4,1",
                             "115200,n,9,1", "115200,n,8,3", "115200,n,8,1.0"}) {
        EXPECT_EQ(ParseLineSettings(text), std::nullopt) << text;
    }
}

// Each row holds the part of the sentence that tells the causes apart: the sentences that take a
// detail, and those met first (a missing device, one in use, a pulled adapter).
TEST(FailureSentence, OneSentencePerCauseNamingThePortTheDeviceAndTheRemedy) {
    using enum PortFailure;
    const std::tuple<PortFailure, std::string, std::string> rows[] = {
        {NotExist, "", "open COM7 (/dev/ttyUSB6): the device does not exist. Check"},
        {InUse, "4321", "the port is in use by another program (process 4321)."},
        {LockFailed, "I/O error", "open COM7 (/dev/ttyUSB6): cannot lock the device: I/O error."},
        {SettingsRefusedAtOpen, "Bad", "): the device does not accept the settings 9600,e,7,1 ("},
        {InvalidSettings, "", "Invalid serial settings \"9600,e,7,1\": expected baud rate"},
        {Disconnected, "", "write to COM7 (/dev/ttyUSB6): the device was disconnected. Check"},
        {WriteFailed, "Broken pipe", "Cannot write to COM7 (/dev/ttyUSB6): Broken pipe."},
    };
    for (const auto& [cause, detail, part] : rows) {
        EXPECT_THAT(FailureSentence(cause, "COM7", "/dev/ttyUSB6", detail, "9600,e,7,1").English(),
                    testing::HasSubstr(part));
    }
}

// A lock file's pid is its leading spaces then up to ten digits; a port name counts only as
// exactly COM1 to COM30, anything else is no port (0 here); a name may still be being typed.
TEST(NumbersFromText, LockFilePidAndPortNumberFromName) {
    const std::pair<std::string, long> pids[] = {
        {"      1234\n", 1234},      {"5 6\n", 5}, {"", 0}, {"x12", 0}, {"12x3", 12},
        {"12345678901", 1234567890},
    };
    for (const auto& [text, pid] : pids) {
        EXPECT_EQ(LockFilePid(text), pid) << '"' << text << '"';
    }
    const std::tuple<std::string, int, bool> ports[] = {
        {"COM1", 1, true},   {"COM9", 9, true},    {"COM10", 10, true}, {"COM30", 30, true},
        {"COM31", 0, false}, {"COM0", 0, false},   {"com5", 0, false},  {"COM05", 0, false},
        {"", 0, true},       {"COM 3", 0, false},  {"COM3 ", 0, false}, {"COM", 0, true},
        {"CO", 0, true},     {"COM300", 0, false}, {"XCOM4", 0, false}, {"/dev/ttyUSB3", 0, false},
    };
    for (const auto& [name, number, typing] : ports) {
        EXPECT_EQ(std::tuple(PortNumberFromName(name).value_or(0), StartsAPortName(name)),
                  std::tuple(number, typing))
            << '"' << name << '"';
    }
}

// The first folder with a link wins; the link is resolved all the way, or to what it names
// when that is missing; without a link, the fixed table.
TEST(DeviceForPort, FirstFolderWithALinkWinsElseTheFixedTable) {
    test::TempDir temp;
    const fs::path root = fs::canonical(temp.Path());
    const std::string p = root / "ports", u = root / "user";
    const auto after = [&](const std::string& row) {  // the text after the space; "~" is root
        const std::string text = row.substr(row.find(' ') + 1);
        return text[0] == '~' ? root.string() + text.substr(1) : text;
    };
    fs::create_directories(p);
    fs::create_directories(u);
    test::WriteFile(root / "ttyReal", "x");
    test::WriteFile(p + "/COM22", "x");  // a plain file stands for itself
    // Relative to its folder, resolved all the way, unplugged, hidden by ports/COM4.
    for (const std::string link :
         {"by-id-link ~/ttyReal", "ports/COM4 ../ttyReal", "ports/COM5 ~/by-id-link",
          "ports/COM12 /nonexistent-zk4/usb", "ports/COM13 gone/ttyUSB7", "user/COM4 /dev/null",
          "user/COM6 ../ttyReal"}) {
        fs::create_symlink(after(link), root / link.substr(0, link.find(' ')));
    }
    // A port number, then its device.
    for (const std::string row :
         {"4 ~/ttyReal", "5 ~/ttyReal", "6 ~/ttyReal", "12 /nonexistent-zk4/usb",
          "13 ~/ports/gone/ttyUSB7", "22 ~/ports/COM22", "10 /dev/ttyUSB9", "11 /dev/ttyACM0",
          "21 /dev/ttyS0", "30 /dev/ttyS9", "31 /dev/ttyUSB0"}) {
        EXPECT_EQ(DeviceForPort(std::stoi(row), {p, u}), after(row)) << row;
    }
}

void Write(SerialPort& port, std::string_view text) {
    port.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// The trace clock starts at 1000 ms and moves 1.5 ms at every reading. The buffer (600 bytes)
// takes the short lines but not the long write, which is counted as lost.
TEST(TracingSerialPort, TracesWhatPassesAtDestructionOrSaysWhyItCannot) {
    test::TempDir dir;
    test::FakeSerialPort inner;
    std::int64_t us = 1'000'000;
    auto opened = TracingSerialPort::OpenTrace(
        inner, dir / "trace", [&us] { return std::exchange(us, us + 1500); }, 600);
    ASSERT_TRUE(opened.port) << opened.error;
    SerialPort& port = *opened.port;
    port.SelectPort(7);
    inner.refuseOpen = "COM7 is in use.";
    EXPECT_THROW(port.Open(), SerialError);
    EXPECT_THROW(Write(port, "AT\r\n"), SerialError);
    inner.refuseOpen.reset();
    port.Open();
    Write(port, "AT ID?\r\n");
    port.ReadAll();
    inner.pending = {'A', 'C', 'K', 0x00, '\r', '\n'};
    EXPECT_EQ(port.ReadAll().size(), 6u);
    Write(port, std::string(200, 'x'));
    port.Close();
    EXPECT_EQ(test::ReadFile(dir / "trace"), "") << "written to the file before its time";
    opened.port.reset();
    EXPECT_EQ(test::ReadFile(dir / "trace"),
              "1000.000 -- COM7 not opened: COM7 is in use.\n"
              "1001.500 -- write refused: The port is not open.\n1003.000 -- COM7 opened\n"
              "1004.500 H>D AT ID?\\r\\n\n1006.000 D>H ACK\\x00\\r\\n\n"
              "1009.000 -- 1 lines lost here: the trace file did not keep up\n"
              "1009.000 -- COM7 closed\n1010.500 -- trace ends\n");
    EXPECT_EQ(
        TracingSerialPort::OpenTrace(inner, dir / "missing/trace").error,
        "Cannot write the trace to " + dir / "missing/trace" + ": No such file or directory.");
}

}  // namespace
}  // namespace zk4
