// The built zk4-sim as a program: its pty opened through the link, reconnection, the byte log,
// signals, hang-up, silence, flooding and option errors.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <iterator>
#include <optional>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "support/TempDir.h"

extern char** environ;

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using zk4::test::TempDir;

bool WaitFor(const std::function<bool()>& condition, Clock::duration limit) {
    const auto deadline = Clock::now() + limit;
    while (!condition()) {
        if (Clock::now() >= deadline) {
            return false;
        }
        std::this_thread::sleep_for(5ms);
    }
    return true;
}

// What arrives on fd until `size` bytes are in, end-of-file, an error or the limit.
std::string Read(int fd, std::size_t size, Clock::duration limit = 5s) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (text.size() < size && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        char buffer[256];
        if (poll(&p, 1, static_cast<int>(left.count())) > 0) {
            const ssize_t n = read(fd, buffer, sizeof buffer);
            if (n <= 0) {
                break;
            }
            text.append(buffer, static_cast<std::size_t>(n));
        }
    }
    return text;
}

// Sends one byte per write, about a millisecond apart as the tool paces them, then reads.
std::string Ask(int fd, std::string_view command, std::size_t answerSize,
                Clock::duration limit = 5s) {
    for (char c : command) {
        EXPECT_EQ(write(fd, &c, 1), 1);
        std::this_thread::sleep_for(1ms);
    }
    return answerSize == 0 ? "" : Read(fd, answerSize, limit);
}

int OpenRaw(const std::string& path) {
    const int fd = open(path.c_str(), O_RDWR | O_NOCTTY);
    termios mode{};
    if (fd >= 0 && tcgetattr(fd, &mode) == 0) {
        cfmakeraw(&mode);
        tcsetattr(fd, TCSANOW, &mode);
    }
    return fd;
}

class SimChild {
  public:
    explicit SimChild(std::vector<std::string> args) {
        args.insert(args.begin(), ZK4_SIM_PATH);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int out[2] = {-1, -1};
        int err[2] = {-1, -1};
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        if (pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0) {
            posix_spawn_file_actions_adddup2(&actions, out[1], STDOUT_FILENO);
            posix_spawn_file_actions_adddup2(&actions, err[1], STDERR_FILENO);
            if (posix_spawn(&m_pid, argv[0], &actions, nullptr, argv.data(), environ) != 0) {
                m_pid = -1;
            }
        }
        posix_spawn_file_actions_destroy(&actions);
        close(out[1]);
        close(err[1]);
        m_out = out[0];
        m_err = err[0];
    }
    ~SimChild() {
        if (m_pid > 0) {
            kill(m_pid, SIGKILL);
            waitpid(m_pid, nullptr, 0);
        }
        close(m_out);
        close(m_err);
    }

    pid_t Pid() const { return m_pid; }

    // The slave path from the "ready" line; empty if none came in time.
    std::string WaitReady() {
        std::string text;
        while (text.find('\n') == std::string::npos) {
            const std::string more = Read(m_out, 1, 10s);
            if (more.empty()) {
                return {};
            }
            text += more;
        }
        return text.starts_with("ready ") ? text.substr(6, text.find('\n') - 6) : "";
    }

    // The exit code once it has ended (128 + signal when killed), or nothing in time.
    std::optional<int> WaitExit(Clock::duration limit = 10s) {
        int status = 0;
        rusage usage{};
        if (m_pid <= 0 ||
            !WaitFor([&] { return wait4(m_pid, &status, WNOHANG, &usage) == m_pid; }, limit)) {
            return std::nullopt;
        }
        m_pid = -1;
        m_cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
                std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    Clock::duration CpuTime() const { return m_cpu; }  // known once it has ended
    std::string Stdout() { return Read(m_out, SIZE_MAX); }
    std::string Stderr() { return Read(m_err, SIZE_MAX); }

  private:
    pid_t m_pid = -1;
    Clock::duration m_cpu{};
    int m_out = -1;
    int m_err = -1;
};

const std::string kIdAnswer = "ACK IDC28765432100B0\r\n";
const std::string kFirmwareAnswer = "AT FW=0.5N\r\n";

TEST(SimProcess, LinkedPortAnswersAcrossReconnectionsAndLogsEveryByte) {
    TempDir tmp;
    const std::string link = tmp / "ports/COM1";
    fs::create_directories(tmp.Path() / "ports");
    fs::create_symlink("/dev/pts/no-such-terminal", link);  // left by an earlier run
    SimChild sim({"--link-beside", tmp / "ZK4", "--port", "COM1", "--log", tmp / "log"});
    const std::string slave = sim.WaitReady();
    ASSERT_NE(slave, "");
    EXPECT_EQ(fs::read_symlink(link), slave);

    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {"AT ID?\r\n", kIdAnswer},
        {"AT FW=?\r\n", kFirmwareAnswer},
        {"AT CN=9\r\n", ""},
        {"AT RALL\r\n", "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=9\r\nAT HZVSMPH=1.7881\r\n"},
    };
    std::string sent;
    for (int session = 0; session < 3; ++session) {
        const int fd = OpenRaw(link);
        ASSERT_GE(fd, 0) << session;
        for (const auto& [command, answer] : exchanges) {
            EXPECT_EQ(Ask(fd, command, answer.size()), answer) << session << " " << command;
            sent += command;
        }
        close(fd);
    }

    // "<microseconds> <hex byte>" per byte, in order, never going back in time.
    std::istringstream log(zk4::test::ReadFile(tmp / "log"));
    std::string logged;
    std::vector<long long> times;
    long long us = 0;
    unsigned byte = 0;
    while (log >> std::dec >> us >> std::hex >> byte) {
        times.push_back(us);
        logged += static_cast<char>(byte);
    }
    EXPECT_EQ(logged, sent);
    ASSERT_FALSE(times.empty());
    EXPECT_TRUE(std::is_sorted(times.begin(), times.end()));
    EXPECT_LT(times.front(), times.back());

    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_FALSE(fs::is_symlink(link));
}

TEST(SimProcess, IdlesWithoutAHostCheaplyAndEndsOnSigint) {
    SimChild sim({});
    const std::string slave = sim.WaitReady();
    ASSERT_NE(slave, "");
    EXPECT_TRUE(fs::is_character_file(slave));
    // With no host on the port the master side reports a hang-up on every poll; idling through
    // that must not cost the processor. The test lets time pass on purpose, to measure that.
    std::this_thread::sleep_for(500ms);
    kill(sim.Pid(), SIGINT);
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_LT(sim.CpuTime(), 150ms);
}

TEST(SimProcess, HangupClosesTheTerminalUnderAnOpenPort) {
    TempDir tmp;
    const std::string link = tmp / "ports/COM2";
    SimChild sim({"--link-beside", tmp / "ZK4", "--port", "COM2", "--hangup-after", "1"});
    ASSERT_NE(sim.WaitReady(), "");
    const int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    EXPECT_EQ(Ask(fd, "AT FW=?\r\n", kFirmwareAnswer.size()), kFirmwareAnswer);

    EXPECT_TRUE(WaitFor([&] { return !fs::is_symlink(link); }, 10s));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    close(fd);
    EXPECT_EQ(sim.WaitExit(), 0);
}

TEST(SimProcess, SilentAfterStopsAnsweringButKeepsRunning) {
    TempDir tmp;
    SimChild sim({"--link-beside", tmp / "ZK4", "--silent-after", "1"});
    ASSERT_NE(sim.WaitReady(), "");
    const auto readyAt = Clock::now();
    const int fd = OpenRaw(tmp / "ports/COM1");
    ASSERT_GE(fd, 0);
    std::optional<Clock::time_point> silentAt;
    while (!silentAt && Clock::now() < readyAt + 10s) {
        const std::string answer = Ask(fd, "AT FW=?\r\n", kFirmwareAnswer.size(), 500ms);
        if (answer.empty()) {
            silentAt = Clock::now();
        } else {
            EXPECT_EQ(answer, kFirmwareAnswer);
        }
    }
    ASSERT_TRUE(silentAt);
    EXPECT_GE(*silentAt - readyAt, 1s);
    EXPECT_EQ(Ask(fd, "AT ID?\r\n", kIdAnswer.size(), 500ms), "");
    EXPECT_FALSE(sim.WaitExit(0s));
    close(fd);
}

TEST(SimProcess, FloodSendsRandomBytesAtTheLineRateInsteadOfAnswers) {
    TempDir tmp;
    const std::string link = tmp / "ports/COM1";
    SimChild sim({"--link-beside", tmp / "ZK4", "--flood", "--log", tmp / "log"});
    ASSERT_NE(sim.WaitReady(), "");
    const int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    // Bytes sent while nobody held the port may wait in the terminal; the count starts fresh.
    tcflush(fd, TCIFLUSH);
    ASSERT_FALSE(Read(fd, 1, 2s).empty());
    const auto from = Clock::now();
    std::string stream = Ask(fd, "AT FW=?\r\n", 0);
    stream += Read(fd, SIZE_MAX, 1s);
    const double seconds = std::chrono::duration<double>(Clock::now() - from).count();

    // 115200 baud, 8N1: 11520 bytes a second.
    const double rate = static_cast<double>(stream.size()) / seconds;
    EXPECT_GT(rate, 11520 * 0.8);
    EXPECT_LT(rate, 11520 * 1.2);
    // Random, not one repeated byte or a short pattern, and no answer mixed in.
    bool seen[256] = {};
    for (char c : stream) {
        seen[static_cast<unsigned char>(c)] = true;
    }
    EXPECT_GT(std::count(std::begin(seen), std::end(seen), true), 200);
    EXPECT_EQ(stream.find(kFirmwareAnswer), std::string::npos);
    // The host's command still reaches the log: 9 lines, the last for the line feed.
    const std::string log = zk4::test::ReadFile(tmp / "log");
    EXPECT_EQ(std::count(log.begin(), log.end(), '\n'), 9);
    EXPECT_TRUE(log.ends_with(" 0A\n")) << log;

    kill(sim.Pid(), SIGTERM);
    EXPECT_EQ(sim.WaitExit(2s), 0);
    EXPECT_FALSE(fs::is_symlink(link));
    // Paced writes, not a busy loop: well under the two and a half seconds it ran.
    EXPECT_LT(sim.CpuTime(), 500ms);
    close(fd);
}

TEST(SimProcess, OptionErrorsExitWithCode2AndHelpWithCode0) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"--bogus"}, 2}, {{"--serial", "x"}, 2}, {{"--port", "COM1"}, 2}, {{"--help"}, 0}};
    for (const auto& [args, code] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        SimChild sim(args);
        EXPECT_EQ(sim.WaitExit(), code);
        if (code == 0) {
            const std::string help = sim.Stdout();
            EXPECT_NE(help.find("--hangup-after SECONDS"), std::string::npos);
            EXPECT_NE(help.find("--flood"), std::string::npos);
        } else {
            EXPECT_EQ(sim.Stdout(), "");
            EXPECT_NE(sim.Stderr(), "");
        }
    }
}

}  // namespace
