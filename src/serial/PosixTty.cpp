#include "serial/PosixTty.h"

#include <fcntl.h>
#include <poll.h>
#include <signal.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <cerrno>
#include <cstring>

namespace zk4 {

namespace {

// The folders where serial programs keep UUCP-style lock files "LCK..<device>", in the
// order QSerialPort (Qt 6.4, Linux) searches them.
constexpr std::array<const char*, 8> kLockDirs = {
    "/var/lock", "/etc/locks", "/var/spool/locks",  "/var/spool/uucp",
    "/tmp",      "/var/tmp",   "/var/lock/lockdev", "/run/lock"};

// The first bytes of a lock file; empty when there is none.
std::string LockFileHead(const std::string& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK);
    if (fd < 0) {
        return {};
    }
    std::array<char, 32> text{};
    const ssize_t n = ::read(fd, text.data(), text.size());
    ::close(fd);
    return {text.data(), static_cast<std::size_t>(n > 0 ? n : 0)};
}

std::string LockFileName(const std::string& device) {
    std::string name = device.rfind("/dev/", 0) == 0 ? device.substr(5) : device;
    for (char& c : name) {
        if (c == '/') {
            c = '_';
        }
    }
    return "LCK.." + name;
}

}  // namespace

long LockFilePid(std::string_view text) {
    long pid = 0;
    int digits = 0;
    for (const char c : text) {
        if (c >= '0' && c <= '9' && digits < 10) {
            pid = pid * 10 + (c - '0');
            ++digits;
        } else if (digits > 0 || c != ' ') {
            break;
        }
    }
    return pid;
}

bool LineHungUp(int fd) {
    if (fd < 0) {
        return false;
    }
    pollfd entry{fd, POLLIN, 0};
    if (::poll(&entry, 1, 0) < 0) {
        return false;
    }
    // A healthy tty never reports these.
    return (entry.revents & (POLLHUP | POLLERR | POLLNVAL)) != 0;
}

void DrainKernel(int fd, std::vector<std::uint8_t>& out) {
    if (fd < 0) {
        return;
    }
    // An empty queue reads as 0 bytes; a hung-up line reads as 0 or fails: both end the loop.
    std::array<std::uint8_t, 4096> chunk{};
    for (;;) {
        const ssize_t n = ::read(fd, chunk.data(), chunk.size());
        if (n > 0) {
            out.insert(out.end(), chunk.begin(), chunk.begin() + n);
        } else if (n < 0 && errno == EINTR) {
            continue;
        } else {
            return;
        }
    }
}

// QSerialPort's own check would treat the lock file of a program that writes only its pid
// as stale and take the port over.
long ForeignLockOwner(const std::string& device) {
    const std::string name = LockFileName(device);
    for (const char* dir : kLockDirs) {
        const long pid = LockFilePid(LockFileHead(std::string(dir) + "/" + name));
        if (pid > 0 && pid != ::getpid() &&
            (::kill(static_cast<pid_t>(pid), 0) == 0 || errno == EPERM)) {
            return pid;
        }
    }
    return 0;
}

// QSerialPort's PermissionError stands for a missing access right, a held lock file and a
// busy tty alike; these are told apart here, before it tries.
std::optional<TtyRefusal> CheckBeforeOpen(const std::string& device) {
    struct stat info {};
    if (::stat(device.c_str(), &info) != 0) {
        if (errno == ENOENT || errno == ENOTDIR) {
            return TtyRefusal{PortFailure::NotExist, {}};
        }
        if (errno == EACCES) {
            return TtyRefusal{PortFailure::PermissionDenied, {}};
        }
        return std::nullopt;  // let the open report it
    }
    if (::faccessat(AT_FDCWD, device.c_str(), R_OK | W_OK, AT_EACCESS) != 0 &&
        (errno == EACCES || errno == EPERM)) {
        return TtyRefusal{PortFailure::PermissionDenied, {}};
    }
    if (const long holder = ForeignLockOwner(device); holder != 0) {
        return TtyRefusal{PortFailure::InUse, std::to_string(holder)};
    }
    return std::nullopt;
}

// QSerialPort already holds the lock file and sets TIOCEXCL, but TIOCEXCL does not stop root
// and lock files are only honoured by programs that look for them; an advisory lock on the
// device itself also keeps out every program that takes one.
std::optional<TtyRefusal> LockDevice(int fd) {
    int rc = 0;
    do {
        rc = ::flock(fd, LOCK_EX | LOCK_NB);
    } while (rc != 0 && errno == EINTR);
    if (rc == 0) {
        return std::nullopt;
    }
    if (errno == EWOULDBLOCK) {
        return TtyRefusal{PortFailure::InUse, {}};
    }
    return TtyRefusal{PortFailure::LockFailed, std::strerror(errno)};
}

}  // namespace zk4
