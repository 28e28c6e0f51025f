#include "settings/PortSettingsFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <string>

#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;
using test::TempDir;

// Root ignores file modes: these tests run themselves again as uid 65534, which must pass
// exactly this one test (a filter that selects nothing passes too).
void RerunAsNobody() {
    if (std::system("command -v setpriv >/dev/null") != 0) {
        GTEST_SKIP() << "running as root without setpriv: file modes cannot be tested";
    }
    const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
    const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                fs::read_symlink("/proc/self/exe").string() +
                                " --gtest_filter=" + test->test_suite_name() + "." + test->name() +
                                " 2>&1 | tee /dev/stderr | grep -qF '[  PASSED  ] 1 test.'";
    EXPECT_EQ(std::system(command.c_str()), 0) << command;
}

// "<none>" when nothing is at path, "<dir>" for a folder.
std::string Contents(const std::string& path) {
    return fs::is_directory(path) ? "<dir>" : fs::exists(path) ? test::ReadFile(path) : "<none>";
}

// The reason in "Cannot write the port setting to <path>: <reason>.", or all of another text.
std::string Reason(const std::string& error, const std::string& path) {
    const std::string head = "Cannot write the port setting to " + path + ": ";
    const bool sentence = error.starts_with(head) && error.ends_with('.');
    return sentence ? error.substr(head.size(), error.size() - head.size() - 1) : error;
}

enum Hold { kNothing, kReadOnly, kLocked };  // the file, or without one its folder, read-only

struct FileCase {
    const char* name;
    std::string before;   // see Contents
    const char* save;     // Save(save) before Load(), unless null
    std::string outcome;  // [<save's failure, or "saved"> | ] <port>[ save][: <load's failure>]
    std::string after;    // see Contents
    Hold hold = kNothing;
    const char* file = "ZK4.ini";  // in the test's folder, or an absolute path
};

class PortSettingsFileTest : public ::testing::TestWithParam<FileCase> {};

TEST_P(PortSettingsFileTest, WritesInPlaceAndReportsFailuresWithThePath) {
    if (::geteuid() == 0) {
        return RerunAsNobody();
    }
    const FileCase& c = GetParam();
    TempDir dir;
    PortSettingsFile file(dir / c.file);
    const fs::path path = file.Path();
    if (c.before == "<dir>") {
        fs::create_directory(path);
    } else if (c.before != "<none>") {
        test::WriteFile(path, c.before);
    }
    if (c.hold == kReadOnly) {
        fs::permissions(c.before == "<none>" ? path.parent_path() : path, fs::perms(0555));
    }
    // flock conflicts between open file descriptions: this second open stands for another program.
    const int holder = c.hold == kLocked ? ::open(path.c_str(), O_RDONLY) : -1;
    ASSERT_EQ(c.hold == kLocked ? ::flock(holder, LOCK_EX | LOCK_NB) : 0, 0);
    std::string outcome;
    if (c.save != nullptr) {
        const PortSaveResult saved = file.Save(c.save);
        outcome = (saved.ok ? "saved" : Reason(saved.error, path)) + " | ";
    }
    const PortLoadResult loaded = file.Load();
    outcome += loaded.port + (loaded.savePending ? " save" : "");
    outcome += loaded.writeError.empty() ? "" : ": " + Reason(loaded.writeError, path);
    EXPECT_EQ(outcome, c.outcome);
    EXPECT_EQ(Contents(path), c.after);
    ::close(holder);
}

// Past 65,535 bytes and across several read blocks.
const std::string kLong = ";" + std::string(70000, 'x') + "\r\nCOM=7;\r\n";
const std::string kLockedText = "the file is locked by another program";

INSTANTIATE_TEST_SUITE_P(
    Rows, PortSettingsFileTest,
    ::testing::Values(
        FileCase{"MissingFileGetsDefault", "<none>", nullptr, "COM1", "COM=1;\r\n"},
        FileCase{"EmptyFileGetsDefault", "", nullptr, "COM1", "COM=1;\r\n"},
        FileCase{"LongFileReadNotWritten", kLong, nullptr, "COM7", kLong},
        FileCase{"ShorterRecordLeavesLF", "COM=12;\r\n", "COM3", "saved | COM3", "COM=3;\r\n\n"},
        FileCase{"LaterHandWrittenLineWins", "; my port\r\nCOM=12;\r\n", "COM3", "saved | COM12",
                 "COM=3;\r\nt\r\nCOM=12;\r\n"},
        FileCase{"BareComIsMalformed", "COM=1;\r\n", "COM", "saved | COM1 save", "COM=;\r\n\n"},
        FileCase{"LowerCaseKept", "COM=1;\r\n", "com5", "saved | COM5", "COM=com5;\r\n"},
        FileCase{"LeadingRunOfComCut", "COM=1;\r\n", "MOC17", "saved | COM17", "COM=17;\r\n"},
        FileCase{"ReadOnlyFolder", "<none>", nullptr, "COM1: the folder is read-only", "<none>",
                 kReadOnly},
        FileCase{"MissingFolder", "<none>", nullptr, "COM1: the folder does not exist", "<none>",
                 kNothing, "gone/ZK4.ini"},
        FileCase{"FolderIsAFile", "<none>", nullptr, "COM1: the folder does not exist", "<none>",
                 kNothing, "/dev/null/ZK4.ini"},
        FileCase{"ReadOnlyFile", "COM=12;\r\n", "COM3", "permission denied | COM12", "COM=12;\r\n",
                 kReadOnly},
        FileCase{"EmptyReadOnlyFile", "", nullptr, "COM1: permission denied", "", kReadOnly},
        FileCase{"FileRemoved", "<none>", "COM3", "the file no longer exists | COM1", "COM=1;\r\n"},
        FileCase{"Folder", "<dir>", nullptr, "COM1: the path is a folder, not a file", "<dir>"},
        FileCase{"NotARegularFile", "", "COM3",
                 "the path is not a regular file | COM1: the path is not a regular file", "",
                 kNothing, "/dev/null"},
        FileCase{"Locked", "COM=12;\r\n", "COM3", kLockedText + " | COM1: " + kLockedText,
                 "COM=12;\r\n", kLocked}),
    [](const auto& row) { return std::string(row.param.name); });

struct LocationCase {
    const char* name;
    int folder;       // mode of the executable's folder
    int ini;          // mode of an empty ZK4.ini beside the executable, or -1 for none
    const char* exe;  // in that folder
    std::string chosen;
};

class ChooseSettingsPathTest : public ::testing::TestWithParam<LocationCase> {};

TEST_P(ChooseSettingsPathTest, KeepsAPortableCopyBesideTheExecutable) {
    if (::geteuid() == 0) {
        return RerunAsNobody();
    }
    const LocationCase& c = GetParam();
    TempDir dir;
    fs::create_directory(dir / "bin");
    if (c.ini >= 0) {
        test::WriteFile(dir / "bin/ZK4.ini", "");
        fs::permissions(dir / "bin/ZK4.ini", fs::perms(c.ini));
    }
    fs::permissions(dir / "bin", fs::perms(c.folder));
    const std::string path = ChooseSettingsPath(dir / "bin/" + c.exe, dir / "config/ZK4");
    EXPECT_EQ(path, dir / c.chosen);
    // The config folder and its missing parent are made only when chosen, private to this user.
    EXPECT_EQ(fs::status(dir / "config").permissions(),
              c.chosen.starts_with("config") ? fs::perms::owner_all : fs::perms::unknown);
    EXPECT_EQ(PortSettingsFile(path).Load().writeError, "");
    fs::permissions(dir / "bin", fs::perms::owner_all);
}

INSTANTIATE_TEST_SUITE_P(
    Rows, ChooseSettingsPathTest,
    ::testing::Values(LocationCase{"WritableFolder", 0755, -1, "ZK4", "bin/ZK4.ini"},
                      LocationCase{"CaseSensitive", 0755, -1, "ZK4.EXE", "bin/ZK4.EXEZK4.ini"},
                      LocationCase{"ReadOnlyFolder", 0555, -1, "ZK4", "config/ZK4/ZK4.ini"},
                      LocationCase{"WritableFile", 0555, 0644, "ZK4", "bin/ZK4.ini"},
                      LocationCase{"ReadOnlyFile", 0555, 0444, "ZK4", "config/ZK4/ZK4.ini"},
                      LocationCase{"WriteOnlyFile", 0555, 0200, "ZK4", "config/ZK4/ZK4.ini"}),
    [](const auto& row) { return std::string(row.param.name); });

}  // namespace
}  // namespace zk4
