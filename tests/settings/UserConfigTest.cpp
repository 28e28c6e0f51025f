// The user's configuration folder from the environment, for each platform's conventions.
#include <gtest/gtest.h>

#include <map>
#include <span>

#include "settings/UserConfig.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

// A name, the environment, the folder.
using Row = std::tuple<const char*, std::map<std::string, std::string>, std::string>;

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
        const auto& [name, variables, folder] = row;
        EXPECT_EQ(UserConfigFolder([&row](const char* variable) -> std::optional<std::string> {
                      const auto found = std::get<1>(row).find(variable);
                      return found == std::get<1>(row).end() ? std::nullopt
                                                             : std::optional(found->second);
                  }),
                  folder)
            << name;
    }
}

}  // namespace
}  // namespace zk4
