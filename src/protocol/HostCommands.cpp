// Host commands: the two setting commands built from the dialog's values.
#include "protocol/HostCommands.h"

#include <cmath>

namespace zk4 {

namespace {

class CommandWriter {
  public:
    explicit CommandWriter(std::string_view head) {
        for (const char c : head) {
            Put(static_cast<std::uint8_t>(c));
        }
    }
    void Digit(unsigned value) { Put(static_cast<std::uint8_t>('0' + value)); }
    void Put(std::uint8_t byte) { command_.bytes[command_.length++] = byte; }
    HostCommand Finish() {
        Put(kCr);
        Put(kLf);
        return command_;
    }

  private:
    HostCommand command_;
};

}  // namespace

bool HzPerMphInRange(double value) {
    return value >= kHzPerMphMin && value <= kHzPerMphMax;  // false for NaN
}

HostCommand BuildCylinderCommand(std::string_view cylinders) {
    constexpr std::string_view kTexts[] = {"1", "2", "3", "4",  "5",  "6",
                                           "7", "8", "9", "10", "11", "12"};
    unsigned value = 4;  // anything but an exact "1".."12" ("04", " 7", "") sends 4
    for (unsigned n = 1; n <= 12; ++n) {
        if (cylinders == kTexts[n - 1]) {
            value = n;
        }
    }
    CommandWriter writer("AT CN=");
    if (value >= 10) {
        writer.Digit(value / 10);
    }
    writer.Digit(value % 10);
    return writer.Finish();
}

std::optional<HostCommand> BuildHzPerMphCommand(double hzPerMph) {
    if (!HzPerMphInRange(hzPerMph)) {
        return std::nullopt;
    }
    auto whole = static_cast<std::uint8_t>(std::trunc(hzPerMph));
    // Decimals are cut, not rounded, but a value typed as 1.15 is stored as 1.14999...; the
    // 0.00001 lifts such values over the cut without reaching the next ten-thousandth.
    auto fraction = static_cast<std::uint16_t>(std::trunc((hzPerMph - whole + 0.00001) * 10000));
    if (fraction >= 10000) {
        // Just below a whole number (1.999991) the lift reaches 10000, which four digits
        // cannot hold: carry it, so 1.999991 is sent as 02.0000. Within range this never
        // carries into 100 (99.9999 gives 9999), but if it would, keep 99.9999.
        if (whole < 99) {
            ++whole;
            fraction = 0;
        } else {
            fraction = 9999;
        }
    }
    CommandWriter writer("AT HZ=");
    writer.Digit(whole / 10);
    writer.Digit(whole % 10);
    writer.Put('.');
    writer.Digit(fraction / 1000);
    writer.Digit(fraction % 1000 / 100);
    writer.Digit(fraction % 100 / 10);
    writer.Digit(fraction % 10);
    return writer.Finish();
}

}  // namespace zk4
