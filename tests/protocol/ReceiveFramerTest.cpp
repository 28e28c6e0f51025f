#include "protocol/ReceiveFramer.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace zk4 {
namespace {

const std::string kId = "ACK IDA2100000000003\r\n";
const std::string kDv = "AT DV=12.6\r\n";
const std::string kRun150 =
    "012345678901234567890123456789012345678901234567890123456789012345678901234"
    "567890123456789012345678901234567890123456789012345678901234567890123456789";

struct FramerCase {
    const char* name;
    std::string wire;
    std::vector<std::string> lines;  // handed over, in order
    std::string rest;                // left in the window afterwards
};

const FramerCase kCases[] = {
    {"two lines and a part", "AT MPH=5\r\n" + kDv + "AT C", {"AT MPH=5\r\n", kDv}, "AT C"},
    {"three stray bytes before ACK", "xyz" + kId, {kId}, ""},
    {"lower-case t at position 1 does not guard ACK", "qtz" + kId, {kId}, ""},
    {"T at position 1 guards ACK", "qTz" + kId, {"QTZ" + kId}, ""},
    {"space at position 2 guards ACK", "x1 " + kId, {"X1 " + kId}, ""},
    {"window beginning A guards ACK", "AT MP" + kId, {"AT MP" + kId}, ""},
    {"two stray bytes before AT", "xy" + kDv, {kDv}, ""},
    {"lower-case at token keeps the byte after it", "xyat dv=12.6\r\n", {kDv}, ""},
    {"one stray byte: the token's own space guards AT", "x" + kDv, {"X" + kDv}, ""},
    {"C at position 1 guards AT", "xC" + kDv, {"XC" + kDv}, ""},
    {"window beginning A guards AT", "Ax" + kDv, {"AX" + kDv}, ""},
    {"a 4-byte line is never completed and joins the next", "AT\r\n" + kDv, {"AT\r\n" + kDv}, ""},
    {"newest 100 bytes of a run", kRun150 + "\r\n", {kRun150.substr(52) + "\r\n"}, ""},
    {"upper-cased", "at fw=0.5n7\r\nack ida2100000000003\r\n", {"AT FW=0.5N7\r\n", kId}, ""},
};

// One byte per call, as the port may deliver them: the window carries everything between calls.
TEST(ReceiveFramer, HandsOverCompleteLinesAndKeepsTheRest) {
    for (const FramerCase& c : kCases) {
        RxWindow window;
        std::vector<std::string> lines;
        for (const char byte : c.wire) {
            FrameByte(window, static_cast<std::uint8_t>(byte), [&](const RxWindow& w) {
                lines.emplace_back(w.Line().begin(), w.Line().end());
            });
        }
        EXPECT_EQ(lines, c.lines) << c.name;
        EXPECT_EQ(std::string(window.Line().begin(), window.Line().end()), c.rest) << c.name;
    }
}

}  // namespace
}  // namespace zk4
