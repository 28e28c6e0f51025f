#include "protocol/HostCommands.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace zk4 {
namespace {

std::string Text(const HostCommand& command) {
    return {command.bytes.data(), command.bytes.data() + command.length};
}

TEST(HostCommands, CylinderCommandSendsExactTextsOneToTwelveElseFour) {
    const std::pair<const char*, const char*> cases[] = {
        {"7", "7"},  {"1", "1"},  {"9", "9"}, {"10", "10"}, {"12", "12"}, {"0", "4"},
        {"13", "4"}, {"04", "4"}, {"", "4"},  {" 7", "4"},  {"7 ", "4"},  {"x", "4"},
    };
    for (const auto& [text, sent] : cases) {
        EXPECT_EQ(Text(BuildCylinderCommand(text)), "AT CN=" + std::string(sent) + "\r\n")
            << '"' << text << '"';
    }
}

TEST(HostCommands, HzPerMphCommandCutsToFourDecimalsAndNeverEncodesOutOfRange) {
    constexpr double kInf = std::numeric_limits<double>::infinity();
    const std::pair<double, const char*> cases[] = {
        {1.7881, "01.7881"},  {1.15, "01.1500"},     {2.3, "02.3000"},        {2.5, "02.5000"},
        {0.25, "00.2500"},    {99.9999, "99.9999"},  {10.0, "10.0000"},       {7.12345, "07.1234"},
        {1.99998, "01.9999"}, {1.999991, "02.0000"}, {9.999995, "10.0000"},   {59.9, "59.9000"},
        {0.2499, nullptr},    {0.0, nullptr},        {-1.0, nullptr},         {99.99991, nullptr},
        {100.0, nullptr},     {255.5, nullptr},      {std::nan(""), nullptr}, {kInf, nullptr},
        {-kInf, nullptr},
    };
    for (const auto& [value, digits] : cases) {
        const auto command = BuildHzPerMphCommand(value);
        EXPECT_EQ(HzPerMphInRange(value), digits != nullptr) << value;
        EXPECT_EQ(command ? Text(*command) : "none",
                  digits ? "AT HZ=" + std::string(digits) + "\r\n" : "none")
            << value;
    }
}

}  // namespace
}  // namespace zk4
