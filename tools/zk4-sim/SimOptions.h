// zk4-sim command line: what device to play and where to show up.
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "SimDevice.h"

namespace zk4sim {

struct SimOptions {
    DeviceConfig device;
    std::string linkBeside;  // empty: no link, the slave path is only printed
    std::string port = "COM1";
    std::string logPath;                         // empty: no log
    std::optional<std::uint32_t> silentAfterMs;  // stop answering after this long
    std::optional<std::uint32_t> hangupAfterMs;  // close the pty and exit after this long
    bool flood = false;   // random bytes at the line's full rate instead of answers
    bool stream = false;  // report lines at the line's full rate, answers between them
    bool help = false;
    bool version = false;
};

struct OptionsResult {
    SimOptions options;
    std::string error;  // empty when the arguments are good
};

// The arguments after the program name. "--name value" and "--name=value" both work.
OptionsResult ParseOptions(std::span<const std::string_view> args);

std::string UsageText();

// "<folder of besidePath>/ports/<port>": where the host tool looks for its COM port links.
std::string LinkPathFor(std::string_view besidePath, std::string_view port);

}  // namespace zk4sim
