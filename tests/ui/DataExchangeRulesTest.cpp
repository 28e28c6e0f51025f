#include "ui/DataExchangeRules.h"

#include <gtest/gtest.h>

#include "protocol/HostCommands.h"

namespace zk4 {
namespace {

// Hz-per-MPH entries as the save direction takes them: the value kept, shown again with 15
// significant digits, "!" after it when out of range; "-" when not a number. Only the first 31
// characters are read.
TEST(DataExchangeRules, EntriesAreParsedRangeCheckedShownAndFoundInTheLists) {
    const auto kept = [](const std::string& entry) {
        const auto v = ParseDialogNumber(entry);
        return v ? FormatDialogNumber(*v) + (HzPerMphInRange(*v) ? "" : "!") : "-";
    };
    const std::pair<const char*, const char*> numbers[] = {
        {"2.5", "2.5"},   {" 2.5 ", "2.5"},      {"\t2.5\t", "2.5"}, {"0.25", "0.25"},
        {".5", "0.5"},    {"+3", "3"},           {"1e1", "10"},      {"99.9999", "99.9999"},
        {"0", "0!"},      {"0.2499", "0.2499!"}, {"100", "100!"},    {"-5", "-5!"},
        {"1e400", "inf!"}};
    for (const auto& [entry, shown] : numbers) {
        EXPECT_EQ(kept(entry), shown) << entry;
    }
    for (const char* entry : {"", "abc", "2.5x", "-0", "2 5", "inf", "nan", "0x10", "1e", "1,5"}) {
        EXPECT_EQ(kept(entry), "-") << entry;
    }
    EXPECT_EQ(kept("2.50000000000000000000000000000x"), "2.5");
    EXPECT_EQ(kept("0.33333333333333333"), "0.333333333333333");
    EXPECT_EQ(RangeMessage(kHzPerMphMin, kHzPerMphMax).English(),
              "Please enter a number between 0.25 and 99.9999.");
    // The serial number box: digits end where the text ends, even inside a longer buffer.
    const std::pair<std::string_view, std::optional<std::uint32_t>> unsignedCases[] = {
        {" 42\t", 42u},
        {"0", 0u},
        {"+7", 7u},
        {"-1", std::nullopt},
        {"4294967296", std::nullopt},
        {"", std::nullopt},
        {std::string_view("123", 2), 12u}};
    for (const auto& [text, value] : unsignedCases) {
        EXPECT_EQ(ParseDialogUnsigned(text), value) << text;
    }

    // Loading a combo box selects the first item that begins with the text.
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
