// Where the window and zk4ctl find ZK4.ini and the port links: finding creates nothing, and
// only a program about to write makes the configuration folder.
#include <gtest/gtest.h>

#include <filesystem>

#include "settings/ToolPlaces.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// A copy whose folder can be written keeps ZK4.ini beside itself, named after the executable.
TEST(ToolPlaces, APortableCopyKeepsItsSettingsBesideItself) {
    test::TempDir dir;
    fs::create_directory(dir.Path() / "bin");
    const ToolPlaces places =
        FindToolPlaces((dir.Path() / "bin/ZK4.EXE").string(), (dir.Path() / "config/ZK4").string());
    EXPECT_EQ(fs::path(places.settingsFile), dir.Path() / "bin/ZK4.EXEZK4.ini");
    EXPECT_EQ(fs::path(places.portsFolders.front()), dir.Path() / "bin" / "ports");
    MakeSettingsFolder(places);
    EXPECT_FALSE(fs::exists(dir.Path() / "config"));
}

// File modes decide: root ignores them, so as root this runs again as uid 65534.
TEST(ToolPlaces, SettingsBesideAWritableCopyElseInTheConfigurationFolder) {
    if (!test::PosixSystem()) {
        GTEST_SKIP() << "file modes that refuse this process are a POSIX matter";
    }
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    const struct {
        int folder;          // mode of the executable's folder
        int ini;             // mode of an empty ZK4.ini beside the executable, or -1 for none
        const char* config;  // the configuration folder under the test's folder, or ""
        std::string chosen;
    } rows[] = {{0555, -1, "config/ZK4", "config/ZK4/ZK4.ini"},
                {0555, 0644, "config/ZK4", "bin/ZK4.ini"},
                {0555, 0444, "config/ZK4", "config/ZK4/ZK4.ini"},
                {0555, 0200, "config/ZK4", "config/ZK4/ZK4.ini"},
                {0555, -1, "", "bin/ZK4.ini"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.chosen + " " + row.config);
        test::TempDir dir;
        fs::create_directory(dir / "bin");
        if (row.ini >= 0) {
            test::WriteFile(dir / "bin/ZK4.ini", "");
            fs::permissions(dir / "bin/ZK4.ini", fs::perms(row.ini));
        }
        fs::permissions(dir / "bin", fs::perms(row.folder));
        const std::string config = *row.config ? dir / row.config : "";

        const ToolPlaces places = FindToolPlaces(dir / "bin/ZK4", config);
        EXPECT_EQ(places.settingsFile, dir / row.chosen);
        EXPECT_FALSE(fs::exists(dir / "config"));
        std::vector<std::string> ports = {dir / "bin/ports"};
        if (*row.config) {
            ports.push_back(config + "/ports");
        }
        EXPECT_EQ(places.portsFolders, ports);

        // Made with its missing parent, private to this user.
        MakeSettingsFolder(places);
        EXPECT_EQ(fs::status(dir / "config/ZK4").permissions(),
                  row.chosen.starts_with("config") ? fs::perms::owner_all : fs::perms::unknown);
        fs::permissions(dir / "bin", fs::perms::owner_all);
    }
}

}  // namespace
}  // namespace zk4
