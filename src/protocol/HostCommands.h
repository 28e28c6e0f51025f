// Host commands: every line the tool sends to the device ("AT ..." CR LF).
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <span>
#include <string_view>

#include "protocol/ReceiveFramer.h"

namespace zk4 {

struct HostCommand {
    std::array<std::uint8_t, 16> bytes{};
    std::uint8_t length = 0;

    std::span<const std::uint8_t> View() const { return {bytes.data(), length}; }
};

inline constexpr std::array<std::uint8_t, 9> kFirmwareQuery = {'A', 'T', ' ', 'F', 'W',
                                                               '=', '?', kCr, kLf};
inline constexpr std::array<std::uint8_t, 8> kIdQuery = {'A', 'T', ' ', 'I', 'D', '?', kCr, kLf};
inline constexpr std::array<std::uint8_t, 9> kReadAll = {'A', 'T', ' ', 'R', 'A',
                                                         'L', 'L', kCr, kLf};

// Range of the Hz-per-MPH setting; both bounds allowed.
inline constexpr double kHzPerMphMin = 0.25;
inline constexpr double kHzPerMphMax = 99.9999;
bool HzPerMphInRange(double value);

// "AT CN=" with "1".."12" as given; any other text sends 4. 9 or 10 bytes.
HostCommand BuildCylinderCommand(std::string_view cylinders);

// "AT HZ=dd.dddd" CR LF, 15 bytes; decimals are cut, not rounded. A value outside
// kHzPerMphMin..kHzPerMphMax (or not a number) is never encoded: nullopt.
std::optional<HostCommand> BuildHzPerMphCommand(double hzPerMph);

}  // namespace zk4
