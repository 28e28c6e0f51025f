// The serial layer's Qt-free parts: pacing against a fake clock, line settings and port names.
#include <gtest/gtest.h>

#include <filesystem>
#include <tuple>

#include "serial/LineSettings.h"
#include "serial/PortNames.h"
#include "serial/SendPaced.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

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
        test::FakeClock clock(start, step, napStep);
        WaitMilliseconds(clock, ms);
        EXPECT_EQ(std::tuple(clock.last, clock.reads, clock.naps),
                  std::tuple(last, int(reads), int(reads) - 2))
            << start << " + " << ms;
    }
}

// A line feed before the end does not end the line.
TEST(SendPaced, WritesEachByteAloneThenWaitsTwoCounterSteps) {
    test::FakeClock clock(5000, 1);
    test::FakeSerialPort port(&clock);
    port.open = true;
    SendPaced(port, clock, reinterpret_cast<const std::uint8_t*>("AB\nCD\r\n"), 7);
    ASSERT_EQ(std::tuple(port.WrittenText(), port.writeCalls), std::tuple("AB\nCD\r\n", 7));
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

// A port name counts only as exactly COM1 to COM30, anything else is no port (0 here); a name
// may still be being typed.
TEST(PortNumberFromName, ExactlyCom1ToCom30ElseNoPort) {
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
    if (!test::PosixSystem()) {  // Windows: the COM name itself, whatever is in the folders
        for (const auto& [number, name] : {std::pair(5, "COM5"), {30, "COM30"}, {31, "COM1"}}) {
            EXPECT_EQ(DeviceForPort(number, {temp / "ports"}), name) << number;
        }
        return;
    }
    const fs::path root = fs::canonical(temp.Path());
    const std::string p = (root / "ports").string(), u = (root / "user").string();
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
          "ports/COM13 gone/ttyUSB7", "user/COM4 /dev/null", "user/COM6 ../ttyReal"}) {
        fs::create_symlink(after(link), root / link.substr(0, link.find(' ')));
    }
    // A port number, then its device.
    for (const std::string row :
         {"4 ~/ttyReal", "5 ~/ttyReal", "6 ~/ttyReal", "13 ~/ports/gone/ttyUSB7",
          "22 ~/ports/COM22", "10 /dev/ttyUSB9", "11 /dev/ttyACM0", "21 /dev/ttyS0",
          "30 /dev/ttyS9", "31 /dev/ttyUSB0"}) {
        EXPECT_EQ(DeviceForPort(std::stoi(row), {p, u}), after(row)) << row;
    }
}

}  // namespace
}  // namespace zk4
