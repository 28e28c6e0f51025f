// ZK4.ini's reading grammar and the record the tool writes, on bytes alone.
#include "settings/PortSettingsFormat.h"

#include <gtest/gtest.h>

#include <string>
#include <tuple>

namespace zk4 {
namespace {

// Each file's bytes are read whole and again a byte at a time, so a rule that only holds
// within one piece fails here too.
TEST(PortSettingsReader, TheLastPortLineDecidesAndAMalformedOneAsksForASave) {
    const std::string longest(PortSettingsReader::kMaxPortValue, '7');
    const struct {
        const char* name;
        std::string bytes;
        std::string port;
        bool save = false;
    } rows[] = {
        {"NoBytes", "", "COM1"},
        {"PortLine", "COM=7;\r\n", "COM7"},
        {"SemicolonComment", ";COM=7;\r\n", "COM1"},
        {"SlashComment", "/COM=7;\r\n", "COM1"},
        {"LeadingBlankIsNoPortLine", " COM=7;\r\n", "COM1"},
        {"LineStartingWithCrIsSkippedWhole", "\rCOM=7;\r\n", "COM1"},
        {"BlankLinesBetween", "COM=3;\r\n\r\n\nCOM=8;\r\n", "COM8"},
        {"OtherKeysIgnored", "COM=3;\r\nPORT=9;\r\n", "COM3"},
        {"AnyWordStartingWithComIsAPortLine", "COM=3;\r\nCOMMENT\r\n", "COM1", true},
        {"NoSemicolon", "COM=5\r\n", "COM1", true},
        {"EmptyValue", "COM=;\r\n", "COM1", true},
        {"NothingAfterCom", "COM;\r\n", "COM1", true},
        {"LastPortLineWins", "COM=3;\r\nCOM=9;\r\n", "COM9"},
        {"SaveRequestOutlivesAGoodLine", "COM=;\r\nCOM=9;\r\n", "COM9", true},
        {"LastLineWithoutLineFeed", "COM=4;", "COM4"},
        {"UpperCasedNotCheckedAgainstTheList", "com=ab;", "COMAB"},
        {"WholeRunOfCOMAndEqualsRemoved", "COM=COM=12;\r\n", "COM12"},
        {"TextAfterSemicolonIgnored", "COM=6; x\r\n", "COM6"},
        {"LongestValue", "COM=" + longest + ";", "COM" + longest},
        {"ValueTooLongIsMalformed", "COM=" + longest + "7;\r\nCOM=3;", "COM3", true},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        EXPECT_EQ(ParsePortSettings(row.bytes), (PortSetting{row.port, row.save}));
        PortSettingsReader reader;
        for (const char byte : row.bytes) {
            reader.Feed(std::string_view(&byte, 1));
        }
        reader.Finish();
        EXPECT_EQ(reader.Setting(), (PortSetting{row.port, row.save}));
    }
}

// The leading run of C, O and M goes, case-sensitively; what stays is written as it is.
TEST(PortRecord, ComEqualsTheNumberTextSemicolonCrLf) {
    const std::pair<const char*, const char*> rows[] = {
        {"COM3", "COM=3;\r\n"},   {"COM12", "COM=12;\r\n"},  {"com5", "COM=com5;\r\n"},
        {"COM", "COM=;\r\n"},     {"CMOCOM7", "COM=7;\r\n"}, {"", "COM=;\r\n"},
        {"COMX1", "COM=X1;\r\n"},
    };
    for (const auto& [name, record] : rows) {
        EXPECT_EQ(PortRecord(name), record) << name;
    }
}

}  // namespace
}  // namespace zk4
