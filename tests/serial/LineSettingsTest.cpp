#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "serial/LineSettings.h"

namespace zk4 {
namespace {

TEST(ParseLineSettings, AcceptsBaudParityDataBitsStopBits) {
    const std::vector<std::pair<std::string, LineSettings>> good = {
        {"115200,n,8,1", {115200, Parity::None, 8, StopBits::One}},
        {"9600,E,7,2", {9600, Parity::Even, 7, StopBits::Two}},
        {"300,o,5,1.5", {300, Parity::Odd, 5, StopBits::OneAndHalf}},
        {"2400,m,6,1", {2400, Parity::Mark, 6, StopBits::One}},
        {"1200,S,8,1", {1200, Parity::Space, 8, StopBits::One}},
    };
    for (const auto& [text, settings] : good) {
        EXPECT_EQ(ParseLineSettings(text), settings) << text;
    }
    for (const char* text : {"", "115200,n,8", "115200,n,8,1,", " 115200,n,8,1", "+9600,n,8,1",
                             "0,n,8,1", "99999999999,n,8,1", "115200,no,8,1", "115200,n,4,1",
                             "115200,n,9,1", "115200,n,8,3", "115200,n,8,1.0"}) {
        EXPECT_EQ(ParseLineSettings(text), std::nullopt) << text;
    }
}

}  // namespace
}  // namespace zk4
