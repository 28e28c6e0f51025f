#include "settings/PortSettingsFile.h"

#include <fcntl.h>
#include <grp.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <optional>
#include <random>
#include <string>
#include <tuple>
#include <vector>

namespace zk4 {
namespace {

namespace fs = std::filesystem;

const std::string kDefault = "COM=1;\r\n";
constexpr uid_t kNobody = 65534;

// "<none>" when there is no regular file at path.
std::string Contents(const std::string& path) {
    if (!fs::is_regular_file(path)) {
        return "<none>";
    }
    std::ifstream in(path, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

void Put(const std::string& path, const std::string& bytes) {
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

std::string Describe(const PortLoadResult& r) {
    return r.port + (r.savePending ? " save" : " nosave") + " [" + r.writeError + "]";
}

class PortSettingsFileTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zk4settings.XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_dir = pattern;
        m_file = m_dir + "/ZK4.ini";
    }
    void TearDown() override {
        std::error_code ec;
        fs::permissions(m_dir, fs::perms::owner_all, fs::perm_options::add, ec);
        fs::remove_all(m_dir, ec);
    }

    // Runs body in a child process and returns what it returned. Root ignores file modes, so
    // as root the folder is handed to an unprivileged user and the child becomes that user.
    std::string RunUnprivileged(const std::function<std::string()>& body) {
        const bool root = ::geteuid() == 0;
        if (root) {
            for (const auto& p : fs::recursive_directory_iterator(m_dir)) {
                EXPECT_EQ(::lchown(p.path().c_str(), kNobody, kNobody), 0);
            }
            EXPECT_EQ(::chown(m_dir.c_str(), kNobody, kNobody), 0);
        }
        int out[2];
        EXPECT_EQ(::pipe(out), 0);
        const pid_t child = ::fork();
        if (child == 0) {
            ::close(out[0]);
            std::string answer = "cannot drop root privileges";
            if (!root || (::setgroups(0, nullptr) == 0 && ::setgid(kNobody) == 0 &&
                          ::setuid(kNobody) == 0)) {
                answer = body();
            }
            const ssize_t written = ::write(out[1], answer.data(), answer.size());
            ::_exit(written == static_cast<ssize_t>(answer.size()) ? 0 : 1);
        }
        ::close(out[1]);
        std::string answer;
        char buffer[256];
        for (ssize_t n; (n = ::read(out[0], buffer, sizeof buffer)) > 0;) {
            answer.append(buffer, static_cast<std::size_t>(n));
        }
        ::close(out[0]);
        int status = 0;
        EXPECT_EQ(::waitpid(child, &status, 0), child);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
        return answer;
    }

    std::string m_dir;
    std::string m_file;
};

TEST(SettingsFilePath, StripsTrailingRunOfExecutableNameCharacters) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"/a/ZK4", "/a/ZK4.ini"},
        {"/a/ZK4.exe", "/a/ZK4.ini"},
        {"/a/Setup.exe", "/a/SetupZK4.ini"},
        {"/a/ZK4.EXE", "/a/ZK4.EXEZK4.ini"},
        {"/a/zk4", "/a/zkZK4.ini"},
        {"/a/x", "/a/ZK4.ini"},
        {"/opt/box.ZK4/ZK4", "/opt/box.ZK4/ZK4.ini"},
    };
    for (const auto& [exe, ini] : cases) {
        EXPECT_EQ(SettingsFilePath(exe), ini) << exe;
    }
}

TEST_F(PortSettingsFileTest, LoadReadsTheLastPortLineAndFlagsMalformedOnes) {
    const std::string longValue(4096, '7');
    struct Case {
        std::optional<std::string> file;  // nullopt: no file
        std::string port;
        bool savePending;
    };
    const std::vector<Case> cases = {
        {std::nullopt, "COM1", false},
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
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.file.value_or("<no file>").substr(0, 40));
        fs::remove(m_file);
        if (c.file) {
            Put(m_file, *c.file);
        }
        const PortLoadResult r = PortSettingsFile(m_file).Load();
        EXPECT_EQ(Describe(r), Describe({c.port, c.savePending, ""}));
        // Only a missing or empty file is written; anything else is left exactly as it was.
        EXPECT_EQ(Contents(m_file), c.file.value_or("").empty() ? kDefault : *c.file);
    }
}

TEST_F(PortSettingsFileTest, SaveOverwritesFromTheStartWithoutShortening) {
    struct Case {
        std::string before, port, after, loadsAs;
        bool savePending;
    };
    const std::vector<Case> cases = {
        {"COM=12;\r\n", "COM3", "COM=3;\r\n\n", "COM3", false},
        {"; my port\r\nCOM=12;\r\n", "COM3", "COM=3;\r\nt\r\nCOM=12;\r\n", "COM12", false},
        {kDefault, "COM", "COM=;\r\n\n", "COM1", true},
        {kDefault, "com5", "COM=com5;\r\n", "COM5", false},
        {kDefault, "MOC17", "COM=17;\r\n", "COM17", false},
        {"", "COM3", "COM=3;\r\n", "COM3", false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.before + " <- " + c.port);
        Put(m_file, c.before);
        PortSettingsFile file(m_file);
        const PortSaveResult saved = file.Save(c.port);
        EXPECT_TRUE(saved.ok) << saved.error;
        EXPECT_EQ(Contents(m_file), c.after);
        EXPECT_EQ(Describe(file.Load()), Describe({c.loadsAs, c.savePending, ""}));
    }
}

TEST_F(PortSettingsFileTest, LoadReadsLargeFilesToTheirEnd) {
    const auto padded = [](std::size_t size) {  // one comment line, then the port line
        return ";" + std::string(size - 11, 'x') + "\r\nCOM=7;\r\n";
    };
    std::string garbage(1 << 20, '\0');
    std::mt19937 random(42);
    for (char& b : garbage) {
        b = static_cast<char>(random() % 256);
    }
    const std::string mib(1 << 20, '5');
    const std::vector<std::tuple<std::string, std::string, std::string, bool>> cases = {
        {"65534 bytes", padded(65534), "COM7", false},
        {"65535 bytes", padded(65535), "COM7", false},
        {"65536 bytes", padded(65536), "COM7", false},
        {"65537 bytes", padded(65537), "COM7", false},
        {"1 MiB of garbage", garbage + "\nCOM=7;", "COM7", false},
        {"1 MiB comment without LF", ";" + mib, "COM1", false},
        {"1 MiB port line without LF", "COM=8;" + mib, "COM8", false},
        {"1 MiB port value", "COM=" + mib + ";", "COM1", true},
    };
    for (const auto& [name, bytes, port, savePending] : cases) {
        SCOPED_TRACE(name);
        if (name.ends_with("bytes")) {
            ASSERT_EQ(bytes.size(), std::stoul(name));
        }
        Put(m_file, bytes);
        EXPECT_EQ(Describe(PortSettingsFile(m_file).Load()), Describe({port, savePending, ""}));
    }
}

TEST_F(PortSettingsFileTest, FileLockedByAnotherProcessIsNeitherReadNorChanged) {
    const std::string held = "COM=12;\r\n";
    Put(m_file, held);
    int ready[2], release[2];
    ASSERT_EQ(::pipe(ready), 0);
    ASSERT_EQ(::pipe(release), 0);
    const pid_t holder = ::fork();
    if (holder == 0) {
        const int fd = ::open(m_file.c_str(), O_RDONLY);
        const char ok = fd >= 0 && ::flock(fd, LOCK_EX) == 0 ? 'R' : 'E';
        char ignored = 0;
        if (::write(ready[1], &ok, 1) == 1) {
            ::close(release[1]);
            (void)!::read(release[0], &ignored, 1);  // returns when the parent closes its end
        }
        ::_exit(0);
    }
    ::close(ready[1]);
    ::close(release[0]);
    char state = 0;
    ASSERT_EQ(::read(ready[0], &state, 1), 1);
    ASSERT_EQ(state, 'R');

    PortSettingsFile file(m_file);
    const PortLoadResult loaded = file.Load();
    EXPECT_EQ(loaded.port, "COM1");
    EXPECT_NE(loaded.writeError.find(m_file), std::string::npos) << loaded.writeError;
    EXPECT_NE(loaded.writeError.find("locked by another program"), std::string::npos);
    EXPECT_EQ(Contents(m_file), held);
    const PortSaveResult saved = file.Save("COM3");
    EXPECT_FALSE(saved.ok);
    EXPECT_NE(saved.error.find("locked by another program"), std::string::npos) << saved.error;
    EXPECT_EQ(Contents(m_file), held);

    ::close(release[1]);
    ::close(ready[0]);
    ASSERT_EQ(::waitpid(holder, nullptr, 0), holder);
    EXPECT_EQ(Describe(file.Load()), Describe({"COM12", false, ""}));
}

TEST_F(PortSettingsFileTest, WriteFailuresAreReportedWithThePathAndLeaveFilesAlone) {
    struct Case {
        std::string name;
        std::function<void(const std::string& dir, const std::string& file)> setup;
        bool save;             // Save("COM3") instead of Load()
        std::string expected;  // Load: port and flags; Save: "ok" or "failed"
        std::string reason;    // part of the error text
        std::string fileAfter;
    };
    const std::vector<Case> cases = {
        {"read-only folder, no file",
         [](const std::string& dir, const std::string&) { ::chmod(dir.c_str(), 0555); }, false,
         "COM1 nosave", "the folder is read-only", "<none>"},
        {"read-only file",
         [](const std::string&, const std::string& f) {
             Put(f, "COM=12;\r\n");
             ::chmod(f.c_str(), 0444);
         },
         true, "failed", "permission denied", "COM=12;\r\n"},
        {"file deleted before saving",
         [](const std::string&, const std::string& f) {
             PortSettingsFile(f).Load();
             fs::remove(f);
         },
         true, "failed", "the file no longer exists", "<none>"},
        {"folder in place of the file",
         [](const std::string&, const std::string& f) { fs::create_directory(f); }, false,
         "COM1 nosave", "the path is a folder", "<none>"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        TearDown();
        SetUp();
        c.setup(m_dir, m_file);
        const std::string answer = RunUnprivileged([&] {
            PortSettingsFile file(m_file);
            if (c.save) {
                const PortSaveResult r = file.Save("COM3");
                return std::string(r.ok ? "ok [" : "failed [") + r.error + "]";
            }
            return Describe(file.Load());
        });
        EXPECT_EQ(answer.substr(0, c.expected.size() + 2), c.expected + " [");
        EXPECT_NE(answer.find("Cannot write the port setting to " + m_file + ": " + c.reason),
                  std::string::npos)
            << answer;
        EXPECT_EQ(Contents(m_file), c.fileAfter);
    }
}

}  // namespace
}  // namespace zk4
