#include "protocol/WireTrace.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <ostream>
#include <string>

namespace zk4 {
namespace {

struct Row {
    const char* name;
    TraceLine line;
    std::string text;
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class WireTraceRoundTrip : public testing::TestWithParam<Row> {};

TEST_P(WireTraceRoundTrip, FormatsAndParsesBack) {
    const Row& row = GetParam();
    std::string out;
    AppendTraceLine(out, row.line.us, row.line.kind, row.line.bytes);
    EXPECT_EQ(out, row.text);
    EXPECT_EQ(ParseTraceLine(out), row.line);
}

INSTANTIATE_TEST_SUITE_P(
    Lines, WireTraceRoundTrip,
    testing::Values(
        Row{"Command",
            {8523417042, TraceKind::HostToDevice, "AT RALL\r\n"},
            "8523417.042 H>D AT RALL\\r\\n\n"},
        Row{"Answer",
            {5, TraceKind::DeviceToHost, "AT DV=13.8\r\nAT RPM=650\r\n"},
            "0.005 D>H AT DV=13.8\\r\\nAT RPM=650\\r\\n\n"},
        Row{"Note", {1000, TraceKind::Note, "COM3 opened"}, "1.000 -- COM3 opened\n"},
        Row{"EscapesAndSpaces",
            {120, TraceKind::HostToDevice, std::string(" \\\t\0\x7F\x80\xFF x ", 10)},
            "0.120 H>D  \\\\\\t\\x00\\x7F\\x80\\xFF x \n"},
        Row{"Empty", {0, TraceKind::DeviceToHost, ""}, "0.000 D>H \n"},
        Row{"Latest", {INT64_MAX, TraceKind::Note, "x"}, "9223372036854775.807 -- x\n"}),
    [](const auto& info) { return std::string(info.param.name); });

TEST(WireTrace, EveryByteComesBackFromAPrintableLine) {
    std::string all;
    for (int b = 0; b < 256; ++b) {
        all += static_cast<char>(b);
    }
    std::string out;
    AppendTraceLine(out, -7, TraceKind::DeviceToHost, all);
    EXPECT_EQ(ParseTraceLine(out), (TraceLine{0, TraceKind::DeviceToHost, all}));
    EXPECT_EQ(out.back(), '\n');
    EXPECT_TRUE(
        std::all_of(out.begin(), out.end() - 1, [](char c) { return c >= 0x20 && c < 0x7F; }));
}

TEST(WireTrace, RejectsWhatItDoesNotWrite) {
    for (const char* line :
         {"", "12 H>D x", "12.34 H>D x", "12.345H>D x", "-1.000 H>D x", "+1.000 H>D x",
          "1.0a0 H>D x", "1.000 HD x", "1.000 H>D", "1.000  x", "1.000 H>D \\q", "1.000 H>D \\",
          "1.000 H>D \\x4", "1.000 H>D \\xG0", "1.000 H>D a\tb", "1.000 H>D \xC3\xA9",
          "1.000 H>D x\n\n", "9223372036854775.808 H>D x"}) {
        EXPECT_EQ(ParseTraceLine(line), std::nullopt) << line;
    }
    EXPECT_EQ(ParseTraceLine("1.000 D>H \\x0a")->bytes, "\n");  // lower-case hex is read too
}

}  // namespace
}  // namespace zk4
