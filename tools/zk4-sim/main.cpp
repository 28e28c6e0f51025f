// zk4-sim: a simulated ZK4 device on a pseudo-terminal.
//
// Opens a pseudo-terminal, puts its slave side in raw mode, optionally links it as
// ports/COMn beside the host tool, prints "ready <slave path>" and then answers the host until
// SIGINT/SIGTERM/SIGHUP or the --hangup-after deadline. With --flood it sends random bytes at
// the line's full rate instead of answering; with --stream, report lines at that rate with the
// answers slipped in between two lines.
//
// The simulator does not keep the slave open itself. Holding it would pin the terminal's
// state between host sessions: an exclusive-access flag (TIOCEXCL, which serial libraries set)
// left by a host that crashed would then lock every later host out. The price is that while
// no host has the port open, the master side reports a hang-up at once on every poll; the loop
// then looks again every kIdleRecheck instead of spinning. Bytes the host wrote before it
// closed are still read first; raw mode survives between sessions.

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <climits>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "SimDevice.h"
#include "SimOptions.h"
#include "protocol/WireTrace.h"

namespace {

using Clock = std::chrono::steady_clock;
using std::chrono::microseconds;
using std::chrono::milliseconds;

constexpr milliseconds kIdleRecheck{25};

// 115200 baud with a start bit, 8 data bits and a stop bit: 10 bit times per byte.
constexpr std::uint64_t kLineBytesPerSecond = 115200 / 10;
constexpr milliseconds kFullRateStep{10};

int g_signalPipe[2] = {-1, -1};

extern "C" void OnSignal(int signo) {
    const int saved = errno;
    const auto byte = static_cast<unsigned char>(signo);
    [[maybe_unused]] const ssize_t written = write(g_signalPipe[1], &byte, 1);
    errno = saved;
}

class Fd {
  public:
    explicit Fd(int fd = -1) : m_fd(fd) {}
    Fd(const Fd&) = delete;
    Fd& operator=(const Fd&) = delete;
    ~Fd() { Reset(); }
    int Get() const { return m_fd; }
    void Reset(int fd = -1) {
        if (m_fd >= 0) {
            close(m_fd);
        }
        m_fd = fd;
    }

  private:
    int m_fd;
};

std::string ErrnoText(std::string_view what) {
    return std::string(what) + ": " + std::strerror(errno);
}

int Fail(const std::string& message) {
    std::fprintf(stderr, "zk4-sim: %s\n", message.c_str());
    return 1;
}

// Creates the pty pair; returns the master and fills slavePath. Empty string on success.
std::string OpenPty(Fd& master, std::string& slavePath) {
    master.Reset(posix_openpt(O_RDWR | O_NOCTTY | O_NONBLOCK | O_CLOEXEC));
    if (master.Get() < 0) {
        return ErrnoText("cannot open a pseudo-terminal");
    }
    char name[PATH_MAX] = {};
    if (grantpt(master.Get()) != 0 || unlockpt(master.Get()) != 0 ||
        ptsname_r(master.Get(), name, sizeof name) != 0) {
        return ErrnoText("cannot prepare the pseudo-terminal");
    }
    slavePath = name;

    // Raw mode set through a short-lived slave descriptor stays with the terminal.
    const Fd slave(open(name, O_RDWR | O_NOCTTY | O_CLOEXEC));
    termios mode{};
    if (slave.Get() < 0 || tcgetattr(slave.Get(), &mode) != 0) {
        return ErrnoText("cannot open " + slavePath);
    }
    cfmakeraw(&mode);
    cfsetispeed(&mode, B115200);
    cfsetospeed(&mode, B115200);
    if (tcsetattr(slave.Get(), TCSANOW, &mode) != 0) {
        return ErrnoText("cannot set raw mode on " + slavePath);
    }
    return {};
}

// Points linkPath at target. A link already there (left by an earlier run) is replaced in one
// step; anything that is not a link is left alone and reported.
std::string MakeLink(const std::string& linkPath, const std::string& target) {
    std::error_code ec;
    const std::filesystem::path folder = std::filesystem::path(linkPath).parent_path();
    if (!folder.empty()) {
        std::filesystem::create_directories(folder, ec);
        if (ec) {
            return "cannot create " + folder.string() + ": " + ec.message();
        }
    }
    struct stat existing {};
    if (lstat(linkPath.c_str(), &existing) == 0 && !S_ISLNK(existing.st_mode)) {
        return linkPath + " exists and is not a link; not replacing it";
    }
    const std::string temporary = linkPath + ".zk4-sim-" + std::to_string(getpid());
    unlink(temporary.c_str());
    if (symlink(target.c_str(), temporary.c_str()) != 0) {
        return ErrnoText("cannot create the link " + temporary);
    }
    if (rename(temporary.c_str(), linkPath.c_str()) != 0) {
        const std::string error = ErrnoText("cannot create the link " + linkPath);
        unlink(temporary.c_str());
        return error;
    }
    return {};
}

// Removes the link only while it still points at our terminal: a later simulator may have
// taken the name over.
void RemoveLink(const std::string& linkPath, const std::string& target) {
    std::vector<char> buffer(target.size() + 2);
    const ssize_t n = readlink(linkPath.c_str(), buffer.data(), buffer.size());
    if (n >= 0 && std::string_view(buffer.data(), static_cast<std::size_t>(n)) == target) {
        unlink(linkPath.c_str());
    }
}

// The wire trace (protocol/WireTrace.h): one line per read and per write, timed on the steady
// clock like the tool's --trace, flushed at once so that a reader sees every byte the device
// has acted on.
class WireLog {
  public:
    bool Open(const std::string& path) {
        m_file.reset(std::fopen(path.c_str(), "w"));
        return m_file != nullptr;
    }
    void Write(Clock::time_point at, zk4::TraceKind kind, std::string_view bytes) {
        if (!m_file || bytes.empty()) {
            return;
        }
        const auto us = std::chrono::duration_cast<microseconds>(at.time_since_epoch()).count();
        m_line.clear();
        zk4::AppendTraceLine(m_line, static_cast<std::int64_t>(us), kind, bytes);
        std::fwrite(m_line.data(), 1, m_line.size(), m_file.get());
        std::fflush(m_file.get());
    }

  private:
    struct Closer {
        void operator()(std::FILE* f) const { std::fclose(f); }
    };
    std::unique_ptr<std::FILE, Closer> m_file;
    std::string m_line;
};

// A full pty buffer means nobody is reading: the rest is dropped, as a UART would. Returns
// what went out.
std::string_view WriteAll(int fd, std::string_view bytes) {
    std::size_t sent = 0;
    while (sent < bytes.size()) {
        const ssize_t n = write(fd, bytes.data() + sent, bytes.size() - sent);
        if (n < 0 && errno == EINTR) {
            continue;
        }
        if (n <= 0) {
            break;
        }
        sent += static_cast<std::size_t>(n);
    }
    return bytes.substr(0, sent);
}

// A saturated line: bytes at exactly the line's rate. What is due follows from the time since
// start, so a late wake-up sends the bytes owed in one chunk and the average rate never drifts;
// bytes the terminal cannot take are dropped (WriteAll), never sent later. The source hands out
// the next piece whenever the queue runs short; a piece is never cut by a later one.
class FullRateSender {
  public:
    using Source = std::function<std::string(Clock::time_point)>;  // never empty

    FullRateSender(Clock::time_point start, Source source)
        : m_start(start), m_next(start), m_source(std::move(source)) {}

    Clock::time_point NextAt() const { return m_next; }

    std::string Take(Clock::time_point now) {
        const auto us = std::chrono::duration_cast<microseconds>(now - m_start).count();
        const std::uint64_t due = static_cast<std::uint64_t>(us) * kLineBytesPerSecond / 1000000;
        const auto count = static_cast<std::size_t>(due - m_sent);
        while (m_queue.size() < count) {
            m_queue += m_source(now);
        }
        std::string bytes = m_queue.substr(0, count);
        m_queue.erase(0, count);
        m_sent = due;
        m_next = now + kFullRateStep;
        return bytes;
    }

  private:
    Clock::time_point m_start;
    Clock::time_point m_next;
    Source m_source;
    std::string m_queue;
    std::uint64_t m_sent = 0;
};

// Random bytes from a fixed seed (xorshift32): the same flood every run.
FullRateSender::Source FloodSource() {
    return [state = std::uint32_t{0x9E3779B9u}](Clock::time_point) mutable {
        std::string bytes(64, '\0');
        for (char& c : bytes) {
            state ^= state << 13;
            state ^= state >> 17;
            state ^= state << 5;
            c = static_cast<char>(state >> 24);
        }
        return bytes;
    };
}

// One line at a time, so that an answer waits at most one line: the pending answers first,
// else the next line of a poll's answer (values of the moment, faults applied).
FullRateSender::Source StreamSource(zk4sim::SimDevice& device, std::string& answers,
                                    Clock::time_point start) {
    return [&device, &answers, start, lines = std::string()](Clock::time_point now) mutable {
        if (!answers.empty()) {
            return std::exchange(answers, {});
        }
        if (lines.empty()) {
            const std::chrono::duration<double> seconds = now - start;
            lines = device.Answer({zk4sim::CommandKind::ReadAll}, seconds.count());
        }
        const std::size_t end = lines.find('\n');
        std::string line = lines.substr(0, end == std::string::npos ? end : end + 1);
        lines.erase(0, line.size());
        return line;
    };
}

bool InstallSignalHandlers() {
    if (pipe(g_signalPipe) != 0) {
        return false;
    }
    for (int fd : g_signalPipe) {
        fcntl(fd, F_SETFD, FD_CLOEXEC);
        fcntl(fd, F_SETFL, O_NONBLOCK);
    }
    struct sigaction action {};
    action.sa_handler = OnSignal;
    sigemptyset(&action.sa_mask);
    for (int signo : {SIGINT, SIGTERM, SIGHUP}) {
        if (sigaction(signo, &action, nullptr) != 0) {
            return false;
        }
    }
    signal(SIGPIPE, SIG_IGN);
    return true;
}

int Run(const zk4sim::SimOptions& options) {
    WireLog log;
    if (!options.logPath.empty() && !log.Open(options.logPath)) {
        return Fail(ErrnoText("cannot write the log " + options.logPath));
    }
    if (!InstallSignalHandlers()) {
        return Fail(ErrnoText("cannot set up signal handling"));
    }
    Fd master;
    std::string slavePath;
    if (auto error = OpenPty(master, slavePath); !error.empty()) {
        return Fail(error);
    }
    std::string linkPath;
    if (!options.linkBeside.empty()) {
        linkPath = zk4sim::LinkPathFor(options.linkBeside, options.port);
        if (auto error = MakeLink(linkPath, slavePath); !error.empty()) {
            return Fail(error);
        }
        std::fprintf(stderr, "zk4-sim: %s -> %s\n", linkPath.c_str(), slavePath.c_str());
    }
    std::printf("ready %s\n", slavePath.c_str());
    std::fflush(stdout);

    zk4sim::SimDevice device(options.device);
    const Clock::time_point start = Clock::now();
    const auto deadline = [&](std::optional<std::uint32_t> ms) {
        return ms ? start + milliseconds(*ms) : Clock::time_point::max();
    };
    const Clock::time_point hangupAt = deadline(options.hangupAfterMs);
    const Clock::time_point silentFrom = deadline(options.silentAfterMs);
    Clock::time_point masterIdleUntil = start;  // while no host holds the slave
    std::string streamAnswers;                  // waiting for the end of the line being streamed
    std::optional<FullRateSender> fullRate;
    if (options.flood) {
        fullRate.emplace(start, FloodSource());
    } else if (options.stream) {
        fullRate.emplace(start, StreamSource(device, streamAnswers, start));
    }
    int exitCode = 0;

    for (;;) {
        const Clock::time_point now = Clock::now();
        if (now >= hangupAt) {
            break;
        }
        const bool watchMaster = now >= masterIdleUntil;
        Clock::time_point wakeAt = watchMaster ? hangupAt : std::min(hangupAt, masterIdleUntil);
        if (fullRate && now < silentFrom) {
            wakeAt = std::min(wakeAt, fullRate->NextAt());
        }
        int timeoutMs = -1;
        if (wakeAt != Clock::time_point::max()) {
            // Rounded up, so that the loop does not wake a little early and poll again at once.
            // A wake-up already overdue (the process was not scheduled in time) polls without
            // waiting: a negative timeout would wait for ever.
            const auto left = std::chrono::ceil<milliseconds>(wakeAt - now).count();
            timeoutMs = static_cast<int>(std::clamp<long long>(left, 0, INT_MAX));
        }
        pollfd fds[2] = {{g_signalPipe[0], POLLIN, 0},
                         {watchMaster ? master.Get() : -1, POLLIN, 0}};
        if (poll(fds, 2, timeoutMs) < 0) {
            if (errno == EINTR) {
                continue;
            }
            exitCode = Fail(ErrnoText("poll"));
            break;
        }
        if (fds[0].revents != 0) {
            break;
        }
        if ((fds[1].revents & POLLIN) != 0) {
            std::uint8_t buffer[256];
            const ssize_t n = read(master.Get(), buffer, sizeof buffer);
            if (n > 0) {
                const auto received = Clock::now();
                const auto bytes =
                    std::span<const std::uint8_t>(buffer, static_cast<std::size_t>(n));
                log.Write(received, zk4::TraceKind::HostToDevice,
                          std::string_view(reinterpret_cast<const char*>(buffer),
                                           static_cast<std::size_t>(n)));
                if (received < silentFrom && !options.flood) {
                    const auto us =
                        std::chrono::duration_cast<microseconds>(received - start).count();
                    std::string answer = device.Receive(bytes, static_cast<double>(us) / 1e6);
                    if (options.stream) {
                        streamAnswers += answer;
                    } else {
                        const std::string_view sent = WriteAll(master.Get(), answer);
                        log.Write(Clock::now(), zk4::TraceKind::DeviceToHost, sent);
                    }
                }
            } else if (n == 0 || (errno != EAGAIN && errno != EINTR)) {
                masterIdleUntil = Clock::now() + kIdleRecheck;  // EIO: the host closed the port
            }
        } else if ((fds[1].revents & (POLLHUP | POLLERR)) != 0) {
            masterIdleUntil = Clock::now() + kIdleRecheck;
        }
        if (const Clock::time_point at = Clock::now();
            fullRate && at >= fullRate->NextAt() && at < silentFrom) {
            const std::string burst = fullRate->Take(at);
            log.Write(Clock::now(), zk4::TraceKind::DeviceToHost, WriteAll(master.Get(), burst));
        }
    }

    // Unplugged adapter or orderly end: the terminal goes first, so that once the link is gone
    // a host holding the slave already reads end-of-file.
    master.Reset();
    if (!linkPath.empty()) {
        RemoveLink(linkPath, slavePath);
    }
    return exitCode;
}

}  // namespace

int main(int argc, char** argv) {
    std::vector<std::string_view> args(argv + 1, argv + argc);
    const zk4sim::OptionsResult parsed = zk4sim::ParseOptions(args);
    if (!parsed.error.empty()) {
        std::fprintf(stderr, "zk4-sim: %s\nTry 'zk4-sim --help'.\n", parsed.error.c_str());
        return 2;
    }
    if (parsed.options.help) {
        std::fputs(zk4sim::UsageText().c_str(), stdout);
        return 0;
    }
    if (parsed.options.version) {
        std::fputs("zk4-sim " ZK4_SIM_VERSION "\n", stdout);
        return 0;
    }
    return Run(parsed.options);
}
