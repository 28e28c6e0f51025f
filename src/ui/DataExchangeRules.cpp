#include "ui/DataExchangeRules.h"

#include <cctype>
#include <charconv>
#include <cstdio>
#include <limits>

namespace zk4 {
namespace {

bool IsBlank(char c) {
    return c == ' ' || c == '\t';
}
bool IsDigit(char c) {
    return c >= '0' && c <= '9';
}

std::size_t SkipBlanks(std::string_view s, std::size_t i) {
    while (i < s.size() && IsBlank(s[i])) {
        ++i;
    }
    return i;
}

bool OnlyBlanksFrom(std::string_view s, std::size_t i) {
    return SkipBlanks(s, i) == s.size();
}

}  // namespace

std::optional<double> ParseDialogNumber(std::string_view text) {
    // Edit boxes are read into a 32-byte buffer: anything past 31 characters is never seen.
    text = text.substr(0, 31);
    const std::size_t start = SkipBlanks(text, 0);
    std::size_t i = start;

    // Scan the longest decimal number: [sign] digits [. digits] [e [sign] digits].
    bool negative = false;
    if (i < text.size() && (text[i] == '+' || text[i] == '-')) {
        negative = text[i] == '-';
        ++i;
    }
    const std::size_t mantissa = i;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        ++i;
        ++digits;
    }
    if (i < text.size() && text[i] == '.') {
        ++i;
        while (i < text.size() && IsDigit(text[i])) {
            ++i;
            ++digits;
        }
    }
    if (digits == 0) {
        return std::nullopt;  // nothing converted: "", "abc", "-", "."
    }
    bool negativeExponent = false;
    if (i < text.size() && (text[i] == 'e' || text[i] == 'E')) {
        std::size_t j = i + 1;
        if (j < text.size() && (text[j] == '+' || text[j] == '-')) {
            negativeExponent = text[j] == '-';
            ++j;
        }
        if (j < text.size() && IsDigit(text[j])) {
            while (j < text.size() && IsDigit(text[j])) {
                ++j;
            }
            i = j;  // an exponent without digits is not part of the number
        }
    }

    // from_chars takes no sign and ignores the locale, so "1.5" means the same everywhere.
    double value = 0.0;
    const auto [end, ec] =
        std::from_chars(text.data() + mantissa, text.data() + i, value, std::chars_format::general);
    if (ec == std::errc::result_out_of_range) {
        // 31 characters can only leave the range of a double through the exponent: a huge one
        // is kept as infinity so the range check reports it, a tiny one underflows to zero.
        value = negativeExponent ? 0.0 : std::numeric_limits<double>::infinity();
    } else if (ec != std::errc() || end != text.data() + i) {
        return std::nullopt;
    }
    if (negative) {
        value = -value;
    }
    // A zero counts only when the text really starts with "0" (so "-0" and "+0" are refused).
    if (value == 0.0 && text[start] != '0') {
        return std::nullopt;
    }
    if (!OnlyBlanksFrom(text, i)) {
        return std::nullopt;
    }
    return value;
}

std::optional<std::uint32_t> ParseDialogUnsigned(std::string_view text) {
    const std::size_t start = SkipBlanks(text, 0);
    std::size_t i = start;
    if (i < text.size() && text[i] == '-') {
        return std::nullopt;
    }
    if (i < text.size() && text[i] == '+') {
        ++i;
    }
    std::uint64_t value = 0;
    std::size_t digits = 0;
    while (i < text.size() && IsDigit(text[i])) {
        value = value * 10 + static_cast<std::uint64_t>(text[i] - '0');
        if (value > std::numeric_limits<std::uint32_t>::max()) {
            return std::nullopt;
        }
        ++i;
        ++digits;
    }
    if (digits == 0 || (value == 0 && text[start] != '0')) {
        return std::nullopt;
    }
    if (!OnlyBlanksFrom(text, i)) {
        return std::nullopt;
    }
    return static_cast<std::uint32_t>(value);
}

std::string FormatDialogNumber(double value) {
    char buffer[64];
    std::snprintf(buffer, sizeof buffer, "%.*g", 15, value);
    return buffer;
}

std::string FormatDialogUnsigned(std::uint32_t value) {
    return std::to_string(value);
}

UserText RangeMessage(double low, double high) {
    return {kMsgEnterNumberBetween, {FormatDialogNumber(low), FormatDialogNumber(high)}};
}

int FindComboPrefix(const std::vector<std::string>& items, std::string_view text) {
    for (std::size_t n = 0; n < items.size(); ++n) {
        const std::string& item = items[n];
        if (item.size() < text.size()) {
            continue;
        }
        bool match = true;
        for (std::size_t k = 0; k < text.size() && match; ++k) {
            match = std::tolower(static_cast<unsigned char>(item[k])) ==
                    std::tolower(static_cast<unsigned char>(text[k]));
        }
        if (match) {
            return static_cast<int>(n);
        }
    }
    return -1;
}

}  // namespace zk4
