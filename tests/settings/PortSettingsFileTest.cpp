#include "settings/PortSettingsFile.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/wait.h>
#include <unistd.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <string>
#include <vector>

#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;
using test::TempDir;
using test::WriteFile;

// "<none>" when nothing is at path, "<dir>" for a folder.
std::string Contents(const std::string& path) {
    return fs::is_directory(path) ? "<dir>" : fs::exists(path) ? test::ReadFile(path) : "<none>";
}

// Creates what `contents` names at path (see Contents).
void Make(const std::string& path, const std::string& contents) {
    if (contents == "<dir>") {
        fs::create_directory(path);
    } else if (contents != "<none>") {
        WriteFile(path, contents);
    }
}

std::string Describe(const PortLoadResult& r) {
    return r.port + (r.savePending ? " save" : " nosave") + " [" + r.writeError + "]";
}

TEST(SettingsFilePath, StripsTrailingRunOfExecutableNameCharacters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/ZK4.exe", "/a/ZK4.ini"},        {"/a/Setup.exe", "/a/SetupZK4.ini"},
        {"/a/ZK4.EXE", "/a/ZK4.EXEZK4.ini"}, {"/a/zk4", "/a/zkZK4.ini"},
        {"/b.ZK4/ZK4", "/b.ZK4/ZK4.ini"},
    };
    for (const auto& [exe, ini] : cases) {
        EXPECT_EQ(SettingsFilePath(exe), ini) << exe;
    }
}

TEST(PortSettingsFile, LoadReadsTheLastPortLineAndFlagsMalformedOnes) {
    std::mt19937 random(42);
    std::string garbage;
    for (int i = 0; i < (1 << 20); ++i) {
        garbage += static_cast<char>(random());
    }
    const std::string mib(1 << 20, '5');
    const std::string longValue(4096, '7');
    struct Case {
        std::string file, port;
        bool savePending;
    };
    const std::vector<Case> cases = {
        {"<none>", "COM1", false},
        {"", "COM1", false},
        {"COM=7;\r\n", "COM7", false},
        {";COM=7;\r\n", "COM1", false},
        {"/COM=7;\r\n", "COM1", false},
        {" COM=7;\r\n", "COM1", false},
        {"\r\nnoise\r\nCOM=6; trailing\r\n", "COM6", false},
        {"COM=5\r\n", "COM1", true},
        {"COM;\r\n", "COM1", true},
        {"COM", "COM1", true},
        {"COM=3;\r\nCOM=9;\r\n", "COM9", false},
        {"COM=;\r\nCOM=9;\r\n", "COM9", true},
        {"COM=9;\r\nCOM=;\r\n", "COM1", true},
        {"COM=;\r\nCOM;\r\nCOM=9;\r\n", "COM9", true},
        {"COM=4;", "COM4", false},
        {"com=7;", "COM7", false},
        {"COM=99;", "COM99", false},
        {"COM=ab;", "COMAB", false},
        {"COM=COM=12;\r\n", "COM12", false},
        {"COM=" + longValue + ";\r\n", "COM" + longValue, false},
        {"COM=" + longValue + "7;\r\n", "COM1", true},
        // 65,535 and 65,536 bytes: a 16-bit byte count reads neither to its end.
        {";" + std::string(65524, 'x') + "\r\nCOM=7;\r\n", "COM7", false},
        {";" + std::string(65525, 'x') + "\r\nCOM=7;\r\n", "COM7", false},
        {garbage + "\nCOM=7;", "COM7", false},
        {";" + mib, "COM1", false},
        {"COM=8;" + mib, "COM8", false},
        {"COM=" + mib + ";", "COM1", true},
    };
    TempDir dir;
    const std::string path = dir / "ZK4.ini";
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.file.size()) + " bytes: " + c.file.substr(0, 40));
        fs::remove(path);
        Make(path, c.file);
        EXPECT_EQ(Describe(PortSettingsFile(path).Load()), Describe({c.port, c.savePending, ""}));
        // Only a missing or empty file is written; anything else is left exactly as it was.
        const bool filled = c.file == "<none>" || c.file.empty();
        EXPECT_TRUE(Contents(path) == (filled ? "COM=1;\r\n" : c.file));
    }
}

TEST(PortSettingsFile, SaveOverwritesFromTheStartWithoutShortening) {
    struct Case {
        std::string before, port, after, loadsAs;
        bool savePending;
    };
    const std::vector<Case> cases = {
        {"COM=12;\r\n", "COM3", "COM=3;\r\n\n", "COM3", false},
        {"; my port\r\nCOM=12;\r\n", "COM3", "COM=3;\r\nt\r\nCOM=12;\r\n", "COM12", false},
        {"COM=1;\r\n", "COM", "COM=;\r\n\n", "COM1", true},
        {"COM=1;\r\n", "com5", "COM=com5;\r\n", "COM5", false},
        {"COM=1;\r\n", "MOC17", "COM=17;\r\n", "COM17", false},
        {"", "COM3", "COM=3;\r\n", "COM3", false},
    };
    TempDir dir;
    PortSettingsFile file(dir / "ZK4.ini");
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " <- " + c.port);
        WriteFile(file.Path(), c.before);
        const PortSaveResult saved = file.Save(c.port);
        EXPECT_TRUE(saved.ok) << saved.error;
        EXPECT_EQ(Contents(file.Path()), c.after);
        EXPECT_EQ(Describe(file.Load()), Describe({c.loadsAs, c.savePending, ""}));
    }
}

// Forks a process that holds an exclusive lock on path until it is killed; -1 on failure.
pid_t HoldLock(const std::string& path) {
    int ready[2];
    if (::pipe(ready) != 0) {
        return -1;
    }
    const pid_t pid = ::fork();
    if (pid == 0) {
        const int fd = ::open(path.c_str(), O_RDONLY);
        if (fd >= 0 && ::flock(fd, LOCK_EX) == 0 && ::write(ready[1], "R", 1) == 1) {
            ::pause();
        }
        ::_exit(1);
    }
    char state = 0;
    const bool held = ::read(ready[0], &state, 1) == 1;
    ::close(ready[0]);
    ::close(ready[1]);
    return held ? pid : -1;
}

TEST(PortSettingsFile, WriteFailuresAreReportedWithThePathAndLeaveFilesAlone) {
    if (::geteuid() == 0) {  // root ignores file modes: run this test again as uid 65534
        const auto* test = ::testing::UnitTest::GetInstance()->current_test_info();
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                    fs::read_symlink("/proc/self/exe").string() +
                                    " --gtest_filter=" + test->test_suite_name() + "." +
                                    test->name();
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return;
    }
    enum Hold { kNone, kReadOnly, kLocked };  // the file, or without one the folder, read-only
    struct Case {
        std::string before;
        Hold hold;
        bool save;           // Save("COM3") instead of Load()
        std::string reason;  // why the write failed
    };
    const std::vector<Case> cases = {
        {"<none>", kReadOnly, false, "the folder is read-only"},
        {"COM=12;\r\n", kReadOnly, true, "permission denied"},
        {"<none>", kNone, true, "the file no longer exists"},
        {"<dir>", kNone, false, "the path is a folder, not a file"},
        {"COM=12;\r\n", kLocked, false, "the file is locked by another program"},
        {"COM=12;\r\n", kLocked, true, "the file is locked by another program"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.reason + (c.save ? " (save)" : " (load)"));
        TempDir dir;
        PortSettingsFile file(dir / "ZK4.ini");
        Make(file.Path(), c.before);
        if (c.hold == kReadOnly) {
            fs::permissions(c.before == "<none>" ? dir.Path() : fs::path(file.Path()),
                            fs::perms(0555));
        }
        const pid_t holder = c.hold == kLocked ? HoldLock(file.Path()) : 0;
        ASSERT_NE(holder, -1);
        const std::string error =
            "Cannot write the port setting to " + file.Path() + ": " + c.reason + ".";
        if (c.save) {
            const PortSaveResult saved = file.Save("COM3");
            EXPECT_EQ(saved.ok ? "saved" : saved.error, error);
        } else {
            // A file that cannot be opened is never read: the port falls back to COM1.
            EXPECT_EQ(Describe(file.Load()), Describe({"COM1", false, error}));
        }
        EXPECT_EQ(Contents(file.Path()), c.before);
        if (holder > 0) {
            ::kill(holder, SIGKILL);
            ::waitpid(holder, nullptr, 0);
        }
    }
}

}  // namespace
}  // namespace zk4
