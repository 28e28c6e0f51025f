// Hz per MPH: the edit box's text through the dialog's number rule into the "AT HZ=" command,
// and raw doubles (NaN, infinities, negatives, huge values) straight into the builder.
#include <cerrno>
#include <cmath>
#include <cstdint>
#include <cstdlib>
#include <cstring>
#include <optional>
#include <string>
#include <string_view>

#include "FuzzCheck.h"
#include "protocol/HostCommands.h"
#include "ui/DataExchangeRules.h"

namespace {

// In range: "AT HZ=dd.dddd" CR LF, the value cut (not rounded) after the 0.00001 lift, so the
// value sent lies in (v + 0.00001 - 0.0001, v + 0.00001]. Out of range: no command at all.
void Check(double v) {
    const std::optional<zk4::HostCommand> command = zk4::BuildHzPerMphCommand(v);
    const bool inRange = v >= 0.25 && v <= 99.9999;
    ZK4_CHECK(zk4::HzPerMphInRange(v) == inRange && command.has_value() == inRange);
    if (!command) {
        return;
    }
    const std::string text(command->bytes.data(), command->bytes.data() + command->length);
    ZK4_CHECK(text.size() == 15 && text.starts_with("AT HZ=") && text[8] == '.' &&
              text.ends_with("\r\n"));
    double sent = 0;
    for (const char c : text.substr(6, 7)) {
        ZK4_CHECK(c == '.' || (c >= '0' && c <= '9'));
        sent = c == '.' ? sent : sent * 10 + (c - '0');
    }
    sent /= 10000;
    ZK4_CHECK(sent <= v + 0.00001 + 1e-9 && sent > v + 0.00001 - 0.0001 - 1e-9);
}

// Plain decimal texts read as strtod reads them in the C locale, apart from zero, which the
// rule refuses unless the text starts with "0", and over- or underflow.
void CompareWithStrtod(std::string_view text, const std::optional<double>& parsed) {
    const std::string head(text.substr(0, 31));
    const std::size_t start = head.find_first_not_of(" \t");
    if (start == std::string::npos ||
        std::string_view("+-.0123456789").find(head[start]) == std::string_view::npos) {
        ZK4_CHECK(!parsed);
        return;
    }
    if (head.find_first_not_of("+-.0123456789eE \t") != std::string::npos) {
        return;
    }
    errno = 0;
    char* end = nullptr;
    const double expected = std::strtod(head.c_str() + start, &end);
    const bool whole = end != head.c_str() + start &&
                       std::string_view(end).find_first_not_of(" \t") == std::string_view::npos;
    ZK4_CHECK(errno == ERANGE || expected == 0.0 ||
              (parsed.has_value() == whole && (!whole || *parsed == expected)));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> parsed = zk4::ParseDialogNumber(text);
    CompareWithStrtod(text, parsed);
    ZK4_CHECK(!parsed || !std::isnan(*parsed));
    if (parsed) {
        Check(*parsed);
    }
    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data + at, sizeof raw);
        Check(raw);
    }
    return 0;
}
