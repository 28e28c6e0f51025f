// Reads the wire trace zk4-sim writes with --log (protocol/WireTrace.h) back into the commands
// the host sent, each with the arrival times of its bytes. A line still being written is left
// out.
#pragma once

#include <algorithm>
#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

#include "protocol/WireTrace.h"

namespace zk4::test {

struct LoggedCommand {
    std::string text;           // up to and including its LF
    std::int64_t firstUs = 0;   // arrival of its first byte
    std::int64_t lastUs = 0;    // arrival of its last byte
    std::int64_t minGapUs = 0;  // shortest gap between two of its bytes
};

inline std::vector<LoggedCommand> ReadSimLog(const std::string& path) {
    std::vector<LoggedCommand> commands;
    std::ifstream in(path, std::ios::binary);
    std::string text;
    LoggedCommand current;
    while (std::getline(in, text) && !in.eof()) {
        const auto line = ParseTraceLine(text);
        if (!line || line->kind != TraceKind::HostToDevice) {
            continue;
        }
        for (const char byte : line->bytes) {
            if (current.text.empty()) {
                current = {{}, line->us, line->us, INT64_MAX};
            } else {
                current.minGapUs = std::min(current.minGapUs, line->us - current.lastUs);
            }
            current.text.push_back(byte);
            current.lastUs = line->us;
            if (byte == '\n') {
                commands.push_back(std::exchange(current, {}));
            }
        }
    }
    return commands;
}

inline std::vector<LoggedCommand> CommandsMatching(const std::vector<LoggedCommand>& all,
                                                   const std::string& prefix) {
    std::vector<LoggedCommand> out;
    for (const auto& c : all) {
        if (c.text.rfind(prefix, 0) == 0) {
            out.push_back(c);
        }
    }
    return out;
}

}  // namespace zk4::test
