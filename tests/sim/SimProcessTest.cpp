// The built zk4-sim as a program: its pseudo-terminal reached through the link, its wire trace,
// and its exit codes.
#include <fcntl.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <filesystem>
#include <sstream>
#include <utility>

#include "e2e/SimProcess.h"
#include "protocol/WireTrace.h"
#include "support/TempDir.h"

namespace zk4::test {
namespace {

std::int64_t SteadyUs() {
    const auto now = std::chrono::steady_clock::now().time_since_epoch();
    return std::chrono::duration_cast<std::chrono::microseconds>(now).count();
}

TEST(SimProcess, LinkedPortAnswersAndTheTraceHoldsEveryByteInOrder) {
    namespace fs = std::filesystem;
    TempDir tmp;
    const std::string link = tmp / "ports/COM2";
    fs::create_directories(tmp.Path() / "ports");
    fs::create_symlink("/dev/pts/no-such-terminal", link);  // left by an earlier run
    const std::int64_t startedUs = SteadyUs();
    SimProcess sim(tmp / "ZK4", "COM2", {"--log", tmp / "log"});
    EXPECT_EQ(fs::read_symlink(link), sim.slavePath);

    // Raw mode is the simulator's doing: the test opens the terminal as it finds it.
    const int fd = open(link.c_str(), O_RDWR | O_NOCTTY);
    const std::string sent = "AT ID?\r\nAT CN=9\r\nAT RALL\r\n";
    const std::string answers =
        "ACK IDC28765432100B0\r\nAT DV=13.8\r\nAT RPM=650\r\nAT MPH=0\r\n"
        "AT CN=9\r\nAT HZVSMPH=1.7881\r\n";
    std::string got(answers.size(), '\0');
    std::size_t size = 0;
    ASSERT_EQ(write(fd, sent.data(), sent.size()), std::ssize(sent));
    for (pollfd p{fd, POLLIN, 0}; size < got.size() && poll(&p, 1, 5000) == 1;) {
        const ssize_t n = read(fd, got.data() + size, got.size() - size);
        size += n > 0 ? static_cast<std::size_t>(n) : got.size();
    }
    EXPECT_EQ(got, answers);
    close(fd);
    const int status = sim.Stop();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
    EXPECT_FALSE(fs::is_symlink(link));

    // Both directions in order, timed on the steady clock that the tool's trace uses too.
    std::istringstream log(ReadFile(tmp / "log"));
    std::string line, logged, answered;
    std::int64_t last = startedUs;
    while (std::getline(log, line)) {
        const auto parsed = ParseTraceLine(line);
        ASSERT_TRUE(parsed) << line;
        EXPECT_LE(std::exchange(last, parsed->us), parsed->us) << line;
        (parsed->kind == TraceKind::HostToDevice ? logged : answered) += parsed->bytes;
    }
    EXPECT_LE(last, SteadyUs());
    EXPECT_EQ(std::pair(logged, answered), std::pair(sent, answers));
}

TEST(SimProcess, BadOptionsExitWithCode2AndHelpWithCode0) {
    for (const auto& [args, code] : {std::pair("--bogus", 2), {"--serial x", 2}, {"--help", 0}}) {
        std::FILE* out = popen((std::string(ZK4_SIM_EXECUTABLE) + " " + args + " 2>&1").c_str(), "r");
        std::string text(65536, '\0');
        text.resize(std::fread(text.data(), 1, text.size(), out));
        const int status = pclose(out);
        EXPECT_EQ(WIFEXITED(status) ? WEXITSTATUS(status) : -1, code) << args;
        EXPECT_NE(text.find(code ? "Try 'zk4-sim --help'" : "--hangup-after SECONDS"),
                  std::string::npos)
            << text;
    }
}

}  // namespace
}  // namespace zk4::test
