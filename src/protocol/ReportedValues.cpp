// Reported values read as numbers.
#include "protocol/ReportedValues.h"

#include <charconv>

namespace zk4 {

std::optional<double> ReportedNumber(std::string_view text) {
    std::string_view digits = text;
    if (digits.starts_with('-')) {
        digits.remove_prefix(1);
    }
    bool point = false;
    bool digit = false;
    for (const char c : digits) {
        if (c == '.' && !point) {
            point = true;
        } else if (c >= '0' && c <= '9') {
            digit = true;
        } else {
            return std::nullopt;
        }
    }
    if (!digit) {
        return std::nullopt;
    }
    double value = 0;
    if (std::from_chars(text.data(), text.data() + text.size(), value).ec != std::errc()) {
        return std::nullopt;  // too large for a double
    }
    return value;
}

}  // namespace zk4
