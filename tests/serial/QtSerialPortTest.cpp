// QtSerialPort against a pseudo-terminal: the test holds the master end and plays the device.
#include "serial/QtSerialPort.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <filesystem>

#include "serial/PortFailures.h"
#include "support/TempDir.h"
#include "support/TestPlatform.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;
// Runs the event loop until `done` holds or `ms` pass; returns how often the loop woke up:
// about 15 times in 300 ms when idle, thousands of times when something keeps it busy.
int RunEvents(auto done, int ms = 3000) {
    QTimer wake;  // lets the loop notice the deadline
    wake.start(20);
    int wakeups = 0;
    for (const QDeadlineTimer deadline(ms); !done() && !deadline.hasExpired(); ++wakeups) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return wakeups;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

class PtyPortTest : public testing::Test {
  protected:
    // A fresh pseudo-terminal in raw mode, linked as ports/COM1.
    void SetUp() override {
        std::array<char, 256> name{};
        termios raw{};
        ::cfmakeraw(&raw);
        ASSERT_EQ(::openpty(&m_master, &m_slave, name.data(), &raw, nullptr), 0);
        m_device = fs::canonical(name.data()).string();
        fs::create_directories(m_ports);
        fs::create_symlink(m_device, m_ports + "/COM1");
    }
    void TearDown() override { ::close(m_master), ::close(m_slave); }
    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    test::TempDir m_root;
    const std::string m_ports = m_root / "ports";
    int m_master = -1, m_slave = -1;
    std::string m_device;
};

// Bytes waiting in the driver when the port opens, also when it is opened again while open,
// come with the first read, so the dialog's discarding read really drops them. Bytes pass
// unchanged both ways; each written byte reaches the device before Write returns; a modal
// message box opened from the handler runs a nested event loop that must go on receiving.
// The device end closing, or a hang-up of the tty (what a pulled USB adapter does to it), does
// not make the loop spin and reaches the handler as nothing but silence; the port stays open
// until closed, and writes say the device is gone.
class PortLifeTest : public PtyPortTest, public testing::WithParamInterface<bool> {};

TEST_P(PortLifeTest, FirstReadDrainsBytesPassBothWaysAndAHangUpStaysQuiet) {
    QtSerialPort port(m_ports);
    for (const std::string before : {"AT MPH=55\r\nAT CN=", "AT CN=4\r\n"}) {
        Send(before);
        pollfd entry{m_slave, POLLIN, 0};
        ASSERT_EQ(::poll(&entry, 1, 2000), 1);
        port.Open();
        EXPECT_EQ(Text(port.ReadAll()), before);
    }
    const std::string first = "AT DV=12.5\r\n", binary("\0\x11\x13\xFF\r\r\n", 7);
    std::string received, inNestedLoop;
    std::vector<int> events;
    QEventLoop nested;
    port.SetReceiveHandler([&](int code) {
        events.push_back(code);
        received += Text(port.ReadAll());
        if (received == first) {
            QTimer::singleShot(2000, &nested, &QEventLoop::quit);
            Send(binary);
            nested.exec();
            inNestedLoop = received;
        } else {
            nested.quit();
        }
    });
    Send(first);
    RunEvents([&] { return !inNestedLoop.empty(); });
    EXPECT_EQ(inNestedLoop, first + binary);
    for (const char c : first + binary) {  // the event loop does not run meanwhile
        port.Write({reinterpret_cast<const std::uint8_t*>(&c), 1});
        pollfd entry{m_master, POLLIN, 0};
        char got[8] = {};
        ASSERT_EQ(::poll(&entry, 1, 1000), 1);
        ASSERT_EQ(::read(m_master, got, sizeof got), 1);  // one byte, not the rest with it
        ASSERT_EQ(got[0], c);
    }
    if (!GetParam()) {
        ::close(std::exchange(m_master, -1));
    } else if (::ioctl(m_slave, TIOCVHANGUP) != 0) {
        GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN";
    }
    EXPECT_LT(RunEvents([] { return false; }, 300), 100);
    EXPECT_THAT(events, testing::Each(kCommEventReceive));
    EXPECT_TRUE(port.IsOpen());  // the dialog's watchdog notices the silence
    EXPECT_THAT([&] { port.Write(std::vector<std::uint8_t>{'A'}); },
                testing::ThrowsMessage<SerialError>(
                    FailureSentence(PortFailure::Disconnected, "COM1", m_device).English()));
}

INSTANTIATE_TEST_SUITE_P(PtyPort, PortLifeTest, testing::Bool(), [](const auto& row) {
    return row.param ? "TtyHungUp" : "DeviceEndClosed";
});

// Bytes that came before the device went away and that the handler has not read yet (here:
// it was busy the first time) are offered once more after the hang-up, so the last line a
// device sent before it was pulled out still arrives.
TEST_F(PtyPortTest, BytesLeftWhenTheDeviceGoesAwayStillReachTheHandler) {
    QtSerialPort port(m_ports);
    port.Open();
    port.ReadAll();
    std::vector<int> events;
    std::string received;
    port.SetReceiveHandler([&](int code) {
        events.push_back(code);
        if (events.size() > 1) {
            received += Text(port.ReadAll());
        }
    });
    Send("AT RPM=900\r\n");
    RunEvents([&] { return !events.empty(); });
    ::close(std::exchange(m_master, -1));
    RunEvents([&] { return !received.empty(); });
    EXPECT_EQ(received, "AT RPM=900\r\n");
    EXPECT_THAT(events, testing::Each(kCommEventReceive));
}

// A refused open names the port, the device tried and why; the port stays closed. Root ignores
// access modes, so as root this runs again as uid 65534.
TEST_F(PtyPortTest, RefusedOpenNamesTheDeviceAndTheCause) {
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    QtSerialPort port(m_ports);
    const auto refused = [&](int number, PortFailure cause, const std::string& device,
                             const std::string& pid = "") {
        port.SelectPort(number);
        EXPECT_THAT(
            [&] { port.Open(); },
            testing::ThrowsMessage<SerialError>(
                FailureSentence(cause, "COM" + std::to_string(number), device, pid).English()));
        EXPECT_FALSE(port.IsOpen());
    };
    fs::create_symlink(m_root / "by-id-usb-adapter", m_ports + "/COM2");
    refused(2, PortFailure::NotExist, m_root / "by-id-usb-adapter");

    // A live process named in a lock file in the format of lockdev and minicom.
    QProcess other;
    other.start("cat");
    ASSERT_TRUE(other.waitForStarted(3000));
    const std::string pid = std::to_string(other.processId());
    std::string lockName = m_device.substr(5);  // "/dev/pts/3" has the lock file "LCK..pts_3"
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string lockFile =
        (::access("/var/lock", W_OK) == 0 ? "/var/lock/LCK.." : "/tmp/LCK..") + lockName;
    test::WriteFile(lockFile, std::string(10 - pid.size(), ' ') + pid + "\n");
    refused(1, PortFailure::InUse, m_device, pid);
    ::unlink(lockFile.c_str());
    other.closeWriteChannel();
    other.waitForFinished();

    // Another program's advisory lock on the device itself, without a lock file.
    const int locker = ::open(m_device.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(locker, LOCK_EX | LOCK_NB), 0);
    refused(1, PortFailure::InUse, m_device);
    ::close(locker);

    ASSERT_EQ(::chmod(m_device.c_str(), 0), 0);
    refused(1, PortFailure::PermissionDenied, m_device);
}

}  // namespace
}  // namespace zk4
