#include "protocol/WireTrace.h"

#include <array>
#include <charconv>

namespace zk4 {
namespace {

constexpr std::array<std::string_view, 3> kTags = {"H>D", "D>H", "--"};
constexpr std::string_view kHex = "0123456789ABCDEF";
// Written as a backslash and a letter; any other byte outside printable ASCII as \xHH.
constexpr std::string_view kEscaped = "\\\r\n\t";
constexpr std::string_view kEscapeLetters = "\\rnt";

int HexDigit(char c) {
    if (c >= '0' && c <= '9') {
        return c - '0';
    }
    if (c >= 'A' && c <= 'F') {
        return c - 'A' + 10;
    }
    if (c >= 'a' && c <= 'f') {
        return c - 'a' + 10;
    }
    return -1;
}

// The digits of a decimal count, at most 18 so that it cannot overflow.
std::optional<std::int64_t> Digits(std::string_view text) {
    std::int64_t value = 0;
    if (text.empty() || text.size() > 18) {
        return std::nullopt;
    }
    const auto [end, error] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (error != std::errc() || end != text.data() + text.size() || text.front() == '-') {
        return std::nullopt;
    }
    return value;
}

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

std::optional<TraceLine> ParseTraceLine(std::string_view line) {
    if (!line.empty() && line.back() == '\n') {
        line.remove_suffix(1);
    }
    TraceLine parsed;
    const std::size_t point = line.find('.');
    const auto whole = Digits(line.substr(0, point));
    if (point == std::string_view::npos || !whole || line.size() < point + 5 ||
        line[point + 4] != ' ') {
        return std::nullopt;
    }
    const auto fraction = Digits(line.substr(point + 1, 3));
    if (!fraction || *whole > (INT64_MAX - *fraction) / 1000) {
        return std::nullopt;
    }
    parsed.us = *whole * 1000 + *fraction;
    line.remove_prefix(point + 5);

    const std::size_t space = line.find(' ');
    std::size_t kind = 0;
    while (kind < kTags.size() && kTags[kind] != line.substr(0, space)) {
        ++kind;
    }
    if (space == std::string_view::npos || kind == kTags.size()) {
        return std::nullopt;
    }
    parsed.kind = static_cast<TraceKind>(kind);
    line.remove_prefix(space + 1);

    for (std::size_t i = 0; i < line.size(); ++i) {
        const auto byte = static_cast<std::uint8_t>(line[i]);
        if (byte < 0x20 || byte > 0x7E) {
            return std::nullopt;
        }
        if (line[i] != '\\') {
            parsed.bytes += line[i];
            continue;
        }
        const char letter = i + 1 < line.size() ? line[++i] : '\0';
        if (const std::size_t e = kEscapeLetters.find(letter); e != std::string_view::npos) {
            parsed.bytes += kEscaped[e];
            continue;
        }
        const int high = letter == 'x' && i + 1 < line.size() ? HexDigit(line[i + 1]) : -1;
        const int low = i + 2 < line.size() ? HexDigit(line[i + 2]) : -1;
        if (high < 0 || low < 0) {
            return std::nullopt;
        }
        parsed.bytes += static_cast<char>(high * 16 + low);
        i += 2;
    }
    return parsed;
}

}  // namespace zk4
