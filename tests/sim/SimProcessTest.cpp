// The built zk4-sim as a program: its pty opened through the link, reconnection, the wire log,
// signals, hang-up, silence, flooding and option errors.
#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <filesystem>
#include <functional>
#include <optional>
#include <set>
#include <sstream>
#include <string>
#include <thread>
#include <utility>
#include <vector>

#include "protocol/WireTrace.h"
#include "support/TempDir.h"

namespace {

namespace fs = std::filesystem;
using Clock = std::chrono::steady_clock;
using namespace std::chrono_literals;
using zk4::test::TempDir;

std::int64_t SteadyUs(Clock::time_point at) {
    return std::chrono::duration_cast<std::chrono::microseconds>(at.time_since_epoch()).count();
}

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

// What arrives on fd until `size` bytes or a line end (`toLineEnd`) are in, end-of-file, an
// error or the limit.
std::string Read(int fd, std::size_t size, Clock::duration limit = 5s, bool toLineEnd = false) {
    std::string text;
    const auto deadline = Clock::now() + limit;
    while (text.size() < size && !(toLineEnd && text.ends_with('\n')) && Clock::now() < deadline) {
        pollfd p{fd, POLLIN, 0};
        const auto left = std::chrono::ceil<std::chrono::milliseconds>(deadline - Clock::now());
        char buffer[256];
        if (poll(&p, 1, static_cast<int>(left.count())) > 0) {
            const ssize_t n = read(fd, buffer, toLineEnd ? 1 : sizeof buffer);
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

struct SimChild {
    explicit SimChild(std::vector<std::string> args) {
        args.insert(args.begin(), ZK4_SIM_PATH);
        std::vector<char*> argv;
        for (auto& arg : args) {
            argv.push_back(arg.data());
        }
        argv.push_back(nullptr);
        int out[2] = {-1, -1};
        int err[2] = {-1, -1};
        if (pipe2(out, O_CLOEXEC) == 0 && pipe2(err, O_CLOEXEC) == 0 && (pid = fork()) == 0) {
            dup2(out[1], STDOUT_FILENO);
            dup2(err[1], STDERR_FILENO);
            execv(argv[0], argv.data());
            _exit(127);
        }
        close(out[1]);
        close(err[1]);
        stdoutFd = out[0];
        stderrFd = err[0];
    }
    ~SimChild() {
        if (pid > 0) {
            kill(pid, SIGKILL);
            waitpid(pid, nullptr, 0);
        }
        close(stdoutFd);
        close(stderrFd);
    }

    // The slave path from the "ready" line; empty if none came in time.
    std::string WaitReady() {
        const std::string text = Read(stdoutFd, SIZE_MAX, 10s, true);
        return text.starts_with("ready ") && text.ends_with('\n') ? text.substr(6, text.size() - 7)
                                                                  : "";
    }

    // The exit code once it has ended (128 + signal when killed), or nothing in time.
    std::optional<int> WaitExit(Clock::duration limit = 10s) {
        int status = 0;
        rusage usage{};
        if (pid <= 0 ||
            !WaitFor([&] { return wait4(pid, &status, WNOHANG, &usage) == pid; }, limit)) {
            return std::nullopt;
        }
        pid = -1;
        cpu = std::chrono::seconds(usage.ru_utime.tv_sec + usage.ru_stime.tv_sec) +
              std::chrono::microseconds(usage.ru_utime.tv_usec + usage.ru_stime.tv_usec);
        return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
    }

    pid_t pid = -1;
    int stdoutFd = -1, stderrFd = -1;
    Clock::duration cpu{};  // known once it has ended
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
    // With no host on the port the master side reports a hang-up on every poll; idling through
    // that must not cost the processor. The test lets time pass on purpose, to measure that.
    std::this_thread::sleep_for(500ms);

    const std::vector<std::pair<std::string, std::string>> exchanges = {
        {"AT ID?\r\n", kIdAnswer},
        {"AT CN=9\r\n", ""},
        {"AT RALL\r\n", "AT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\nAT CN=9\r\nAT HZVSMPH=1.7881\r\n"},
    };
    std::string sent, answers;
    const auto startedAt = Clock::now();
    for (int session = 0; session < 3; ++session) {
        const int fd = OpenRaw(link);
        ASSERT_GE(fd, 0) << session;
        for (const auto& [command, answer] : exchanges) {
            EXPECT_EQ(Ask(fd, command, answer.size()), answer) << session << " " << command;
            sent += command;
            answers += answer;
        }
        close(fd);
    }

    // Both directions in order, timed on the steady clock the tool's trace uses too.
    std::istringstream log(zk4::test::ReadFile(tmp / "log"));
    std::string line, logged, answered;
    std::int64_t last = SteadyUs(startedAt);
    while (std::getline(log, line)) {
        const auto parsed = zk4::ParseTraceLine(line);
        ASSERT_TRUE(parsed) << line;
        EXPECT_LE(std::exchange(last, parsed->us), parsed->us) << line;
        (parsed->kind == zk4::TraceKind::HostToDevice ? logged : answered) += parsed->bytes;
    }
    EXPECT_LE(last, SteadyUs(Clock::now()));
    EXPECT_EQ(logged, sent);
    EXPECT_EQ(answered, answers);

    kill(sim.pid, SIGTERM);
    EXPECT_EQ(sim.WaitExit(), 0);
    EXPECT_LT(sim.cpu, 150ms);
    EXPECT_FALSE(fs::is_symlink(link));
}

// Silent from one second on but still running; at three seconds the terminal goes away under
// the open port, the way an unplugged adapter's does.
TEST(SimProcess, FallsSilentThenHangsUpUnderAnOpenPort) {
    TempDir tmp;
    const std::string link = tmp / "ports/COM2";
    SimChild sim({"--link-beside", tmp / "ZK4", "--port", "COM2", "--silent-after", "1",
                  "--hangup-after", "3"});
    ASSERT_NE(sim.WaitReady(), "");
    const auto readyAt = Clock::now();
    const int fd = OpenRaw(link);
    ASSERT_GE(fd, 0);
    std::optional<Clock::time_point> silentAt;
    while (!silentAt && Clock::now() < readyAt + 10s) {
        const std::string answer = Ask(fd, "AT FW=?\r\n", kFirmwareAnswer.size(), 300ms);
        if (answer.empty()) {
            silentAt = Clock::now();
        } else {
            EXPECT_EQ(answer, kFirmwareAnswer);
        }
    }
    ASSERT_TRUE(silentAt);
    EXPECT_GE(*silentAt - readyAt, 1s);
    EXPECT_EQ(Ask(fd, "AT ID?\r\n", kIdAnswer.size(), 300ms), "");
    EXPECT_FALSE(sim.WaitExit(0s));

    EXPECT_TRUE(WaitFor([&] { return !fs::is_symlink(link); }, 10s));
    pollfd p{fd, POLLIN, 0};
    ASSERT_EQ(poll(&p, 1, 5000), 1);
    char c = 0;
    const ssize_t n = read(fd, &c, 1);
    EXPECT_TRUE(n == 0 || (n < 0 && errno == EIO)) << n << " " << errno;
    close(fd);
    EXPECT_EQ(sim.WaitExit(), 0);
}

TEST(SimProcess, FloodSendsRandomBytesAtTheLineRateInsteadOfAnswers) {
    TempDir tmp;
    SimChild sim({"--link-beside", tmp / "ZK4", "--flood"});
    ASSERT_NE(sim.WaitReady(), "");
    const int fd = OpenRaw(tmp / "ports/COM1");
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
    EXPECT_TRUE(rate > 11520 * 0.8 && rate < 11520 * 1.2) << rate;
    // Random, not one repeated byte or a short pattern, and no answer mixed in.
    EXPECT_GT(std::set<char>(stream.begin(), stream.end()).size(), 200u);
    EXPECT_EQ(stream.find(kFirmwareAnswer), std::string::npos);
    kill(sim.pid, SIGTERM);
    EXPECT_EQ(sim.WaitExit(2s), 0);
    EXPECT_LT(sim.cpu, 500ms);  // paced writes, not a busy loop
    close(fd);
}

TEST(SimProcess, OptionErrorsExitWithCode2AndHelpWithCode0) {
    const std::vector<std::pair<std::vector<std::string>, int>> cases = {
        {{"--bogus"}, 2}, {{"--serial", "x"}, 2}, {{"--port", "COM1"}, 2}, {{"--help"}, 0}};
    for (const auto& [args, code] : cases) {
        SCOPED_TRACE(testing::PrintToString(args));
        SimChild sim(args);
        EXPECT_EQ(sim.WaitExit(), code);
        const std::string out = Read(sim.stdoutFd, SIZE_MAX);
        EXPECT_EQ(out.find("--hangup-after SECONDS") != std::string::npos, code == 0) << out;
        EXPECT_EQ(Read(sim.stderrFd, SIZE_MAX).empty(), code == 0);
    }
}

}  // namespace
