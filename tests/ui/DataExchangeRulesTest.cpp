#include "ui/DataExchangeRules.h"

#include <gtest/gtest.h>

namespace zk4 {
namespace {

// Number entries as the save direction reads them and shows them again (15 significant digits;
// "-": not a number; only the first 31 characters are read), the serial number box ("-": refused;
// its digits end where the text ends, even inside a longer buffer), and the first item of a
// combo box's list that begins with the text (-1: none). The range checks are the command line's
// and the window's tests'.
TEST(DataExchangeRules, EntriesAreParsedShownAgainAndFoundInTheLists) {
    const auto number = [](std::string_view entry) {
        const auto value = ParseDialogNumber(entry);
        return value ? FormatDialogNumber(*value) : "-";
    };
    const std::pair<const char*, const char*> numbers[] = {
        {"\t2.5 ", "2.5"}, {".5", "0.5"},   {"+3", "3"}, {"1e1", "10"}, {"-5", "-5"}, {"0", "0"},
        {"1e400", "inf"},  {"1e-400", "-"}, {"-0", "-"}, {"", "-"},     {"1e", "-"},  {"1,5", "-"}};
    for (const auto& [entry, shown] : numbers) {
        EXPECT_EQ(number(entry), shown) << entry;
    }
    EXPECT_EQ(number("0.33333333333333333"), "0.333333333333333");
    EXPECT_EQ(number("2.50000000000000000000000000000x"), "2.5");
    const std::pair<std::string_view, const char*> serials[] = {
        {" 42\t", "42"}, {"0", "0"},          {"+7", "7"},
        {"-1", "-"},     {"4294967296", "-"}, {{"123", 2}, "12"}};
    for (const auto& [text, shown] : serials) {
        const auto value = ParseDialogUnsigned(text);
        EXPECT_EQ(value ? FormatDialogUnsigned(*value) : "-", shown) << text;
    }
    const std::vector<std::string> items = {"1", "2", "10", "12", "COM1", "COM3", "COM5"};
    const std::pair<const char*, int> prefixes[] = {{"1", 0},    {"10", 2},     {"13", -1},
                                                    {"com5", 6}, {"COM31", -1}, {"COM 3", -1}};
    for (const auto& [text, index] : prefixes) {
        EXPECT_EQ(FindComboPrefix(items, text), index) << text;
    }
}

}  // namespace
}  // namespace zk4
