#include "protocol/WireTrace.h"

#include <gtest/gtest.h>

#include <string>

namespace zk4 {
namespace {

TEST(WireTrace, LinesAreWrittenAsDocumentedAndParseBack) {
    const std::pair<TraceLine, std::string> cases[] = {
        {{8523417042, TraceKind::HostToDevice, "AT RALL\r\n"}, "8523417.042 H>D AT RALL\\r\\n\n"},
        {{5, TraceKind::DeviceToHost, "AT DV=13.8\r\n"}, "0.005 D>H AT DV=13.8\\r\\n\n"},
        {{1000, TraceKind::Note, "COM3 opened"}, "1.000 -- COM3 opened\n"},
        {{120, TraceKind::HostToDevice, std::string(" \\\t\0\x7F\x80\xFF x ", 10)},
         "0.120 H>D  \\\\\\t\\x00\\x7F\\x80\\xFF x \n"},
        {{0, TraceKind::DeviceToHost, ""}, "0.000 D>H \n"},
        {{INT64_MAX, TraceKind::Note, "x"}, "9223372036854775.807 -- x\n"},
    };
    for (const auto& [line, text] : cases) {
        std::string out;
        AppendTraceLine(out, line.us, line.kind, line.bytes);
        EXPECT_EQ(out, text);
        EXPECT_EQ(ParseTraceLine(out), line) << text;
    }
    std::string out;
    AppendTraceLine(out, -7, TraceKind::Note, "");
    EXPECT_EQ(out, "0.000 -- \n");  // a negative time is written as 0
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
