// Reads the byte log zk4-sim writes with --log: one line per received byte,
// "<microseconds since start> <byte as two hex digits>".
#pragma once

#include <cstdint>
#include <fstream>
#include <string>
#include <vector>

namespace zk4::test {

struct LoggedCommand {
    std::string text;           // up to and including its LF
    std::int64_t firstUs = 0;   // arrival of its first byte
    std::int64_t lastUs = 0;    // arrival of its last byte
    std::int64_t minGapUs = 0;  // shortest gap between two of its bytes
};

inline std::vector<LoggedCommand> ReadSimLog(const std::string& path) {
    std::vector<LoggedCommand> commands;
    std::ifstream in(path);
    std::int64_t us = 0;
    std::string hex;
    LoggedCommand current;
    std::int64_t previousUs = -1;
    while (in >> us >> hex) {
        const char byte = static_cast<char>(std::stoi(hex, nullptr, 16));
        if (current.text.empty()) {
            current.firstUs = us;
            current.minGapUs = INT64_MAX;
        } else {
            current.minGapUs = std::min(current.minGapUs, us - previousUs);
        }
        current.text.push_back(byte);
        current.lastUs = us;
        previousUs = us;
        if (byte == '\n') {
            commands.push_back(current);
            current = {};
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
