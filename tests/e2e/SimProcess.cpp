#include "e2e/SimProcess.h"

#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <stdexcept>

extern char** environ;

namespace zk4::test {

std::string SimExecutable() {
    return ZK4_SIM_EXECUTABLE;
}

SimProcess::SimProcess(const std::string& exePath, const std::string& port,
                       const std::vector<std::string>& options) {
    std::vector<std::string> args = {SimExecutable(), "--link-beside", exePath, "--port", port};
    args.insert(args.end(), options.begin(), options.end());
    std::vector<char*> argv;
    for (auto& a : args) {
        argv.push_back(a.data());
    }
    argv.push_back(nullptr);

    int out[2];
    if (::pipe(out) != 0) {
        throw std::runtime_error("pipe failed");
    }
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
    posix_spawn_file_actions_addclose(&actions, out[0]);
    const int rc = ::posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    m_stdout = out[0];
    if (rc != 0) {
        ::close(m_stdout);
        throw std::runtime_error("cannot start " + SimExecutable());
    }

    // Wait for "ready <slave path>" with a deadline; never a fixed sleep.
    std::string line;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(10);
    while (std::chrono::steady_clock::now() < deadline) {
        pollfd p{m_stdout, POLLIN, 0};
        if (::poll(&p, 1, 100) <= 0) {
            continue;
        }
        char c;
        if (::read(m_stdout, &c, 1) != 1) {
            break;
        }
        if (c != '\n') {
            line.push_back(c);
            continue;
        }
        if (line.rfind("ready", 0) == 0) {
            m_slavePath = line.size() > 6 ? line.substr(6) : "";
            return;
        }
        line.clear();
    }
    Stop();
    throw std::runtime_error("zk4-sim did not become ready");
}

SimProcess::~SimProcess() {
    Stop();
}

void SimProcess::Pause() {
    ::kill(m_pid, SIGSTOP);
}
void SimProcess::Resume() {
    ::kill(m_pid, SIGCONT);
}

int SimProcess::Stop() {
    if (m_pid <= 0) {
        return -1;
    }
    ::kill(m_pid, SIGCONT);
    ::kill(m_pid, SIGTERM);
    int status = 0;
    ::waitpid(m_pid, &status, 0);
    m_pid = -1;
    if (m_stdout >= 0) {
        ::close(m_stdout);
        m_stdout = -1;
    }
    return status;
}

bool SimProcess::WaitForExit(int timeoutMs) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(timeoutMs);
    while (std::chrono::steady_clock::now() < deadline) {
        int status = 0;
        if (::waitpid(m_pid, &status, WNOHANG) == m_pid) {
            m_pid = -1;
            return true;
        }
        ::usleep(10'000);
    }
    return false;
}

}  // namespace zk4::test
