// zk4-sim as a separate process for end-to-end tests: started with its options, linked as
// ports/COMn beside a given executable path, ready once it has printed its "ready" line, and
// stopped (SIGTERM, then waited for) when the object goes away.
#pragma once

#include <sys/types.h>

#include <string>
#include <vector>

namespace zk4::test {

class SimProcess {
  public:
    // Starts `zk4-sim --link-beside <exePath> --port <port> <options...>` and waits for "ready".
    SimProcess(const std::string& exePath, const std::string& port,
               const std::vector<std::string>& options);
    ~SimProcess();
    SimProcess(const SimProcess&) = delete;
    SimProcess& operator=(const SimProcess&) = delete;

    pid_t Pid() const { return m_pid; }
    const std::string& SlavePath() const { return m_slavePath; }
    // Freezes and thaws the simulated device (a device that falls silent and comes back).
    void Pause();
    void Resume();
    // Ends it with SIGTERM and returns its exit status (as from waitpid), or -1.
    int Stop();
    // Waits for it to end by itself (e.g. after --hangup-after); true if it did in time.
    bool WaitForExit(int timeoutMs);

  private:
    pid_t m_pid = -1;
    int m_stdout = -1;
    std::string m_slavePath;
};

// The built zk4-sim beside the test programs.
std::string SimExecutable();

}  // namespace zk4::test
