// The configuration folder of the XDG base directories: $XDG_CONFIG_HOME/ZK4 when that is an
// absolute path (a relative one is ignored, as the convention says), else $HOME/.config/ZK4.
#include <pwd.h>
#include <unistd.h>

#include <cstdlib>
#include <vector>

#include "settings/UserConfig.h"

namespace zk4 {
namespace {

std::string Below(std::string folder, const char* name) {
    while (folder.size() > 1 && folder.back() == '/') {
        folder.pop_back();
    }
    return folder + (folder == "/" ? "" : "/") + name;
}

std::optional<std::string> HomeOfThisUser() {
    std::vector<char> buffer(16384);
    passwd entry{};
    passwd* found = nullptr;
    if (::getpwuid_r(::getuid(), &entry, buffer.data(), buffer.size(), &found) == 0 && found &&
        found->pw_dir != nullptr && *found->pw_dir != '\0') {
        return std::string(found->pw_dir);
    }
    return std::nullopt;
}

}  // namespace

const Environment& SystemEnvironment() {
    static const Environment environment = [](const char* name) -> std::optional<std::string> {
        if (const char* value = std::getenv(name)) {
            return std::string(value);
        }
        if (std::string_view(name) == "HOME") {
            return HomeOfThisUser();
        }
        return std::nullopt;
    };
    return environment;
}

std::string UserConfigFolder(const Environment& environment) {
    if (const auto xdg = environment("XDG_CONFIG_HOME"); xdg && xdg->starts_with('/')) {
        return Below(*xdg, "ZK4");
    }
    if (const auto home = environment("HOME"); home && home->starts_with('/')) {
        return Below(Below(*home, ".config"), "ZK4");
    }
    return {};
}

}  // namespace zk4
