// Sentences with places.
#include <gtest/gtest.h>

#include "text/UserText.h"

namespace zk4 {
namespace {

TEST(UserText, PlacesAreFilledOnceAndInOrder) {
    const std::vector<std::string> args = {"COM3", "%2", "é"};
    const std::pair<const char*, std::string> cases[] = {
        {"Cannot open %1: %2.", "Cannot open COM3: %2."},  // an argument is not filled again
        {"%3%1", "éCOM3"},
        {"%4 and %0 stay, 100% too", "%4 and %0 stay, 100% too"},
        {"ends with %", "ends with %"},
    };
    for (const auto& [pattern, filled] : cases) {
        EXPECT_EQ(FillPlaces(pattern, args), filled) << pattern;
    }
    EXPECT_EQ((UserText{"%1 reports %2", {"it", "7"}}).English(), "it reports 7");
}

TEST(UserText, DeviceBytesBecomeUtf8) {
    EXPECT_EQ(Latin1ToUtf8(std::string("A\xE9\xFF", 3)), "A\xC3\xA9\xC3\xBF");
}

}  // namespace
}  // namespace zk4
