// Hz per MPH: the edit box's text through the dialog's number rule (its cases are the UI
// rules' tests') into the "AT HZ=" command, and raw doubles (NaN, infinities, negatives, huge
// values) straight into the builder.
#include <cmath>
#include <cstdint>
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
              text.ends_with("\r\n") && text.find_first_not_of("0123456789", 6) == 8 &&
              text.find_first_not_of("0123456789", 9) == 13);
    const double sent = std::stod(text.substr(6, 7));
    ZK4_CHECK(sent <= v + 0.00001 + 1e-9 && sent > v + 0.00001 - 0.0001 - 1e-9);
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view text(reinterpret_cast<const char*>(data), size);
    const std::optional<double> parsed = zk4::ParseDialogNumber(text);
    ZK4_CHECK(!parsed || !std::isnan(*parsed));
    Check(parsed.value_or(0.0));
    for (std::size_t at = 0; at + sizeof(double) <= size; at += sizeof(double)) {
        double raw = 0;
        std::memcpy(&raw, data + at, sizeof raw);
        Check(raw);
    }
    return 0;
}
