// zk4ctl's words: its own sentences in the "zk4ctl" translation context, the link's sentences in
// the "zk4" context, and the two streams they go to. Standard output carries only what a script
// reads; notes and reasons go to standard error.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "text/QtText.h"

namespace zk4 {

inline constexpr const char* kCliContext = "zk4ctl";

// A zk4ctl sentence, translated (and then filled).
QString TrCli(const char* source);
QString TrCli(const UserText& text);

// UTF-8 to standard output. False when the output has gone (a pipe whose reader ended).
bool PrintOut(std::string_view utf8);
// "zk4ctl: " and the text, a line of its own on standard error.
void PrintError(const QString& text);

}  // namespace zk4
