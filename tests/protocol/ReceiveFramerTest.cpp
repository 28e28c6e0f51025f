#include "protocol/ReceiveFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <string_view>
#include <vector>

namespace zk4 {
namespace {

std::string Text(std::span<const std::uint8_t> bytes) {
    return {bytes.begin(), bytes.end()};
}

std::span<const std::uint8_t> Span(std::string_view text) {
    return {reinterpret_cast<const std::uint8_t*>(text.data()), text.size()};
}

std::string Repeat(std::string_view text, int times) {
    std::string out;
    for (int i = 0; i < times; ++i) {
        out += text;
    }
    return out;
}

const std::string kDigits150 = Repeat("0123456789", 15);

struct FramerCase {
    std::string name;
    std::vector<std::string> chunks;
    std::vector<std::string> lines;  // handed over, in order
    std::string rest;                // left in the window afterwards
};

std::vector<std::string> Bytewise(std::string_view text) {
    std::vector<std::string> out;
    for (const char c : text) {
        out.emplace_back(1, c);
    }
    return out;
}

TEST(ReceiveFramer, JoinsRestartsAndCompletesLines) {
    const std::string id = "ACK IDA2100000000003\r\n";
    const std::string dv = "AT DV=12.6\r\n";
    const std::vector<FramerCase> cases = {
        {"line one byte per chunk is handed over once", Bytewise(dv), {dv}, ""},
        {"two and a half lines; the half is completed by the next chunk",
         {"AT RPM=1500\r\nAT MPH=55\r\nAT C", "N=4\r\n"},
         {"AT RPM=1500\r\n", "AT MPH=55\r\n", "AT CN=4\r\n"},
         ""},
        {"partial line stays in the window", {dv + "AT MP"}, {dv}, "AT MP"},
        {"three stray bytes before ACK", {"xyz" + id}, {id}, ""},
        {"lower-case t at position 1 does not guard", {"qtz" + id}, {id}, ""},
        {"T at position 1 guards ACK", {"qTz" + id}, {"QTZ" + id}, ""},
        {"space at position 2 guards ACK", {"x1 " + id}, {"X1 " + id}, ""},
        {"window beginning A guards ACK", {"AT MP" + id}, {"AT MP" + id}, ""},
        {"two stray bytes before AT", {"xy" + dv}, {dv}, ""},
        {"lower-case at token keeps the byte after it", {"xyat dv=12.6\r\n"}, {dv}, ""},
        {"one stray byte: own space guards AT", {"x" + dv}, {"X" + dv}, ""},
        {"C at position 1 guards AT", {"xC" + dv}, {"XC" + dv}, ""},
        {"window beginning A guards AT", {"Ax" + dv}, {"AX" + dv}, ""},
        {"4-byte line joins the next", {"AT\r\n", dv}, {"AT\r\n" + dv}, ""},
        {"overlong run keeps the newest 100 bytes",
         {kDigits150, "\r\n"},
         {kDigits150.substr(52) + "\r\n"},
         ""},
        {"lines are upper-cased, values included",
         {"at fw=0.5n7\r\nack ida2100000000003\r\n"},
         {"AT FW=0.5N7\r\n", id},
         ""},
        {"chunk above 2048 bytes is framed in full",
         {Repeat(dv, 300)},
         std::vector<std::string>(300, dv),
         ""},
    };
    for (const FramerCase& c : cases) {
        SCOPED_TRACE(c.name);
        RxWindow window;
        std::vector<std::string> lines;
        for (const std::string& chunk : c.chunks) {
            FrameBytes(window, Span(chunk),
                       [&](const RxWindow& w) { lines.push_back(Text(w.Line())); });
        }
        EXPECT_EQ(lines, c.lines);
        EXPECT_EQ(Text(window.Line()), c.rest);
    }
}

// A modal box opened while handling a line frames further bytes into the same window.
TEST(ReceiveFramer, LineCompletedInNestedLoopCarriesTheOuterLineAndOuterReturnEmptiesWindow) {
    const std::string id = "ACK IDA2100000000003\r\n";
    RxWindow window;
    std::vector<std::string> lines;
    LineHandler handler = [&](const RxWindow& w) {
        lines.push_back(Text(w.Line()));
        if (lines.size() == 1) {
            FrameBytes(window, Span("AT DV=12.6\r\nAT RP"), handler);
            EXPECT_EQ(Text(window.Line()), "AT RP");
        }
    };
    FrameBytes(window, Span(id + "AT MPH=55\r\nAT C"), handler);

    const std::vector<std::string> expected = {id, id + "AT DV=12.6\r\n", "AT MPH=55\r\n"};
    EXPECT_EQ(lines, expected);
    EXPECT_EQ(Text(window.Line()), "AT C");
}

}  // namespace
}  // namespace zk4
