// What stands behind a COM name on a POSIX system: a link ports/COMn, else the fixed table.
#include <sys/stat.h>
#include <unistd.h>

#include <array>
#include <climits>
#include <cstdlib>
#include <string>
#include <vector>

#include "serial/PortNames.h"

namespace zk4 {

namespace {

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

}  // namespace

std::string DeviceForPort(int number, const std::vector<std::string>& portsDirs) {
    if (number < 1 || number > kLastPort) {
        number = 1;
    }
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
}

bool DevicePresent(const std::string& device) {
    struct stat info {};
    return ::stat(device.c_str(), &info) == 0 && S_ISCHR(info.st_mode);
}

}  // namespace zk4
