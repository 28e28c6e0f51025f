// Texts for the user: a sentence's English source with places %1 … %9, and what fills them.
//
// The source is marked with QT_TRANSLATE_NOOP("zk4", …) where it is written, so the translation
// tools find it also in code that does not use Qt. A window translates the source and then
// fills it; the command line may print it as it stands.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

// The same definition as Qt's, for code that does not include Qt.
#ifndef QT_TRANSLATE_NOOP
#define QT_TRANSLATE_NOOP(scope, x) x
#endif

namespace zk4 {

// The translation context of every text marked outside Qt's classes.
inline constexpr const char* kTextContext = "zk4";

// Each %n (n = 1 … 9) replaced by args[n - 1]; a place without an argument stays as it is.
// What an argument holds is never read for places itself.
std::string FillPlaces(std::string_view pattern, std::span<const std::string> args);

// Device bytes (one character per byte) as UTF-8, to be placed in a sentence.
std::string Latin1ToUtf8(std::string_view bytes);

struct UserText {
    const char* source = "";        // English, marked for translation; a literal
    std::vector<std::string> args;  // UTF-8

    std::string English() const { return FillPlaces(source, args); }
    bool operator==(const UserText& other) const {
        return std::string_view(source) == other.source && args == other.args;
    }
};

}  // namespace zk4
