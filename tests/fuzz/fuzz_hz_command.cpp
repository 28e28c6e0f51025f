// Hz-per-MPH: the text of the edit box through the number rule and into the "AT HZ=" command,
// and raw doubles (NaN, infinities, negatives, huge values) straight into the builder.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "protocol/HostCommands.h"
#include "ui/DataExchangeRules.h"

namespace {

bool IsDigit(std::uint8_t c) {
    return c >= '0' && c <= '9';
}

// Builds the command for an in-range value and checks its shape and the value it carries.
// Decimals are cut after lifting the value by 0.00001 (so 1.15, stored as 1.14999..., still
// sends 01.1500), hence the carried value lies in (v + 0.00001 - 0.0001, v + 0.00001].
void CheckEncoding(double v) {
    const std::optional<zk4::HostCommand> command = zk4::BuildHzPerMphCommand(v);
    ZK4_CHECK(command.has_value());
    const auto& b = command->bytes;
    ZK4_CHECK(command->length == 15);
    ZK4_CHECK(std::memcmp(b.data(), "AT HZ=", 6) == 0 && b[8] == '.' && b[13] == '\r' &&
              b[14] == '\n');
    for (const int pos : {6, 7, 9, 10, 11, 12}) {
        ZK4_CHECK(IsDigit(b[pos]));
    }
    const int whole = (b[6] - '0') * 10 + (b[7] - '0');
    const int fraction =
        (b[9] - '0') * 1000 + (b[10] - '0') * 100 + (b[11] - '0') * 10 + (b[12] - '0');
    const int truncated = static_cast<int>(std::trunc(v));
    // Only a fraction count that reaches 10000 carries into the whole part.
    ZK4_CHECK(whole == truncated || (whole == truncated + 1 && fraction == 0));
    const double sent = whole + fraction / 10000.0;
    constexpr double kSlack = 1e-9;
    ZK4_CHECK(sent <= v + 0.00001 + kSlack);
    ZK4_CHECK(sent > v + 0.00001 - 0.0001 - kSlack);
}

void CheckValue(double v) {
    const bool inRange = v >= 0.25 && v <= 99.9999;
    ZK4_CHECK(zk4::HzPerMphInRange(v) == inRange);
    if (inRange) {
        CheckEncoding(v);
    } else {
        ZK4_CHECK(!zk4::BuildHzPerMphCommand(v).has_value());
    }
}

// For plain decimal texts the number rule must agree with strtod (the C locale's reading),
// apart from zero, which it refuses unless the text starts with "0", and over- or underflow.
void CompareWithStrtod(std::string_view text, const std::optional<double>& parsed) {
    text = text.substr(0, 31);
    const std::size_t start = text.find_first_not_of(" \t");
    if (start == std::string_view::npos ||
        std::string_view("+-.0123456789").find(text[start]) == std::string_view::npos) {
        ZK4_CHECK(!parsed.has_value());
        return;
    }
    const std::string body(text.substr(start));
    if (body.find_first_not_of("+-.0123456789eE \t") != std::string::npos) {
        return;
    }
    errno = 0;
    char* end = nullptr;
    const double expected = std::strtod(body.c_str(), &end);
    if (errno == ERANGE || expected == 0.0) {
        return;
    }
    const bool whole = end != body.c_str() &&
                       std::string_view(end).find_first_not_of(" \t") == std::string_view::npos;
    ZK4_CHECK(parsed.has_value() == whole);
    ZK4_CHECK(!whole || *parsed == expected);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> parsed = zk4::ParseDialogNumber(text);
    CompareWithStrtod(text, parsed);
    if (parsed) {
        ZK4_CHECK(!std::isnan(*parsed));
        CheckValue(*parsed);
    }

    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data + at, sizeof raw);
        CheckValue(raw);
    }
    return 0;
}
