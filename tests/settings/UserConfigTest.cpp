// The user's configuration folder from the environment, for each platform's conventions.
#include <gtest/gtest.h>

#include <map>
#include <span>

#include "settings/UserConfig.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

struct Row {
    const char* name;
    std::map<std::string, std::string> environment;
    std::string folder;
};

TEST(UserConfig, FolderFollowsThePlatformsEnvironment) {
    const Row posix[] = {
        {"XDG_CONFIG_HOME wins",
         {{"XDG_CONFIG_HOME", "/x/cfg/"}, {"HOME", "/home/u"}},
         "/x/cfg/ZK4"},
        {"a relative XDG_CONFIG_HOME is ignored",
         {{"XDG_CONFIG_HOME", "cfg"}, {"HOME", "/home/u"}},
         "/home/u/.config/ZK4"},
        {"the root folder as home", {{"HOME", "/"}}, "/.config/ZK4"},
        {"nothing to go by", {{"HOME", ""}}, ""},
    };
    const Row windows[] = {
        {"APPDATA, the roaming folder",
         {{"APPDATA", "C:\\Users\\Jos\xC3\xA9\\AppData\\Roaming"},
          {"LOCALAPPDATA", "C:\\Users\\x\\AppData\\Local"}},
         "C:\\Users\\Jos\xC3\xA9\\AppData\\Roaming\\ZK4"},
        {"without APPDATA, below the profile",
         {{"USERPROFILE", "D:\\u\\"}},
         "D:\\u\\AppData\\Roaming\\ZK4"},
        {"a relative APPDATA is ignored", {{"APPDATA", "Roaming"}}, ""},
    };
    for (const Row& row : test::PosixSystem() ? std::span<const Row>(posix) : std::span(windows)) {
        SCOPED_TRACE(row.name);
        const Environment environment = [&row](const char* name) -> std::optional<std::string> {
            const auto found = row.environment.find(name);
            return found == row.environment.end() ? std::nullopt : std::optional(found->second);
        };
        EXPECT_EQ(UserConfigFolder(environment), row.folder);
    }
}

}  // namespace
}  // namespace zk4
