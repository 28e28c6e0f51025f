#include "ui/DataExchangeRules.h"

#include <gtest/gtest.h>

#include <cmath>

#include "protocol/HostCommands.h"

namespace zk4 {
namespace {

// Hz-per-MPH entries as the save direction takes them: the value kept, then whether it is in
// range; text that is not a number keeps nothing. Only the first 31 characters are read.
TEST(DataExchangeRules, HzPerMphEntriesAreParsedThenRangeChecked) {
    const std::pair<const char*, double> inRange[] = {
        {"2.5", 2.5},   {" 2.5 ", 2.5},       {"\t2.5\t", 2.5},
        {"0.25", 0.25}, {"99.9999", 99.9999}, {".5", 0.5},
        {"1e1", 10.0},  {"+3", 3.0},          {"2.50000000000000000000000000000x", 2.5}};
    const std::pair<const char*, double> outOfRange[] = {
        {"0", 0.0}, {"0.2499", 0.2499}, {"100", 100.0}, {"-5", -5.0}, {"1e400", HUGE_VAL}};
    for (const auto& [entry, value] : inRange) {
        ASSERT_TRUE(ParseDialogNumber(entry)) << entry;
        EXPECT_DOUBLE_EQ(*ParseDialogNumber(entry), value) << entry;
        EXPECT_TRUE(HzPerMphInRange(value)) << entry;
    }
    for (const auto& [entry, value] : outOfRange) {
        EXPECT_EQ(ParseDialogNumber(entry), value) << entry;
        EXPECT_FALSE(HzPerMphInRange(value)) << entry;
    }
    for (const char* entry : {"", "abc", "2.5x", "-0", "2 5", "inf", "nan", "0x10", "1e", "1,5"}) {
        EXPECT_EQ(ParseDialogNumber(entry), std::nullopt) << entry;
    }
    EXPECT_EQ(RangeMessage(kHzPerMphMin, kHzPerMphMax),
              "Please enter a number between 0.25 and 99.9999.");
}

TEST(DataExchangeRules, NumbersAreShownWithFifteenSignificantDigits) {
    const std::pair<double, const char*> cases[] = {{1.7881, "1.7881"},
                                                    {0.25, "0.25"},
                                                    {99.9999, "99.9999"},
                                                    {100, "100"},
                                                    {1.0 / 3.0, "0.333333333333333"}};
    for (const auto& [value, shown] : cases) {
        EXPECT_EQ(FormatDialogNumber(value), shown);
    }
}

TEST(DataExchangeRules, ComboLoadSelectsTheFirstItemThatBeginsWithTheText) {
    const std::vector<std::string> items = {"1", "2", "3", "4", "10", "12", "COM1", "COM3", "COM5"};
    const std::pair<const char*, int> cases[] = {{"1", 0},      {"10", 4},    {"4", 3},
                                                 {"13", -1},    {"COM1", 6},  {"com5", 8},
                                                 {"COM31", -1}, {"COM 3", -1}};
    for (const auto& [text, index] : cases) {
        EXPECT_EQ(FindComboPrefix(items, text), index) << text;
    }
}

}  // namespace
}  // namespace zk4
