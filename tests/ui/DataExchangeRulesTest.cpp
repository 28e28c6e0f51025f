#include "ui/DataExchangeRules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "protocol/HostCommands.h"

namespace zk4 {
namespace {

// What the save direction makes of a Hz-per-MPH entry: the value it stores (if any) and the
// message the user gets ("" for none).
struct HzCase {
    const char* entry;
    std::optional<double> stored;
    std::string message;
};

std::string HzMessage(const char* entry, std::optional<double>* stored) {
    *stored = ParseDialogNumber(entry);
    if (!*stored) {
        return std::string(kMsgEnterNumber);
    }
    if (!HzPerMphInRange(**stored)) {
        return RangeMessage(kHzPerMphMin, kHzPerMphMax);
    }
    return "";
}

TEST(DataExchangeRules, HzPerMphEntriesGetTheirMessages) {
    const std::string between = "Please enter a number between 0.25 and 99.9999.";
    const std::string number = "Please enter a number.";
    const HzCase cases[] = {
        {"2.5", 2.5, ""},
        {" 2.5 ", 2.5, ""},
        {"\t2.5\t", 2.5, ""},
        {"0.25", 0.25, ""},
        {"99.9999", 99.9999, ""},
        {".5", 0.5, ""},
        {"1e1", 10.0, ""},
        {"+3", 3.0, ""},
        {"5.", 5.0, ""},
        {"0", 0.0, between},
        {"0.2499", 0.2499, between},
        {"100", 100.0, between},
        {"-5", -5.0, between},
        {"1e400", std::numeric_limits<double>::infinity(), between},
        {"", std::nullopt, number},
        {"abc", std::nullopt, number},
        {"2.5x", std::nullopt, number},
        {"-0", std::nullopt, number},
        {"2 5", std::nullopt, number},
        {"inf", std::nullopt, number},
        {"nan", std::nullopt, number},
        {"0x10", std::nullopt, number},
        {"1e", std::nullopt, number},
        {"1,5", std::nullopt, number},
        // Only the first 31 characters are read: the trailing "x" is never seen.
        {"2.50000000000000000000000000000x", 2.5, ""},
    };
    for (const HzCase& c : cases) {
        SCOPED_TRACE(std::string("entry \"") + c.entry + "\"");
        std::optional<double> stored;
        EXPECT_EQ(HzMessage(c.entry, &stored), c.message);
        ASSERT_EQ(stored.has_value(), c.stored.has_value());
        if (stored) {
            EXPECT_DOUBLE_EQ(*stored, *c.stored);
        }
    }
}

TEST(DataExchangeRules, UnsignedDecimalAcceptsOnlyWholeNonNegativeNumbers) {
    const struct {
        const char* text;
        std::optional<std::uint32_t> value;
    } cases[] = {
        {"0", 0u},
        {" 305419896 ", 305419896u},
        {"4294967295", 4294967295u},
        {"4294967296", {}},
        {"-1", {}},
        {"", {}},
        {"12a", {}},
        {"abc", {}},
        {"\t7", 7u},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        EXPECT_EQ(ParseDialogUnsigned(c.text), c.value);
    }
    EXPECT_EQ(FormatDialogUnsigned(305419896u), "305419896");
    EXPECT_EQ(FormatDialogUnsigned(4294967295u), "4294967295");
}

TEST(DataExchangeRules, NumbersAreShownWithFifteenSignificantDigits) {
    EXPECT_EQ(FormatDialogNumber(1.7881), "1.7881");
    EXPECT_EQ(FormatDialogNumber(0.25), "0.25");
    EXPECT_EQ(FormatDialogNumber(2.5), "2.5");
    EXPECT_EQ(FormatDialogNumber(99.9999), "99.9999");
    EXPECT_EQ(FormatDialogNumber(100), "100");
    EXPECT_EQ(FormatDialogNumber(1.0 / 3.0), "0.333333333333333");
}

TEST(DataExchangeRules, ComboLoadSelectsTheFirstItemThatBeginsWithTheText) {
    const std::vector<std::string> cylinders = {"1", "2", "3", "4",  "5",  "6",
                                                "7", "8", "9", "10", "11", "12"};
    std::vector<std::string> ports;
    for (int i = 1; i <= 30; ++i) {
        ports.push_back("COM" + std::to_string(i));
    }
    EXPECT_EQ(FindComboPrefix(cylinders, "1"), 0);  // "1", not "10"
    EXPECT_EQ(FindComboPrefix(cylinders, "10"), 9);
    EXPECT_EQ(FindComboPrefix(cylinders, "4"), 3);
    EXPECT_EQ(FindComboPrefix(cylinders, "13"), -1);
    EXPECT_EQ(FindComboPrefix(ports, "COM1"), 0);
    EXPECT_EQ(FindComboPrefix(ports, "com5"), 4);
    EXPECT_EQ(FindComboPrefix(ports, "COM3"), 2);
    EXPECT_EQ(FindComboPrefix(ports, "COM31"), -1);
    EXPECT_EQ(FindComboPrefix(ports, "COM 3"), -1);
}

}  // namespace
}  // namespace zk4
