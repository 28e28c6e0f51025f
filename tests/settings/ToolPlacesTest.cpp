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

// Installed or portable, told by the layout around the executable; the folder can be written in
// every row (as it can for root in /usr/bin), so only the layout decides.
TEST(ToolPlaces, AnInstalledCopyKeepsEverythingInTheConfigurationFolder) {
    const struct {
        const char* name;
        std::vector<const char*> folders;  // made under the test's folder
        const char* leftover;              // a ZK4.ini already beside the executable, or ""
        const char* settings;
        std::vector<const char*> ports;
        const char* translations;
    } rows[] = {
        {"installed under any prefix",
         {"usr/bin", "usr/share/zk4-toolset"},
         "",
         "config/ZK4/ZK4.ini",
         {"config/ZK4/ports"},
         "usr/share/zk4-toolset/translations"},
        {"installed, an old ZK4.ini beside it is left alone",
         {"usr/bin", "usr/share/zk4-toolset"},
         "usr/bin/ZK4.ini",
         "config/ZK4/ZK4.ini",
         {"config/ZK4/ports"},
         "usr/share/zk4-toolset/translations"},
        {"portable beside a share folder that is not ours",
         {"usr/bin", "usr/share/other"},
         "",
         "usr/bin/ZK4.ini",
         {"usr/bin/ports", "config/ZK4/ports"},
         "usr/bin/translations"},
        {"portable: our data folder, but not in bin",
         {"usr/tools", "usr/share/zk4-toolset"},
         "",
         "usr/tools/ZK4.ini",
         {"usr/tools/ports", "config/ZK4/ports"},
         "usr/tools/translations"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        test::TempDir dir;
        for (const char* folder : row.folders) {
            fs::create_directories(dir.Path() / folder);
        }
        if (*row.leftover) {
            test::WriteFile(dir.Path() / row.leftover, "COM=3;\r\n");
        }
        const std::string exe = (dir.Path() / row.folders.front() / "ZK4").string();
        const ToolPlaces places = FindToolPlaces(exe, (dir.Path() / "config/ZK4").string());

        EXPECT_EQ(fs::path(places.settingsFile), dir.Path() / row.settings);
        std::vector<fs::path> ports;
        for (const std::string& folder : places.portsFolders) {
            ports.push_back(fs::path(folder).lexically_relative(dir.Path()));
        }
        EXPECT_EQ(ports, std::vector<fs::path>(row.ports.begin(), row.ports.end()));
        EXPECT_EQ(fs::path(places.translationsFolder), dir.Path() / row.translations);
    }
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
