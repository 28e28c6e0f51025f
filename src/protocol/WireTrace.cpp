#include "protocol/WireTrace.h"

#include <array>

namespace zk4 {
namespace {

constexpr std::array<std::string_view, 3> kTags = {"H>D", "D>H", "--"};
constexpr std::string_view kHex = "0123456789ABCDEF";
// Written as a backslash and a letter; any other byte outside printable ASCII as \xHH.
constexpr std::string_view kEscaped = "\\\r\n\t";
constexpr std::string_view kEscapeLetters = "\\rnt";

}  // namespace

void AppendTraceLine(std::string& out, std::int64_t us, TraceKind kind, std::string_view bytes) {
    us = us < 0 ? 0 : us;
    out += std::to_string(us / 1000);
    const auto fraction = static_cast<int>(us % 1000);
    out += '.';
    out += static_cast<char>('0' + fraction / 100);
    out += static_cast<char>('0' + fraction / 10 % 10);
    out += static_cast<char>('0' + fraction % 10);
    out += ' ';
    out += kTags[static_cast<std::size_t>(kind)];
    out += ' ';
    for (const char c : bytes) {
        const auto byte = static_cast<std::uint8_t>(c);
        if (const std::size_t e = kEscaped.find(c); e != std::string_view::npos) {
            out += '\\';
            out += kEscapeLetters[e];
        } else if (byte >= 0x20 && byte <= 0x7E) {
            out += c;
        } else {
            out += "\\x";
            out += kHex[byte >> 4];
            out += kHex[byte & 0x0F];
        }
    }
    out += '\n';
}

}  // namespace zk4
