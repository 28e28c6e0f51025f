// QtSerialPort against a pseudo-terminal: the test holds the master end and plays the device.
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
#include <array>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

#include "serial/QtSerialPort.h"
#include "support/TempDir.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until `done` holds or `ms` pass; returns how often the loop woke up:
// about 15 times in 300 ms when idle, thousands of times when something keeps it busy.
int RunEvents(const std::function<bool()>& done, int ms = 3000) {
    QDeadlineTimer deadline(ms);
    QTimer wake;  // lets the loop notice the deadline
    wake.start(20);
    int wakeups = 0;
    while (!done() && !deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++wakeups;
    }
    return wakeups;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
}

void WriteByte(QtSerialPort& port, char c) {
    const auto byte = static_cast<std::uint8_t>(c);
    port.Write({&byte, 1});
}

std::string FailureOf(const std::function<void()>& action) {
    try {
        action();
    } catch (const SerialError& e) {
        return e.what();
    }
    return "(no failure)";
}

// Records the notifications and reads everything on each receive notification.
struct Recorder {
    explicit Recorder(QtSerialPort& port) {
        port.SetReceiveHandler([this, &port](int code) {
            events.push_back(code);
            if (code == kCommEventReceive) {
                const auto bytes = port.ReadAll();
                largestRead = std::max(largestRead, bytes.size());
                data += Text(bytes);
            }
        });
    }

    std::vector<int> events;
    std::string data;
    std::size_t largestRead = 0;
};

class PtyPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        fs::create_directories(m_ports);
        MakePty();
    }
    void TearDown() override { ClosePty(); }

    // A fresh pseudo-terminal in raw mode, linked as ports/COM1.
    void MakePty() {
        ClosePty();
        std::array<char, 256> name{};
        ASSERT_EQ(::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr), 0);
        termios raw{};
        ASSERT_EQ(::tcgetattr(m_slave, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(m_slave, TCSANOW, &raw), 0);
        m_device = fs::canonical(name.data()).string();
        fs::remove(m_ports + "/COM1");
        fs::create_symlink(m_device, m_ports + "/COM1");
    }
    void ClosePty() {
        for (int* fd : {&m_master, &m_slave}) {
            if (*fd >= 0) {
                ::close(std::exchange(*fd, -1));
            }
        }
    }

    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()), ssize_t(bytes.size()));
    }

    // What reaches the device end within a second, read without running the event loop.
    std::string DeviceReceives() {
        pollfd entry{m_master, POLLIN, 0};
        std::array<char, 256> got{};
        const ssize_t n =
            ::poll(&entry, 1, 1000) == 1 ? ::read(m_master, got.data(), got.size()) : 0;
        return {got.data(), static_cast<std::size_t>(std::max<ssize_t>(n, 0))};
    }

    test::TempDir m_root;
    const std::string m_ports = m_root / "ports";
    int m_master = -1;
    int m_slave = -1;
    std::string m_device;
};

// Bytes waiting in the driver when the port opens, also when it is opened again while open,
// come with the first read, so the dialog's discarding read really drops them.
TEST_F(PtyPortTest, FirstReadAfterEachOpenTakesWhatWasPendingThenBytesPassBothWays) {
    QtSerialPort port(m_ports);
    for (const std::string before : {"AT MPH=55\r\nAT CN=", "AT CN=4\r\n"}) {
        Send(before);
        pollfd entry{m_slave, POLLIN, 0};
        ASSERT_EQ(::poll(&entry, 1, 2000), 1);
        port.Open();
        EXPECT_EQ(Text(port.ReadAll()), before);
    }
    ASSERT_TRUE(port.IsOpen());
    EXPECT_EQ(port.DevicePath(), m_device);
    port.Configure({"115200,n,8,1", true, 1, 4});  // reads of at most four bytes
    Recorder recorder(port);
    const std::string bytes = "AT FW=0.5N\r\n" + std::string("\0\x11\x13\xFF\r\r\n", 7);
    Send(bytes);
    RunEvents([&] { return recorder.data.size() >= bytes.size(); });
    EXPECT_EQ(recorder.data, bytes);
    EXPECT_LE(recorder.largestRead, 4u);
    for (const char c : bytes) {  // each byte reaches the device before Write returns
        WriteByte(port, c);
        ASSERT_EQ(DeviceReceives(), std::string(1, c));
    }
}

// A refused open names the port, the device tried and why; the port stays closed, and opens
// once the cause is gone. A busy device is busy under any port name.
TEST_F(PtyPortTest, RefusedOpenNamesTheDeviceAndTheCause) {
    const std::string absent = m_root / "by-id-usb-adapter";
    std::string lockName = m_device.substr(5);  // "/dev/pts/3" has the lock file "LCK..pts_3"
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string lockFile =
        (::access("/var/lock", W_OK) == 0 ? "/var/lock/LCK.." : "/tmp/LCK..") + lockName;
    const std::string inUse =
        "Cannot open COM2 (" + m_device + "): the port is in use by another program";
    const auto linkCom2 = [&](const std::string& target) {
        fs::remove(m_ports + "/COM2");
        fs::create_symlink(target, m_ports + "/COM2");
    };
    for (const std::string_view cause : {"missing", "a second port", "flock", "lock file"}) {
        SCOPED_TRACE(cause);
        linkCom2(cause == "missing" ? absent : m_device);
        QProcess other;  // holds the device (with flock) until its input is closed
        const std::string hold = cause == "flock" ? "flock -xn " + m_device + " " : "";
        other.start("sh", {"-c", QString::fromStdString(hold + "sh -c 'echo; exec cat'")});
        ASSERT_TRUE(other.waitForReadyRead(3000));
        QtSerialPort first(m_ports);
        std::string expected = inUse + ".";
        if (cause == "missing") {
            expected = "Cannot open COM2 (" + absent +
                       "): the device does not exist. Check that the adapter is plugged in, or "
                       "link ports/COM2 to the right device.";
        } else if (cause == "a second port") {
            first.Open();
        } else if (cause == "lock file") {  // in the format of lockdev and minicom
            const std::string pid = std::to_string(other.processId());
            std::ofstream(lockFile) << std::string(10 - pid.size(), ' ') << pid << '\n';
            expected = inUse + " (process " + pid + ").";
        }
        QtSerialPort port(m_ports);
        port.SelectPort(2);
        EXPECT_EQ(FailureOf([&] { port.Open(); }), expected);
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(FailureOf([&] { WriteByte(port, 'A'); }),
                  "Cannot write to COM2: the port is not open.");
        EXPECT_EQ(FailureOf([&] { port.ReadAll(); }),
                  "Cannot read from COM2: the port is not open.");
        first.Close();
        other.closeWriteChannel();
        other.waitForFinished();
        ::unlink(lockFile.c_str());
        linkCom2(m_device);
        port.Open();
        EXPECT_TRUE(port.IsOpen());
    }
}

// Root ignores access modes, so as root this test runs again as uid 65534.
TEST_F(PtyPortTest, DeniedAccessNamesTheDialoutGroup) {
    if (::geteuid() == 0) {
        const std::string command = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                    fs::read_symlink("/proc/self/exe").string() +
                                    " --gtest_filter=PtyPortTest.DeniedAccessNamesTheDialoutGroup";
        EXPECT_EQ(std::system(command.c_str()), 0) << command;
        return;
    }
    ASSERT_EQ(::chmod(m_device.c_str(), 0), 0);
    QtSerialPort port(m_ports);
    const std::string failure = FailureOf([&] { port.Open(); });
    EXPECT_EQ(failure.rfind("Cannot open COM1 (" + m_device +
                                "): permission denied. Add your user to the dialout group",
                            0),
              0u)
        << failure;
}

TEST_F(PtyPortTest, HangUpWhileOpenIsReportedOnceAndDoesNotSpin) {
    const std::vector<std::pair<const char*, std::function<bool()>>> cases = {
        {"device end closed", [this] { return ::close(std::exchange(m_master, -1)) == 0; }},
        // What a pulled USB adapter does to its tty; needs CAP_SYS_ADMIN.
        {"tty hung up", [this] { return ::ioctl(m_slave, TIOCVHANGUP) == 0; }},
    };
    for (const auto& [name, hangUp] : cases) {
        SCOPED_TRACE(name);
        MakePty();
        QtSerialPort port(m_ports);
        port.Open();
        Recorder recorder(port);
        if (!hangUp()) {
            continue;
        }
        EXPECT_LT(RunEvents([] { return false; }, 300), 100);
        EXPECT_EQ(std::count(recorder.events.begin(), recorder.events.end(), kCommEventError), 1);
        EXPECT_LE(recorder.events.size(), 2u);
        EXPECT_TRUE(port.IsOpen());  // the dialog's watchdog notices the silence
        EXPECT_NE(FailureOf([&] { WriteByte(port, 'A'); }).find("the device was disconnected"),
                  std::string::npos);
        port.Close();
        EXPECT_FALSE(port.IsOpen());
        EXPECT_EQ(FailureOf([&] { WriteByte(port, 'A'); }),
                  "Cannot write to COM1: the port is not open.");
        EXPECT_EQ(FailureOf([&] { port.ReadAll(); }),
                  "Cannot read from COM1: the port is not open.");
    }
}

// A modal message box opened from the handler runs a nested event loop that must go on
// receiving.
TEST_F(PtyPortTest, NestedEventLoopInsideTheHandlerKeepsReceiving) {
    QtSerialPort port(m_ports);
    port.Open();
    std::string outer;
    std::string nested;
    QEventLoop loop;
    bool inLoop = false;
    port.SetReceiveHandler([&](int code) {
        const std::string bytes = code == kCommEventReceive ? Text(port.ReadAll()) : "";
        (inLoop ? nested : outer) += bytes;
        if (nested == "AT RPM=0\r\n") {
            loop.quit();
        } else if (!inLoop && outer == "AT DV=0.0\r\n") {
            inLoop = true;
            QTimer::singleShot(2000, &loop, &QEventLoop::quit);
            Send("AT RPM=0\r\n");
            loop.exec();
            inLoop = false;
        }
    });
    Send("AT DV=0.0\r\n");
    RunEvents([&] { return !nested.empty(); });
    EXPECT_EQ(outer, "AT DV=0.0\r\n");
    EXPECT_EQ(nested, "AT RPM=0\r\n");
}

// A handler that leaves the bytes waiting is told again only when more arrive.
TEST_F(PtyPortTest, UnreadBytesDoNotKeepTheLoopBusy) {
    QtSerialPort port(m_ports);
    port.Open();
    int notifications = 0;
    port.SetReceiveHandler([&](int) { ++notifications; });
    Send("AT DV=");
    RunEvents([&] { return notifications > 0; });
    EXPECT_LT(RunEvents([] { return false; }, 300), 100);
    EXPECT_EQ(notifications, 1);
    Send("12.5\r\n");
    RunEvents([&] { return notifications > 1; });
    EXPECT_EQ(Text(port.ReadAll()), "AT DV=12.5\r\n");
}

// Settings are applied at once while open and at the next open; a text or framing the port
// refuses leaves the line as it was.
TEST_F(PtyPortTest, ConfigureSetsTheLineNowOrAtTheNextOpen) {
    const auto expectLine = [this](speed_t speed, bool twoStop) {
        termios t{};
        ASSERT_EQ(::tcgetattr(m_slave, &t), 0);
        EXPECT_EQ(::cfgetospeed(&t), speed);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, twoStop);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CRTSCTS), tcflag_t(CS8));
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    };
    QtSerialPort port(m_ports);
    port.Open();
    expectLine(B115200, false);
    port.Configure({"9600,n,8,2"});
    expectLine(B9600, true);
    EXPECT_THROW(port.Configure({"fast"}), SerialError);
    expectLine(B9600, true);
    port.Close();
    port.Configure({"19200,N,8,1"});
    port.Open();
    expectLine(B19200, false);
    // Recent Linux kernels keep a pseudo-terminal at 8 data bits without parity.
    const std::string failure = FailureOf([&] { port.Configure({"9600,e,7,1"}); });
    if (failure == "(no failure)") {
        GTEST_SKIP() << "this kernel's pseudo-terminals take any framing";
    }
    EXPECT_EQ(failure.rfind("Cannot apply the settings 9600,e,7,1 to COM1 (" + m_device + ")", 0),
              0u)
        << failure;
    expectLine(B19200, false);
    port.Close();
    port.Configure({"9600,e,7,1"});  // taken while closed, refused by the open
    EXPECT_EQ(FailureOf([&] {
                  port.Open();
              }).rfind("Cannot open COM1 (" + m_device + "): the device does not accept", 0),
              0u);
    EXPECT_FALSE(port.IsOpen());
}

}  // namespace
}  // namespace zk4
