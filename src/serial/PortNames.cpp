// COM port names and the devices behind them.
#include "serial/PortNames.h"

#include <array>

#if !defined(_WIN32)
#include <sys/stat.h>
#include <unistd.h>
#include <climits>
#include <cstdlib>
#endif

namespace zk4 {

namespace {

constexpr int kLastPort = 30;

#if !defined(_WIN32)

// The port's device when no link names one: ten numbers per kind of adapter.
std::string TableDevice(int number) {
    static constexpr std::array<const char*, 3> kFamilies = {"/dev/ttyUSB", "/dev/ttyACM",
                                                             "/dev/ttyS"};
    const int index = number - 1;
    return kFamilies[static_cast<std::size_t>(index / 10)] + std::to_string(index % 10);
}

std::string CanonicalPath(const std::string& path) {
    char resolved[PATH_MAX];
    if (::realpath(path.c_str(), resolved) != nullptr) {
        return resolved;
    }
    return {};
}

// What a link says, made absolute against the folder that holds the link. Used when the
// target is missing, so the failed open names the device the link was meant for.
std::string LinkText(const std::string& link, const std::string& portsDir) {
    std::array<char, PATH_MAX> buffer{};
    const ssize_t n = ::readlink(link.c_str(), buffer.data(), buffer.size() - 1);
    if (n <= 0) {
        return link;
    }
    std::string target(buffer.data(), static_cast<std::size_t>(n));
    if (target.front() == '/') {
        return target;
    }
    std::string base = CanonicalPath(portsDir);
    if (base.empty()) {
        base = portsDir;
    }
    return base + "/" + target;
}

#endif

}  // namespace

std::string ComName(int number) {
    return "COM" + std::to_string(number);
}

std::optional<int> PortNumberFromName(std::string_view name) {
    for (int number = 1; number <= kLastPort; ++number) {
        if (name == ComName(number)) {
            return number;
        }
    }
    return std::nullopt;
}

bool StartsAPortName(std::string_view text) {
    for (int number = 1; number <= kLastPort; ++number) {
        if (ComName(number).starts_with(text)) {
            return true;
        }
    }
    return false;
}

std::string DeviceForPort(int number, const std::vector<std::string>& portsDirs) {
    if (number < 1 || number > kLastPort) {
        number = 1;
    }
#if defined(_WIN32)
    (void)portsDirs;
    return ComName(number);
#else
    for (const std::string& portsDir : portsDirs) {
        const std::string link = portsDir + "/" + ComName(number);
        struct stat info {};
        if (portsDir.empty() || ::lstat(link.c_str(), &info) != 0) {
            continue;
        }
        // A link (or a device node or file placed there) names the device; resolve it all the
        // way, so the lock and the messages use the same name as every other program.
        const std::string canonical = CanonicalPath(link);
        if (!canonical.empty()) {
            return canonical;
        }
        if (S_ISLNK(info.st_mode)) {
            return LinkText(link, portsDir);
        }
        return link;
    }
    return TableDevice(number);
#endif
}

}  // namespace zk4
