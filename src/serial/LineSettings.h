// The line settings text of a serial port ("115200,n,8,1"), parsed into its four values.
#pragma once

#include <cstdint>
#include <optional>
#include <string_view>

namespace zk4 {

enum class Parity : std::uint8_t { None, Even, Odd, Mark, Space };
enum class StopBits : std::uint8_t { One, OneAndHalf, Two };

struct LineSettings {
    std::int32_t baud = 115200;
    Parity parity = Parity::None;
    int dataBits = 8;
    StopBits stopBits = StopBits::One;

    bool operator==(const LineSettings&) const = default;
};

// "baud,parity,data bits,stop bits": a positive decimal baud rate, parity one of n e o m s
// (either case), data bits 5 to 8, stop bits 1, 1.5 or 2. No spaces. Anything else: nullopt.
std::optional<LineSettings> ParseLineSettings(std::string_view text);

}  // namespace zk4
