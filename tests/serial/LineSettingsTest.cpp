#include <gtest/gtest.h>

#include <optional>
#include <string>
#include <vector>

#include "serial/LineSettings.h"

namespace zk4 {
namespace {

TEST(ParseLineSettings, AcceptsBaudParityDataBitsStopBits) {
    struct Case {
        std::string text;
        std::optional<LineSettings> parsed;
    };
    const std::vector<Case> cases = {
        {"115200,n,8,1", LineSettings{115200, Parity::None, 8, StopBits::One}},
        {"9600,E,7,2", LineSettings{9600, Parity::Even, 7, StopBits::Two}},
        {"300,o,5,1.5", LineSettings{300, Parity::Odd, 5, StopBits::OneAndHalf}},
        {"2400,m,6,1", LineSettings{2400, Parity::Mark, 6, StopBits::One}},
        {"1200,S,8,1", LineSettings{1200, Parity::Space, 8, StopBits::One}},
        {"", std::nullopt},
        {"115200", std::nullopt},
        {"115200,n,8", std::nullopt},
        {"115200,n,8,1,", std::nullopt},
        {"115200,n,8,1,1", std::nullopt},
        {"115200, n,8,1", std::nullopt},
        {" 115200,n,8,1", std::nullopt},
        {"+9600,n,8,1", std::nullopt},
        {"0,n,8,1", std::nullopt},
        {"-9600,n,8,1", std::nullopt},
        {"99999999999,n,8,1", std::nullopt},
        {"115200,x,8,1", std::nullopt},
        {"115200,no,8,1", std::nullopt},
        {"115200,,8,1", std::nullopt},
        {"115200,n,4,1", std::nullopt},
        {"115200,n,9,1", std::nullopt},
        {"115200,n,88,1", std::nullopt},
        {"115200,n,8,0", std::nullopt},
        {"115200,n,8,3", std::nullopt},
        {"115200,n,8,1.0", std::nullopt},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE("\"" + c.text + "\"");
        EXPECT_EQ(ParseLineSettings(c.text), c.parsed);
    }
}

}  // namespace
}  // namespace zk4
