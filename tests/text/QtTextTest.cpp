// Help texts as a terminal shows them: a description from column 22, beside the option's names
// or under them when the names reach that far, and words wrapped before column 80 with every
// further line starting at the same column.
#include <gtest/gtest.h>

#include <array>
#include <tuple>

#include "text/QtText.h"

namespace zk4 {
namespace {

TEST(QtText, OptionHelpPlacesAndWrapsTheDescription) {
    const QString at22(22, ' '), nine = QStringLiteral("abcdefghi");
    const QString fiveWords = QStringList(5, nine).join(' ');
    const std::tuple<std::array<const char*, 2>, QString, QString, QString> rows[] = {
        {{"h", "help"}, "", "Show it.", "  -h, --help" + QString(10, ' ') + "Show it.\n"},
        {{"", "trace"}, "file", "x", "  --trace <file>" + QString(6, ' ') + "x\n"},
        // 19 columns of names leave three blanks before the description; 20 would leave two.
        {{"", "abcdefghijklmno"}, "", "x", "  --abcdefghijklmno   x\n"},
        {{"", "abcdefghijklmnop"}, "", "x", "  --abcdefghijklmnop\n" + at22 + "x\n"},
        {{"", "hz-per-mph"},
         "number",
         QStringList(12, nine).join(' '),
         "  --hz-per-mph <number>\n" + at22 + fiveWords + "\n" + at22 + fiveWords + "\n" + at22 +
             nine + " " + nine + "\n"},
    };
    for (const auto& [names, value, description, help] : rows) {
        EXPECT_EQ(OptionHelp(OptionNames(names), value, description).toStdString(),
                  help.toStdString())
            << names[1];
    }
}

}  // namespace
}  // namespace zk4
