// QtSerialPort against a pseudo-terminal: the test holds the master end and plays the device.
#include <gmock/gmock.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
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
#include "serial/QtSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;
using testing::StartsWith;
using testing::ThrowsMessage;

constexpr std::uint8_t kA[] = {'A'};
using Line = std::pair<speed_t, tcflag_t>;  // speed; data bits, parity and stop bits

// Runs the event loop until `done` holds or `ms` pass; returns how often the loop woke up:
// about 15 times in 300 ms when idle, thousands of times when something keeps it busy.
int RunEvents(auto done, int ms = 3000) {
    QDeadlineTimer deadline(ms);
    QTimer wake;  // lets the loop notice the deadline
    wake.start(20);
    int wakeups = 0;
    for (; !done() && !deadline.hasExpired(); ++wakeups) {
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
        ASSERT_EQ(::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr), 0);
        termios raw{};
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(m_slave, TCSANOW, &raw), 0);
        m_device = fs::canonical(name.data()).string();
        fs::create_directories(m_ports);
        fs::create_symlink(m_device, m_ports + "/COM1");
    }
    void TearDown() override {
        ::close(m_master);
        ::close(m_slave);
    }
    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }
    Line LineNow() const {
        termios t{};
        EXPECT_EQ(::tcgetattr(m_slave, &t), 0);
        return {::cfgetospeed(&t), t.c_cflag & (CSIZE | PARENB | CSTOPB)};
    }

    test::TempDir m_root;
    const std::string m_ports = m_root / "ports";
    int m_master = -1;
    int m_slave = -1;
    std::string m_device;
};

// Bytes waiting in the driver when the port opens, also when it is opened again while open,
// come with the first read, so the dialog's discarding read really drops them. Settings
// apply at the next open or at once; a text the port refuses leaves them. Bytes pass
// unchanged both ways, reads keep to the input length, and each written byte reaches the
// device before Write returns.
TEST_F(PtyPortTest, OpensConfiguresAndPassesBytesBothWays) {
    QtSerialPort port(m_ports);
    port.Configure({"19200,N,8,1"});
    for (const std::string before : {"AT MPH=55\r\nAT CN=", "AT CN=4\r\n"}) {
        Send(before);
        pollfd entry{m_slave, POLLIN, 0};
        ASSERT_EQ(::poll(&entry, 1, 2000), 1);
        port.Open();
        EXPECT_EQ(Text(port.ReadAll()), before);
    }
    EXPECT_EQ(LineNow(), Line(B19200, CS8));
    port.Configure({"9600,n,8,2", true, 1, 4});  // reads of at most four bytes
    EXPECT_THROW(port.Configure({"fast"}), SerialError);
    EXPECT_EQ(LineNow(), Line(B9600, CS8 | CSTOPB));
    std::string received;
    std::size_t largestRead = 0;
    port.SetReceiveHandler([&](int) {
        const auto bytes = port.ReadAll();
        largestRead = std::max(largestRead, bytes.size());
        received += Text(bytes);
    });
    const std::string bytes = "AT FW=0.5N\r\n" + std::string("\0\x11\x13\xFF\r\r\n", 7);
    Send(bytes);
    RunEvents([&] { return received.size() >= bytes.size(); });
    EXPECT_EQ(received, bytes);
    EXPECT_LE(largestRead, 4u);
    for (const char c : bytes) {  // the event loop does not run meanwhile
        port.Write({reinterpret_cast<const std::uint8_t*>(&c), 1});
        pollfd entry{m_master, POLLIN, 0};
        std::array<char, 8> got{};
        ASSERT_EQ(::poll(&entry, 1, 1000), 1);
        ASSERT_EQ(::read(m_master, got.data(), got.size()), 1);
        ASSERT_EQ(got[0], c);
    }
    // Recent Linux kernels keep a pseudo-terminal at 8 data bits without parity: a framing the
    // device refuses leaves the line as it was, and fails the next open.
    try {
        port.Configure({"9600,e,7,1"});
        GTEST_SKIP() << "this kernel's pseudo-terminals take any framing";
    } catch (const SerialError& e) {
        EXPECT_THAT(e.what(), StartsWith("Cannot apply the settings 9600,e,7,1 to COM1 ("));
    }
    EXPECT_EQ(LineNow(), Line(B9600, CS8 | CSTOPB));
    port.Close();
    port.Configure({"9600,e,7,1"});
    EXPECT_THAT([&] { port.Open(); }, ThrowsMessage<SerialError>(StartsWith("Cannot open COM1")));
    EXPECT_FALSE(port.IsOpen());
}

// A refused open names the port, the device tried and why; the port stays closed, and opens
// once the cause is gone. A busy device is busy under any port name. Root ignores access
// modes, so as root this test runs again as uid 65534.
TEST_F(PtyPortTest, RefusedOpenNamesTheDeviceAndTheCause) {
    if (::geteuid() == 0) {
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                    fs::read_symlink("/proc/self/exe").string() +
                                    " --gtest_filter=PtyPortTest.RefusedOpen*";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return;
    }
    const std::string absent = m_root / "by-id-usb-adapter";
    std::string lockName = m_device.substr(5);  // "/dev/pts/3" has the lock file "LCK..pts_3"
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string lockFile =
        (::access("/var/lock", W_OK) == 0 ? "/var/lock/LCK.." : "/tmp/LCK..") + lockName;
    const auto linkCom2 = [&](const std::string& target) {
        fs::remove(m_ports + "/COM2");
        fs::create_symlink(target, m_ports + "/COM2");
    };
    using enum PortFailure;
    for (const auto& [name, cause] :
         std::vector<std::pair<std::string, PortFailure>>{{"missing", NotExist},
                                                          {"a second port", InUse},
                                                          {"flock", InUse},
                                                          {"lock file", InUse},
                                                          {"no access", PermissionDenied}}) {
        SCOPED_TRACE(name);
        linkCom2(cause == NotExist ? absent : m_device);
        QProcess other;  // holds the device (with flock) until its input is closed
        const std::string hold = name == "flock" ? "flock -xn " + m_device + " " : "";
        other.start("sh", {"-c", QString::fromStdString(hold + "sh -c 'echo; exec cat'")});
        ASSERT_TRUE(other.waitForReadyRead(3000));
        QtSerialPort first(m_ports);
        const std::string pid = name == "lock file" ? std::to_string(other.processId()) : "";
        if (name == "a second port") {
            first.Open();
        } else if (name == "lock file") {  // in the format of lockdev and minicom
            test::WriteFile(lockFile, std::string(10 - pid.size(), ' ') + pid + "\n");
        } else if (cause == PermissionDenied) {
            ASSERT_EQ(::chmod(m_device.c_str(), 0), 0);
        }
        QtSerialPort port(m_ports);
        port.SelectPort(2);
        EXPECT_THAT([&] { port.Open(); },
                    ThrowsMessage<SerialError>(FailureSentence(
                        cause, "COM2", cause == NotExist ? absent : m_device, pid)));
        EXPECT_FALSE(port.IsOpen());
        first.Close();
        other.closeWriteChannel();
        other.waitForFinished();
        ::unlink(lockFile.c_str());
        ::chmod(m_device.c_str(), 0600);
        linkCom2(m_device);
        port.Open();
        EXPECT_TRUE(port.IsOpen());
    }
}

// The device end closing, or a hang-up of the tty (what a pulled USB adapter does to it), is
// reported once and does not make the loop spin; the port stays open until closed.
class HangUpTest : public PtyPortTest, public testing::WithParamInterface<bool> {};

TEST_P(HangUpTest, IsReportedOnceAndDoesNotSpin) {
    QtSerialPort port(m_ports);
    port.Open();
    std::vector<int> events;
    port.SetReceiveHandler([&](int code) { events.push_back(code); });
    if (!GetParam()) {
        ::close(std::exchange(m_master, -1));
    } else if (::ioctl(m_slave, TIOCVHANGUP) != 0) {
        GTEST_SKIP() << "hanging up a tty needs CAP_SYS_ADMIN";
    }
    EXPECT_LT(RunEvents([] { return false; }, 300), 100);
    EXPECT_EQ(std::count(events.begin(), events.end(), kCommEventError), 1);
    EXPECT_LE(events.size(), 2u);
    EXPECT_TRUE(port.IsOpen());  // the dialog's watchdog notices the silence
    EXPECT_THAT([&] { port.Write(kA); }, ThrowsMessage<SerialError>(FailureSentence(
                                             PortFailure::Disconnected, "COM1", m_device)));
    port.Close();
    EXPECT_FALSE(port.IsOpen());
    EXPECT_THROW(port.Write(kA), SerialError);
    EXPECT_THROW(port.ReadAll(), SerialError);
}

INSTANTIATE_TEST_SUITE_P(PtyPort, HangUpTest, testing::Bool(), [](const auto& row) {
    return row.param ? "TtyHungUp" : "DeviceEndClosed";
});

// A handler that leaves the bytes waiting is told again only when more arrive. A modal message
// box opened from the handler runs a nested event loop that must go on receiving.
TEST_F(PtyPortTest, HandlerIsToldOncePerArrivalAlsoInsideANestedLoop) {
    QtSerialPort port(m_ports);
    port.Open();
    std::vector<std::string> reads;  // per notification; the first one reads nothing
    QEventLoop nested;
    port.SetReceiveHandler([&](int) {
        reads.push_back(reads.empty() ? "" : Text(port.ReadAll()));
        if (reads.size() == 2) {
            QTimer::singleShot(2000, &nested, &QEventLoop::quit);
            Send("AT RPM=0\r\n");
            nested.exec();
        } else {
            nested.quit();
        }
    });
    Send("AT DV=");
    RunEvents([&] { return !reads.empty(); });
    EXPECT_LT(RunEvents([] { return false; }, 300), 100);
    EXPECT_EQ(reads.size(), 1u);
    Send("12.5\r\n");
    RunEvents([&] { return reads.size() >= 3; });
    EXPECT_EQ(reads, (std::vector<std::string>{"", "AT DV=12.5\r\n", "AT RPM=0\r\n"}));
}

}  // namespace
}  // namespace zk4
