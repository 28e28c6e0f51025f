// Faults from outside the tool, end to end: a port another program holds, a settings file
// that cannot be written or read, a device that disappears.
#include <gtest/gtest.h>
#include <QTest>
#include <QTimer>

#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>

#include "e2e/LiveDialog.h"
#include "e2e/SimLog.h"
#include "e2e/SimProcess.h"

namespace zk4::test {
namespace {

// Another program that opens `path`, optionally flocks it, says so through a pipe, and keeps
// it until told to go. Only async-signal-safe calls in the child: the parent runs Qt.
class Holder {
  public:
    Holder(const std::string& path, bool takeFlock) {
        int ready[2];
        int go[2];
        if (::pipe(ready) != 0 || ::pipe(go) != 0) {
            throw std::runtime_error("pipe failed");
        }
        m_pid = ::fork();
        if (m_pid == 0) {
            ::close(ready[0]);
            ::close(go[1]);
            const int fd = ::open(path.c_str(), O_RDWR | O_NOCTTY);
            char ok = (fd >= 0 && (!takeFlock || ::flock(fd, LOCK_EX | LOCK_NB) == 0)) ? 1 : 0;
            (void)!::write(ready[1], &ok, 1);
            char command = 0;
            // 'w': write a line through the port, to show the session still works.
            while (::read(go[0], &command, 1) == 1 && command == 'w') {
                const char line[] = "AT RPM=4321\r\n";
                ok = ::write(fd, line, sizeof line - 1) == sizeof line - 1 ? 1 : 0;
                (void)!::write(ready[1], &ok, 1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(go[0]);
        m_ready = ready[0];
        m_go = go[1];
        char ok = 0;
        if (::read(m_ready, &ok, 1) != 1 || ok != 1) {
            throw std::runtime_error("the other program could not take " + path);
        }
    }
    ~Holder() {
        ::close(m_go);
        int status = 0;
        ::waitpid(m_pid, &status, 0);
        ::close(m_ready);
    }
    pid_t Pid() const { return m_pid; }
    bool WriteThroughPort() {
        char ok = 0;
        return ::write(m_go, "w", 1) == 1 && ::read(m_ready, &ok, 1) == 1 && ok == 1;
    }

  private:
    pid_t m_pid = -1;
    int m_ready = -1;
    int m_go = -1;
};

bool IsRoot() {
    return ::geteuid() == 0;
}

// Root ignores file modes; such cases run again in a child process as an unprivileged user.
bool RerunUnprivileged(const char* testName) {
    if (!IsRoot()) {
        return false;
    }
    const std::string self = std::filesystem::read_symlink("/proc/self/exe");
    const std::string cmd = std::string("setpriv --reuid=65534 --regid=65534 --clear-groups ") +
                            self + " --gtest_filter=" + testName + " >/dev/null";
    EXPECT_EQ(std::system(cmd.c_str()), 0) << "as uid 65534: " << testName;
    return true;
}

TEST(Faults, PortHeldByAnotherProgramIsReportedBusyAndTheirSessionGoesOn) {
    for (const bool withFlock : {true, false}) {
        SCOPED_TRACE(withFlock ? "flock" : "lock file");
        LiveDialog t;
        SimProcess sim(t.ExePath(), "COM1", {});
        Holder other(sim.SlavePath(), withFlock);
        std::string lockFile;
        if (!withFlock) {
            // The other program announces itself the classic way: a lock file with its pid.
            // Named after the device below /dev/, with '/' as '_': LCK..pts_3.
            std::string name = sim.SlavePath().substr(5);
            std::replace(name.begin(), name.end(), '/', '_');
            const bool varLock = ::access("/var/lock", W_OK) == 0;
            lockFile = std::string(varLock ? "/var/lock" : "/tmp") + "/LCK.." + name;
            char text[32];
            std::snprintf(text, sizeof text, "%10d\n", other.Pid());
            WriteFile(lockFile, text);
        }
        t.dlg->OnInitDialog();
        QTest::mouseClick(t.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
        ASSERT_EQ(t.messages.size(), 1u);
        EXPECT_EQ(t.messages[0].icon, MessageIcon::Stop);
        EXPECT_NE(t.messages[0].text.find("in use"), std::string::npos) << t.messages[0].text;
        EXPECT_FALSE(t.serial.IsOpen());
        // Their session is not disturbed: they still talk through the port.
        EXPECT_TRUE(other.WriteThroughPort());
        if (!lockFile.empty()) {
            EXPECT_TRUE(std::filesystem::exists(lockFile));  // not taken over as stale
            std::filesystem::remove(lockFile);
        }
    }
}

TEST(Faults, FloodOfRandomBytesLeavesTheWindowResponsiveAndSearching) {
    LiveDialog t;
    const std::string log = t.dir / "sim.log";
    SimProcess sim(t.ExePath(), "COM1", {"--flood", "--log", log});
    t.dlg->OnInitDialog();
    // The event loop keeps turning under the flood: short timers keep firing.
    for (int i = 0; i < 40; ++i) {
        bool fired = false;
        QTimer::singleShot(100, [&] { fired = true; });
        ASSERT_TRUE(WaitFor([&] { return fired; }, 5000)) << i;
    }
    // Nothing is identified in noise, so every tick connects again.
    EXPECT_GE(CommandsMatching(ReadSimLog(log), "AT FW=?").size(), 2u);
    EXPECT_FALSE(t.Identified());
    EXPECT_TRUE(t.messages.empty());
}

TEST(Faults, SettingsFileDeletedWhileRunningIsToldOnce) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {});
    t.dlg->OnInitDialog();
    ASSERT_TRUE(std::filesystem::remove(t.IniPath()));
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified() && !t.messages.empty(); }, 4000));
    RunFor(2500);  // more ticks, more polls: no second message
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_NE(t.messages[0].text.find("ZK4.ini"), std::string::npos);
    EXPECT_TRUE(t.dlg->IsTimerRunning());
    EXPECT_TRUE(t.Identified());
    EXPECT_FALSE(std::filesystem::exists(t.IniPath()));  // not re-created behind the user
}

TEST(Faults, SettingsFileLockedByAnotherProgramIsLeftAsItIs) {
    LiveDialog t;
    WriteFile(t.IniPath(), "COM=7;\r\n");
    Holder other(t.IniPath(), /*takeFlock=*/true);
    t.dlg->OnInitDialog();
    QCoreApplication::processEvents();
    EXPECT_EQ(t.Text(IDC_PORT), "COM1");
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_NE(t.messages[0].text.find("locked"), std::string::npos) << t.messages[0].text;
    EXPECT_EQ(ReadFile(t.IniPath()), "COM=7;\r\n");
}

TEST(Faults, ReadOnlySettingsFileKeepsThePortAndTellsOnce) {
    if (RerunUnprivileged("Faults.ReadOnlySettingsFileKeepsThePortAndTellsOnce")) {
        return;
    }
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {});
    WriteFile(t.IniPath(), "COM=1\r\n");  // malformed: asks for a save at the first tick
    ::chmod(t.IniPath().c_str(), 0444);
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.Identified() && !t.messages.empty(); }, 4000));
    RunFor(2200);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_NE(t.messages[0].text.find("permission denied"), std::string::npos)
        << t.messages[0].text;
    EXPECT_EQ(ReadFile(t.IniPath()), "COM=1\r\n");
    EXPECT_TRUE(t.dlg->IsTimerRunning());
}

}  // namespace
}  // namespace zk4::test
