#include "settings/PortSettingsFile.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// The reason in "Cannot write the port setting to <path>: <reason>.", or all of another text.
std::string Reason(const std::string& error, const std::string& path) {
    const std::string head = "Cannot write the port setting to " + path + ": ";
    const bool ours = error.starts_with(head) && error.ends_with('.');
    return ours ? error.substr(head.size(), error.size() - head.size() - 1) : error;
}

// Root ignores file modes: as root this runs again as uid 65534, where it must pass (a filter
// that selects nothing passes too).
TEST(PortSettingsFile, ReadsTheLastPortLineWritesInPlaceChoosesItsPathAndReportsFailures) {
    if (::geteuid() == 0) {
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                    fs::read_symlink("/proc/self/exe").string() +
                                    " --gtest_filter=PortSettingsFile.* 2>&1 | tee /dev/stderr" +
                                    " | grep -qF '[  PASSED  ] 1 test.'";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return;
    }
    // Every line after a good one would change the port if it were taken for a port line.
    const std::string longest(PortSettingsReader::kMaxPortValue, '7');
    const std::string past64k = ";" + std::string(70000, 'x') + "\r\nCOM=7;\r\n";
    const struct {
        std::string before;   // "<none>" for no file
        const char* save;     // Save(save) before Load(), unless null
        std::string outcome;  // [<save's failure, or "saved"> | ] <port>[ save][: <load's failure>]
        std::string after = "=";       // "=" for as before
        bool readOnly = false;         // the file, or without one its folder
        const char* file = "ZK4.ini";  // in the test's folder, or an absolute path
    } rows[] = {
        {"", nullptr, "COM1", "COM=1;\r\n"},
        {"COM=3;\r\nCOM=6; x\r\n;COM=7;\r\n/COM=7;\r\n COM=7;\r\n\r\nx", nullptr, "COM6"},
        {"COM=9;\r\nCOM=;\r\n", nullptr, "COM1 save"},
        {"com=ab;", nullptr, "COMAB"},  // upper-cased, not in the port list, no final line feed
        {"COM=;\r\nCOM=COM=12;\r\n", nullptr, "COM12 save"},  // a good line keeps the request
        {"COM=" + longest + "7;\r\nCOM=" + longest + ";", nullptr, "COM" + longest + " save"},
        {past64k, nullptr, "COM7"},  // past 65,535 bytes and across several read blocks
        {"COM=12;\r\n", "COM3", "saved | COM3", "COM=3;\r\n\n"},
        {"; my port\r\nCOM=12;\r\n", "COM3", "saved | COM12", "COM=3;\r\nt\r\nCOM=12;\r\n"},
        {"COM=1;\r\n", "COM", "saved | COM1 save", "COM=;\r\n\n"},
        {"<none>", nullptr, "COM1: the folder is read-only", "<none>", true},
        {"COM=2;\r\n", "COM3", "permission denied | COM2", "=", true},
        {"<none>", nullptr, "COM1: the folder does not exist", "<none>", false, "gone/ZK4.ini"},
        {"<none>", "COM3", "the file no longer exists | COM1", "COM=1;\r\n"},  // load creates it
        {"", "COM3", "the path is not a regular file | COM1: the path is not a regular file", "",
         false, "/dev/null"},
    };
    for (const auto& c : rows) {
        SCOPED_TRACE(c.before.substr(0, 40) + " -> " + c.outcome);
        test::TempDir dir;
        PortSettingsFile file(dir / c.file);
        const fs::path path = file.Path();
        if (c.before != "<none>") {
            test::WriteFile(path, c.before);
        }
        if (c.readOnly) {
            fs::permissions(c.before == "<none>" ? path.parent_path() : path, fs::perms(0555));
        }
        std::string outcome;
        if (c.save != nullptr) {
            const PortSaveResult saved = file.Save(c.save);
            outcome = (saved.ok ? "saved" : Reason(saved.error, path)) + " | ";
        }
        const PortLoadResult loaded = file.Load();
        outcome += loaded.port + (loaded.savePending ? " save" : "");
        outcome += loaded.writeError.empty() ? "" : ": " + Reason(loaded.writeError, path);
        EXPECT_EQ(outcome, c.outcome);
        EXPECT_EQ(fs::exists(path) ? test::ReadFile(path) : "<none>",
                  c.after == "=" ? c.before : c.after);
    }

    // A portable copy keeps its file beside the executable; the config folder and its missing
    // parent are made only when chosen, private to this user.
    const struct {
        int folder;       // mode of the executable's folder
        int ini;          // mode of an empty ZK4.ini beside the executable, or -1 for none
        const char* exe;  // in that folder
        std::string chosen;
    } choices[] = {{0755, -1, "ZK4.EXE", "bin/ZK4.EXEZK4.ini"},
                   {0555, -1, "ZK4", "config/ZK4/ZK4.ini"},
                   {0555, 0644, "ZK4", "bin/ZK4.ini"},
                   {0555, 0444, "ZK4", "config/ZK4/ZK4.ini"},
                   {0555, 0200, "ZK4", "config/ZK4/ZK4.ini"}};
    for (const auto& c : choices) {
        SCOPED_TRACE(c.chosen);
        test::TempDir dir;
        fs::create_directory(dir / "bin");
        if (c.ini >= 0) {
            test::WriteFile(dir / "bin/ZK4.ini", "");
            fs::permissions(dir / "bin/ZK4.ini", fs::perms(c.ini));
        }
        fs::permissions(dir / "bin", fs::perms(c.folder));
        const std::string path = ChooseSettingsPath(dir / "bin/" + c.exe, dir / "config/ZK4");
        EXPECT_EQ(path, dir / c.chosen);
        EXPECT_EQ(fs::status(dir / "config").permissions(),
                  c.chosen.starts_with("config") ? fs::perms::owner_all : fs::perms::unknown);
        EXPECT_EQ(PortSettingsFile(path).Load().writeError, "");
        fs::permissions(dir / "bin", fs::perms::owner_all);
    }
}

}  // namespace
}  // namespace zk4
