// The serial layer's POSIX and Qt parts: QtSerialPort against a pseudo-terminal whose master end
// the test holds to play the device, lock files, and the wire trace.
#include "serial/QtSerialPort.h"

#include <fcntl.h>
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QTimer>
#include <filesystem>

#include "serial/PortFailures.h"
#include "serial/TracingSerialPort.h"
#include "support/FakeSerialPort.h"
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
// Then the device end closes, or the tty hangs up (what a pulled USB adapter does to it): a line
// that came just before, which the handler was too busy to read when told, is offered once
// more; then the loop does not spin; the port stays open until closed, and writes say the
// device is gone.
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
    bool busy = false;
    QEventLoop nested;
    port.SetReceiveHandler([&](int) {
        if (std::exchange(busy, false)) {
            return;  // too busy to read it now
        }
        received += Text(port.ReadAll());
        if (received == first) {
            QTimer::singleShot(2000, &nested, &QEventLoop::quit);
            Send(binary);
            nested.exec();
            inNestedLoop = received;
        }
        nested.quit();
    });
    Send(first);
    RunEvents([&] { return !inNestedLoop.empty(); });
    EXPECT_EQ(inNestedLoop, first + binary);
    for (const char c : first + binary) {  // the event loop does not run meanwhile
        port.Write({reinterpret_cast<const std::uint8_t*>(&c), 1});
        pollfd entry{m_master, POLLIN, 0};
        char got[8] = {};
        ASSERT_EQ(::poll(&entry, 1, 2000), 1);
        ASSERT_EQ(::read(m_master, got, sizeof got), 1);  // one byte, not the rest with it
        ASSERT_EQ(got[0], c);
    }
    busy = true;
    Send("AT RPM=900\r\n");
    RunEvents([&] { return !busy; });
    if (!GetParam()) {
        ::close(std::exchange(m_master, -1));
    } else if (::ioctl(m_slave, TIOCVHANGUP) != 0) {
        GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN";
    }
    RunEvents([&] { return received.size() > inNestedLoop.size(); });
    EXPECT_EQ(received, first + binary + "AT RPM=900\r\n");
    EXPECT_LT(RunEvents([] { return false; }, 300), 100);
    EXPECT_TRUE(port.IsOpen());  // the dialog's watchdog notices the silence
    EXPECT_THAT([&] { port.Write(std::vector<std::uint8_t>{'A'}); },
                testing::ThrowsMessage<SerialError>(
                    FailureSentence(PortFailure::Disconnected, "COM1", m_device).English()));
}

INSTANTIATE_TEST_SUITE_P(PtyPort, PortLifeTest, testing::Bool(), [](const auto& row) {
    return row.param ? "TtyHungUp" : "DeviceEndClosed";
});

// A refused open names the port, the device tried and why; the port stays closed. Root ignores
// access modes, so as root this runs again as uid 65534.
TEST_F(PtyPortTest, RefusedOpenNamesTheDeviceAndTheCause) {
    if (test::RunningAsRoot()) {
        EXPECT_EQ(test::RerunCurrentTestAsNobody(), "");
        return;
    }
    QtSerialPort port(m_ports);
    const auto refused = [&](PortFailure cause, const std::string& pid = "") {
        EXPECT_THAT([&] { port.Open(); },
                    testing::ThrowsMessage<SerialError>(
                        FailureSentence(cause, "COM1", m_device, pid).English()));
        EXPECT_FALSE(port.IsOpen());
    };
    // A live process (the one that started this test) named in a lock file in the format of
    // lockdev and minicom: the pid right-aligned in ten columns. "/dev/pts/3" has "LCK..pts_3".
    const std::string pid = std::to_string(::getppid());
    const std::string lockFile =
        (::access("/var/lock", W_OK) == 0 ? "/var/lock/LCK.." : "/tmp/LCK..") +
        m_device.substr(5).replace(3, 1, "_");
    test::WriteFile(lockFile, std::string(10 - pid.size(), ' ') + pid + "\n");
    refused(PortFailure::InUse, pid);
    ::unlink(lockFile.c_str());

    // Another program's advisory lock on the device itself, without a lock file.
    const int locker = ::open(m_device.c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(locker, LOCK_EX | LOCK_NB), 0);
    refused(PortFailure::InUse);
    ::close(locker);

    ASSERT_EQ(::chmod(m_device.c_str(), 0), 0);
    refused(PortFailure::PermissionDenied);
}

void Write(SerialPort& port, std::string_view text) {
    port.Write({reinterpret_cast<const std::uint8_t*>(text.data()), text.size()});
}

// The trace clock starts at 1000 ms and moves 1.5 ms at every reading. The buffer (339 bytes)
// takes the short lines, the last of them just, but not the long write, which is counted as lost.
TEST(TracingSerialPort, TracesWhatPassesAndWritesItWhenItEnds) {
    test::TempDir dir;
    test::FakeSerialPort inner;
    std::int64_t us = 1'000'000;
    auto opened = TracingSerialPort::OpenTrace(
        inner, dir / "trace", [&us] { return std::exchange(us, us + 1500); }, 339);
    ASSERT_TRUE(opened.port) << opened.error.English();
    SerialPort& port = *opened.port;
    port.SelectPort(7);
    inner.refuseOpen = "COM7 is in use.";
    EXPECT_THROW(port.Open(), SerialError);
    EXPECT_THROW(Write(port, "AT\r\n"), SerialError);
    inner.refuseOpen.reset();
    port.Open();
    Write(port, "AT ID?\r\n");
    port.ReadAll();
    inner.pending = {'A', 'C', 'K', 0x00, '\r', '\n'};
    EXPECT_EQ(port.ReadAll().size(), 6u);
    Write(port, std::string(200, 'x'));
    port.Close();
    EXPECT_EQ(test::ReadFile(dir / "trace"), "") << "written to the file before its time";
    opened.port.reset();
    EXPECT_EQ(test::ReadFile(dir / "trace"),
              "1000.000 -- COM7 not opened: COM7 is in use.\n"
              "1001.500 -- write refused: The port is not open.\n1003.000 -- COM7 opened\n"
              "1004.500 H>D AT ID?\\r\\n\n1006.000 D>H ACK\\x00\\r\\n\n"
              "1009.000 -- 1 lines lost here: the trace file did not keep up\n"
              "1009.000 -- COM7 closed\n1010.500 -- trace ends\n");
}

}  // namespace
}  // namespace zk4
