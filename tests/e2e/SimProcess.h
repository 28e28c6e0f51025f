// zk4-sim as a separate process for end-to-end tests: started with its options, linked as
// ports/<port> beside a given executable path, ready once it has printed "ready <slave path>",
// and stopped (SIGTERM, then waited for) when the object goes away.
#pragma once

#include <signal.h>

#include <cstdio>
#include <cstdlib>
#include <memory>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

namespace zk4::test {

struct SimProcess {
    SimProcess(const std::string& exePath, const std::string& port,
               const std::vector<std::string>& options) {
        // The shell tells its pid, which zk4-sim keeps when the shell execs it.
        std::string command =
            "echo $$; exec '" ZK4_SIM_EXECUTABLE "' --link-beside '" + exePath + "' --port " + port;
        for (const std::string& option : options) {
            command += " '" + option + "'";
        }
        out.reset(::popen(command.c_str(), "re"));
        char line[512] = {};
        if (!out || !std::fgets(line, sizeof line, out.get()) || (pid = std::atoi(line)) <= 0 ||
            !std::fgets(line, sizeof line, out.get()) || !std::string(line).starts_with("ready ")) {
            Stop();
            throw std::runtime_error("zk4-sim did not become ready");
        }
        slavePath = std::string(line + 6, std::string(line).find('\n') - 6);
    }
    ~SimProcess() { Stop(); }

    // Ends it with SIGTERM and returns its exit status (as from waitpid), or -1.
    int Stop() {
        if (pid > 0) {
            ::kill(std::exchange(pid, -1), SIGTERM);
        }
        return out ? ::pclose(out.release()) : -1;
    }

    pid_t pid = -1;
    std::string slavePath;
    std::unique_ptr<std::FILE, int (*)(std::FILE*)> out{nullptr, ::pclose};  // no copies
};

}  // namespace zk4::test
