// Texts on screen: our own UTF-8, the device's bytes (one character each), and sentences
// translated in the "zk4" context where they were marked.
#pragma once

#include <QString>
#include <string>
#include <string_view>

#include "text/UserText.h"

namespace zk4 {

QString Utf8(std::string_view text);

// Device texts are bytes; each byte is one character in the window and back.
QString Latin1(std::string_view bytes);
std::string Latin1(const QString& text);

// A marked source in the user's language.
QString Tr(const char* source);
// Translated, then its places filled.
QString Tr(const UserText& text);

}  // namespace zk4
