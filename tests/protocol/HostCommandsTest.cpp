#include "protocol/HostCommands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

namespace zk4 {
namespace {

std::string Text(const HostCommand& command) {
    const auto view = command.View();
    return {view.begin(), view.end()};
}

TEST(HostCommands, CylinderCommandSendsExactTextsOneToTwelveElseFour) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"7", "AT CN=7\r\n"},   {"1", "AT CN=1\r\n"},   {"9", "AT CN=9\r\n"},
        {"10", "AT CN=10\r\n"}, {"12", "AT CN=12\r\n"}, {"0", "AT CN=4\r\n"},
        {"13", "AT CN=4\r\n"},  {"04", "AT CN=4\r\n"},  {"", "AT CN=4\r\n"},
        {" 7", "AT CN=4\r\n"},  {"7 ", "AT CN=4\r\n"},  {"x", "AT CN=4\r\n"},
    };
    for (const auto& [text, expected] : cases) {
        SCOPED_TRACE("\"" + text + "\"");
        EXPECT_EQ(Text(BuildCylinderCommand(text)), expected);
    }
}

TEST(HostCommands, HzPerMphCommandCutsToFourDecimals) {
    const std::vector<std::pair<double, std::string>> cases = {
        {1.7881, "01.7881"},  {1.15, "01.1500"},     {2.3, "02.3000"},      {2.5, "02.5000"},
        {0.25, "00.2500"},    {99.9999, "99.9999"},  {10.0, "10.0000"},     {7.12345, "07.1234"},
        {1.99998, "01.9999"}, {1.999991, "02.0000"}, {9.999995, "10.0000"}, {59.9, "59.9000"},
    };
    for (const auto& [value, digits] : cases) {
        SCOPED_TRACE(value);
        const auto command = BuildHzPerMphCommand(value);
        ASSERT_TRUE(command.has_value());
        EXPECT_EQ(Text(*command), "AT HZ=" + digits + "\r\n");
    }
}

TEST(HostCommands, HzPerMphOutsideRangeIsNeverEncoded) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    for (const double value :
         {0.2499, 0.0, -1.0, 99.99991, 100.0, 255.5, std::nan(""), kInf, -kInf}) {
        SCOPED_TRACE(value);
        EXPECT_FALSE(HzPerMphInRange(value));
        EXPECT_FALSE(BuildHzPerMphCommand(value).has_value());
    }
}

}  // namespace
}  // namespace zk4
