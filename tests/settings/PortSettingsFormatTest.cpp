#include "settings/PortSettingsFormat.h"

#include <gtest/gtest.h>

#include <string>

namespace zk4 {
namespace {

struct ParseCase {
    const char* name;
    std::string bytes;
    std::string expected;  // the port, then " save" when a save is requested
};

class ParsePortSettingsTest : public ::testing::TestWithParam<ParseCase> {};

TEST_P(ParsePortSettingsTest, GivesTheLastPortLineAndFlagsMalformedOnes) {
    const PortSetting setting = ParsePortSettings(GetParam().bytes);
    EXPECT_EQ(setting.port + (setting.savePending ? " save" : ""), GetParam().expected);
}

const std::string kLongest(PortSettingsReader::kMaxPortValue, '7');
const std::string kMiB(1 << 20, '5');

// Every line after a good one would change the port if it were taken for a port line.
INSTANTIATE_TEST_SUITE_P(
    Rows, ParsePortSettingsTest,
    ::testing::Values(ParseCase{"NoBytes", "", "COM1"},
                      ParseCase{"OthersSkipped",
                                "COM=6; x\r\n;COM=7;\r\n/COM=7;\r\n COM=7;\r\n\r\nx", "COM6"},
                      ParseCase{"NoSemicolon", "COM=5\r\n", "COM1 save"},
                      ParseCase{"NoValue", "COM;\r\n", "COM1 save"},
                      ParseCase{"BareComAtEnd", "COM", "COM1 save"},
                      ParseCase{"LastLineWins", "COM=3;\r\nCOM=9;\r\n", "COM9"},
                      ParseCase{"SaveRequestOutlivesGoodLine", "COM=;\r\nCOM=9;\r\n", "COM9 save"},
                      ParseCase{"MalformedLastLineResets", "COM=9;\r\nCOM=;\r\n", "COM1 save"},
                      ParseCase{"NoFinalLineFeed", "COM=4;", "COM4"},
                      ParseCase{"LowerCase", "com=7;", "COM7"},
                      ParseCase{"ValueNotInPortList", "COM=ab;", "COMAB"},
                      ParseCase{"RunOfComAndEqualsStripped", "COM=COM=12;\r\n", "COM12"},
                      ParseCase{"LongestValue", "COM=" + kLongest + ";", "COM" + kLongest},
                      ParseCase{"ValueTooLong", "COM=" + kLongest + "7;", "COM1 save"},
                      ParseCase{"HugeLines", ";" + kMiB + "\nCOM=8;" + kMiB, "COM8"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zk4
