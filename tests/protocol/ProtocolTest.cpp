// The protocol layer: receive framing, device lines, host commands and the wire trace.
#include <gtest/gtest.h>

#include <cmath>
#include <string>
#include <tuple>
#include <vector>

#include "protocol/DeviceLine.h"
#include "protocol/HostCommands.h"
#include "protocol/ReceiveFramer.h"
#include "protocol/ReportedValues.h"
#include "protocol/WireTrace.h"

namespace zk4 {
namespace {

const std::string kId = "ACK IDA2100000000003\r\n";
const std::string kDv = "AT DV=12.6\r\n";
const std::string kRun150 = std::string(50, '1') + std::string(100, '2');

// One byte per call, as the port may deliver them: the window carries everything between calls.
// The link's tables cover plain lines, partial lines, short lines and the usual stray bytes.
TEST(ReceiveFramer, RestartTokensAndTheirGuards) {
    // Wire, the one line handed over. A lower-case t at position 1 does not guard ACK; a
    // lower-case token keeps the byte after it; a run keeps its newest 100 bytes.
    const std::pair<std::string, std::string> cases[] = {
        {"xyz" + kId, kId},
        {"qtz" + kId, kId},
        {"qTz" + kId, "QTZ" + kId},
        {"x1 " + kId, "X1 " + kId},
        {"AT MP" + kId, "AT MP" + kId},
        {"xyat dv=12.6\r\n", kDv},
        {"xC" + kDv, "XC" + kDv},
        {kRun150 + "\r\n", std::string(98, '2') + "\r\n"}};
    for (const auto& [wire, line] : cases) {
        RxWindow window;
        std::vector<std::string> lines;
        for (const char byte : wire) {
            FrameByte(window, static_cast<std::uint8_t>(byte), [&](const RxWindow& w) {
                lines.emplace_back(w.Line().begin(), w.Line().end());
            });
        }
        EXPECT_EQ(lines, std::vector{line}) << wire;
        EXPECT_EQ(window.count, 0u) << wire;
    }
}

Bytes Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

TEST(DeviceLine, LineKindReportedValueAndTextComeFromTheLineAlone) {
    // `length` cuts the line short inside a longer buffer: bytes beyond it must not match. The
    // key names the reported value ("" for none).
    const std::tuple<std::string_view, std::size_t, LineKind, std::string_view, std::string_view>
        cases[] = {{"AT DV==1 X\r\n", 12, LineKind::Report, "voltage", "=1 X"},
                   {"AT MPH=55\r\n", 11, LineKind::Report, "vehicle_mph", "55"},
                   {"AT HZ=01.7881\r\n", 15, LineKind::Report, "", ""},
                   {"AT HZVSMPH=1\r\n", 10, LineKind::Report, "", ""},
                   {"AT RPM=1500\r\n", 6, LineKind::Report, "", ""},
                   {"ACKID\r\n", 7, LineKind::Ignored, "", ""},
                   {"ATX\r\n", 5, LineKind::Ignored, "", ""},
                   {"AT DV=1\r\n", 0, LineKind::Ignored, "", ""}};
    for (const auto& [buffer, length, kind, key, value] : cases) {
        const Bytes line = Span(buffer).first(length);
        const Report report = ParseReportLine(line);
        EXPECT_EQ(std::tuple(ClassifyLine(line), report.row ? report.row->key : "", report.value),
                  std::tuple(kind, key, value))
            << buffer.substr(0, length);
    }
}

// What recorded rows and the settings check take for a number.
TEST(ReportedValues, NumbersAreDecimalTextsOnly) {
    const std::pair<std::string_view, std::optional<double>> cases[] = {
        {"13.8", 13.8},        {"650", 650.0},
        {"-2", -2.0},          {"02.5000", 2.5},
        {".5", 0.5},           {"7.", 7.0},
        {"", std::nullopt},    {"-", std::nullopt},
        {".", std::nullopt},   {"1.2.3", std::nullopt},
        {" 1", std::nullopt},  {"1e5", std::nullopt},
        {"INF", std::nullopt}, {"NAN", std::nullopt},
        {"+1", std::nullopt},  {std::string_view("12x", 2), 12.0},  // a view ends where it ends
    };
    for (const auto& [text, number] : cases) {
        EXPECT_EQ(ReportedNumber(text), number) << text;
    }
}

TEST(DeviceLine, IdentificationLineIsCheckedAndDecoded) {
    // {high, low, byte}. Characters that are not hex digits still give a defined byte.
    const std::uint8_t pairs[][3] = {
        {'9', 'B', 0x9B}, {'0', 'G', 0x10}, {'1', '/', 0x0F}, {'a', '0', 0xA0}, {0xFF, 0xFF, 0x48}};
    for (const auto& c : pairs) {
        EXPECT_EQ(HexPairToByte(c[0], c[1]), c[2]) << int{c[0]} << ' ' << int{c[1]};
    }
    // Good and bad checksums and the decoding are in the link's tables.
    for (const char* line : {"ACK IDA21000000000003\r\n", "ACK IXA2100000000003\r\n"}) {
        EXPECT_FALSE(IsIdentificationLine(Span(line))) << line;
    }
}

// The product table is checked against the simulator's, code by code (tests/sim).
TEST(DeviceLine, FirmwareGate) {
    // Refusals of a shorter or an older version are in the link's tables.
    for (const auto& [firmware, passes] :
         {std::pair("0.5N7", true), {"", false}, {"0.5n", false}, {" 0.5N", false}}) {
        EXPECT_EQ(FirmwareGatePasses(firmware), passes) << firmware;
    }
}

std::string Text(const HostCommand& command) {
    return {command.bytes.data(), command.bytes.data() + command.length};
}

TEST(HostCommands, SendExactTexts) {
    // Cylinders: "1" to "12" as typed, any other text 4.
    const std::pair<const char*, const char*> typed[] = {{"1", "1"}, {"10", "10"}, {"12", "12"},
                                                         {"0", "4"}, {"13", "4"},  {"04", "4"},
                                                         {"", "4"},  {" 7", "4"},  {"x", "4"}};
    for (const auto& [text, sent] : typed) {
        EXPECT_EQ(Text(BuildCylinderCommand(text)), "AT CN=" + std::string(sent) + "\r\n")
            << '"' << text << '"';
    }
    // Hz per MPH: cut to four decimals after a lift of 0.00001; out of range, no command.
    const std::pair<double, const char*> cases[] = {
        {1.7881, "01.7881"},   {1.15, "01.1500"},       {2.3, "02.3000"},     {0.25, "00.2500"},
        {99.9999, "99.9999"},  {7.12345, "07.1234"},    {1.99998, "01.9999"}, {1.999991, "02.0000"},
        {9.999995, "10.0000"}, {0.2499, nullptr},       {-1.0, nullptr},      {99.99991, nullptr},
        {100.0, nullptr},      {std::nan(""), nullptr}, {HUGE_VAL, nullptr},
    };
    for (const auto& [value, digits] : cases) {
        const auto command = BuildHzPerMphCommand(value);
        EXPECT_EQ(HzPerMphInRange(value), digits != nullptr) << value;
        EXPECT_EQ(command ? Text(*command) : "none",
                  digits ? "AT HZ=" + std::string(digits) + "\r\n" : "none")
            << value;
    }
}

// Ordinary lines are in the tracing port's and the simulator's tests.
TEST(WireTrace, LinesAreWrittenAsDocumented) {
    struct TraceLine {
        std::int64_t us;
        TraceKind kind;
        std::string bytes;
    };
    const std::pair<TraceLine, std::string> cases[] = {
        {{8523417042, TraceKind::HostToDevice, "AT RALL\r\n"}, "8523417.042 H>D AT RALL\\r\\n\n"},
        {{120, TraceKind::HostToDevice, std::string(" \\\t\0\x7F\x80\xFF x ", 10)},
         "0.120 H>D  \\\\\\t\\x00\\x7F\\x80\\xFF x \n"},
        {{0, TraceKind::DeviceToHost, ""}, "0.000 D>H \n"},
        {{INT64_MAX, TraceKind::Note, "x"}, "9223372036854775.807 -- x\n"},
    };
    for (const auto& [line, text] : cases) {
        std::string out;
        AppendTraceLine(out, line.us, line.kind, line.bytes);
        EXPECT_EQ(out, text);
    }
    std::string out;
    AppendTraceLine(out, -7, TraceKind::Note, "");
    EXPECT_EQ(out, "0.000 -- \n");  // a negative time is written as 0
}

}  // namespace
}  // namespace zk4
