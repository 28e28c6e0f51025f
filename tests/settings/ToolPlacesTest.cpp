// Where the window and zk4ctl find ZK4.ini, the port links and the translations: finding creates
// nothing, and only a program about to write makes the configuration folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/ToolPlaces.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// ZK4.ini, the port link folders in the order they are searched, and the translations, each
// below the test's folder and followed by " ".
std::string Places(const test::TempDir& dir, const ToolPlaces& places) {
    std::vector<std::string> paths = places.portsFolders;
    paths.insert(paths.begin(), places.settingsFile);
    paths.push_back(places.translationsFolder);
    std::string text;
    for (const std::string& path : paths) {
        text += fs::path(path).lexically_relative(dir.Path()).generic_string() + " ";
    }
    return text;
}

// Installed (<prefix>/bin beside <prefix>/share/zk4-toolset, whatever the prefix) or portable,
// told by the layout around the executable: its folder can be written in every row (as it can
// for root in /usr/bin) and holds an old ZK4.ini, so only the layout decides. The settings file is
// named after the executable.
TEST(ToolPlaces, TheLayoutAroundTheExecutableTellsAnInstalledCopyFromAPortableOne) {
    // The folders made (the executable in the first), the executable; then its places.
    const std::tuple<std::vector<const char*>, const char*, const char*> rows[] = {
        {{"opt/x/bin", "opt/x/share/zk4-toolset"},
         "ZK4",
         "config/ZK4/ZK4.ini config/ZK4/ports opt/x/share/zk4-toolset/translations "},
        {{"usr/bin", "usr/share/other"},
         "ZK4",
         "usr/bin/ZK4.ini usr/bin/ports config/ZK4/ports usr/bin/translations "},
        {{"usr/tools", "usr/share/zk4-toolset"},
         "ZK4",
         "usr/tools/ZK4.ini usr/tools/ports config/ZK4/ports usr/tools/translations "},
        {{"bin"}, "ZK4.EXE", "bin/ZK4.EXEZK4.ini bin/ports config/ZK4/ports bin/translations "},
    };
    for (const auto& [folders, name, expected] : rows) {
        test::TempDir dir;
        for (const char* folder : folders) {
            fs::create_directories(dir.Path() / folder);
        }
        test::WriteFile(dir.Path() / folders.front() / "ZK4.ini", "COM=3;\r\n");
        const ToolPlaces places = FindToolPlaces((dir.Path() / folders.front() / name).string(),
                                                 (dir.Path() / "config/ZK4").string());
        EXPECT_EQ(Places(dir, places), expected);
        EXPECT_FALSE(fs::exists(dir.Path() / "config"));
        MakeSettingsFolder(places);
        EXPECT_EQ(fs::exists(dir.Path() / "config/ZK4"), places.installed) << expected;
    }
}

// A portable copy in a folder it cannot write: file modes decide, and root ignores them, so as
// root this runs again as uid 65534. Each row: the mode of an empty ZK4.ini beside it (-1: none),
// whether a configuration folder is known, where ZK4.ini is then. The configuration folder is
// made (with its missing parent, private to this user) only when it holds ZK4.ini.
TEST(ToolPlaces, SettingsBesideAWritableCopyElseInTheConfigurationFolder) {
    if (!test::PosixSystem()) {
        GTEST_SKIP() << "file modes that refuse this process are a POSIX matter";
    }
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    const std::tuple<int, bool, std::string> rows[] = {{-1, true, "config/ZK4/ZK4.ini"},
                                                       {0644, true, "bin/ZK4.ini"},
                                                       {0444, true, "config/ZK4/ZK4.ini"},
                                                       {0200, true, "config/ZK4/ZK4.ini"},
                                                       {-1, false, "bin/ZK4.ini"}};
    for (const auto& [ini, config, chosen] : rows) {
        SCOPED_TRACE(ini);
        test::TempDir dir;
        fs::create_directory(dir / "bin");
        if (ini >= 0) {
            test::WriteFile(dir / "bin/ZK4.ini", "");
            fs::permissions(dir / "bin/ZK4.ini", fs::perms(ini));
        }
        fs::permissions(dir / "bin", fs::perms(0555));
        const ToolPlaces places = FindToolPlaces(dir / "bin/ZK4", config ? dir / "config/ZK4" : "");
        EXPECT_EQ(std::pair(places.settingsFile, places.portsFolders.size()),
                  std::pair(dir / chosen, std::size_t{config ? 2u : 1u}));
        MakeSettingsFolder(places);
        EXPECT_EQ(fs::status(dir / "config/ZK4").permissions(),
                  chosen.starts_with("config") ? fs::perms::owner_all : fs::perms::unknown);
        fs::permissions(dir / "bin", fs::perms::owner_all);
    }
}

}  // namespace
}  // namespace zk4
