#include "serial/LineSettings.h"

#include <array>
#include <charconv>

namespace zk4 {

namespace {

// Splits exactly four comma-separated fields; fewer or more is an error.
std::optional<std::array<std::string_view, 4>> SplitFields(std::string_view text) {
    std::array<std::string_view, 4> fields;
    for (std::size_t i = 0; i < fields.size(); ++i) {
        const std::size_t comma = text.find(',');
        const bool last = i + 1 == fields.size();
        if (last != (comma == std::string_view::npos)) {
            return std::nullopt;
        }
        fields[i] = text.substr(0, comma);
        text = last ? std::string_view{} : text.substr(comma + 1);
    }
    return fields;
}

std::optional<std::int32_t> ParseBaud(std::string_view field) {
    std::int32_t value = 0;
    const char* end = field.data() + field.size();
    if (field.empty() || field.front() < '0' || field.front() > '9') {
        return std::nullopt;
    }
    const auto [ptr, ec] = std::from_chars(field.data(), end, value);
    if (ec != std::errc{} || ptr != end || value <= 0) {
        return std::nullopt;
    }
    return value;
}

std::optional<Parity> ParseParity(std::string_view field) {
    if (field.size() != 1) {
        return std::nullopt;
    }
    switch (field.front()) {
        case 'n':
        case 'N':
            return Parity::None;
        case 'e':
        case 'E':
            return Parity::Even;
        case 'o':
        case 'O':
            return Parity::Odd;
        case 'm':
        case 'M':
            return Parity::Mark;
        case 's':
        case 'S':
            return Parity::Space;
        default:
            return std::nullopt;
    }
}

std::optional<StopBits> ParseStopBits(std::string_view field) {
    if (field == "1") {
        return StopBits::One;
    }
    if (field == "1.5") {
        return StopBits::OneAndHalf;
    }
    if (field == "2") {
        return StopBits::Two;
    }
    return std::nullopt;
}

}  // namespace

std::optional<LineSettings> ParseLineSettings(std::string_view text) {
    const auto fields = SplitFields(text);
    if (!fields) {
        return std::nullopt;
    }
    const auto baud = ParseBaud((*fields)[0]);
    const auto parity = ParseParity((*fields)[1]);
    const auto stop = ParseStopBits((*fields)[3]);
    const std::string_view bits = (*fields)[2];
    if (!baud || !parity || !stop || bits.size() != 1 || bits.front() < '5' || bits.front() > '8') {
        return std::nullopt;
    }
    return LineSettings{*baud, *parity, bits.front() - '0', *stop};
}

}  // namespace zk4
