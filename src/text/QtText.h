// Texts in Qt's strings, for the window and the command line: our own UTF-8, the device's bytes
// (one character each), and sentences translated where they were marked.
#pragma once

#include <QString>
#include <QStringList>
#include <array>
#include <string>
#include <string_view>

#include "text/UserText.h"

namespace zk4 {

QString Utf8(std::string_view text);

// Device texts are bytes; each byte is one character in the window and back.
QString Latin1(std::string_view bytes);
std::string Latin1(const QString& text);

// A marked source in the user's language (context "zk4").
QString Tr(const char* source);
// Translated in `context`, then its places filled.
QString Translate(const char* context, const UserText& text);
// The same in context "zk4", where every text outside Qt's classes is marked.
QString Tr(const UserText& text);

// Words laid out in lines of at most `width` columns, for a terminal: the first line continues
// `lead` (after its last line break), the others start after `indent` spaces; the result ends
// with a line break. A word longer than a line stands on a line of its own.
QString WrapWords(const QString& text, QString lead, int indent, int width = 79);

// An option's names as the option table holds them, a short one (may be empty) and a long one:
// the names given, without dashes, as QCommandLineOption takes them.
QStringList OptionNames(const std::array<const char*, 2>& names);

// One option in a --help text: "  -h, --help <value>" (one dash for a letter, two for a word),
// then its description from column 22 (counted from 0), on a line of its own when the names
// leave fewer than three blanks before it.
QString OptionHelp(const QStringList& names, const QString& valueName, const QString& description);

}  // namespace zk4
