// QtSerialPort against a pseudo-terminal: the test holds the master end and plays the device.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <pty.h>
#include <sys/file.h>
#include <sys/ioctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QEventLoop>
#include <QProcess>
#include <QTimer>
#include <algorithm>
#include <array>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "serial/QtSerialPort.h"

namespace zk4 {
namespace {

namespace fs = std::filesystem;

// Runs the event loop until `done` holds or the deadline passes.
bool RunEventsUntil(const std::function<bool()>& done, int ms = 3000) {
    QDeadlineTimer deadline(ms);
    QTimer wake;  // lets the loop notice the deadline
    wake.start(5);
    while (!done()) {
        if (deadline.hasExpired()) {
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    }
    return true;
}

// Runs the event loop for `ms` and returns how many times it woke up: a handful when idle,
// tens of thousands when something keeps it busy.
int RunEventsFor(int ms) {
    QDeadlineTimer deadline(ms);
    QTimer wake;  // about 15 wake-ups of its own over 300 ms
    wake.start(20);
    int wakeups = 0;
    while (!deadline.hasExpired()) {
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
        ++wakeups;
    }
    return wakeups;
}

std::string Text(const std::vector<std::uint8_t>& bytes) {
    return {bytes.begin(), bytes.end()};
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
    int Count(int code) const {
        return static_cast<int>(std::count(events.begin(), events.end(), code));
    }

    std::vector<int> events;
    std::string data;
    std::size_t largestRead = 0;
};

// A process that holds the device the way another serial program would, until released.
struct Holder {
    pid_t pid = -1;
    int release = -1;

    static Holder Start(const std::string& device, bool takeFlock) {
        int ready[2];
        int hold[2];
        if (::pipe(ready) != 0 || ::pipe(hold) != 0) {
            return {};
        }
        const pid_t pid = ::fork();
        if (pid == 0) {  // only async-signal-safe calls from here on
            char c = 'r';
            if (takeFlock) {
                const int fd = ::open(device.c_str(), O_RDWR | O_NOCTTY | O_NONBLOCK);
                if (fd < 0 || ::flock(fd, LOCK_EX | LOCK_NB) != 0) {
                    ::_exit(1);
                }
            }
            ::close(hold[1]);
            if (::write(ready[1], &c, 1) != 1 || ::read(hold[0], &c, 1) < 0) {
                ::_exit(1);
            }
            ::_exit(0);
        }
        ::close(ready[1]);
        ::close(hold[0]);
        char c = 0;
        const bool started = ::read(ready[0], &c, 1) == 1;
        ::close(ready[0]);
        return started ? Holder{pid, hold[1]} : Holder{};
    }
    void Stop() {
        ::close(release);
        int status = 0;
        ::waitpid(pid, &status, 0);
    }
};

class PtyPortTest : public ::testing::Test {
  protected:
    void SetUp() override {
        std::string pattern = (fs::temp_directory_path() / "zk4-pty-XXXXXX").string();
        ASSERT_NE(::mkdtemp(pattern.data()), nullptr);
        m_root = pattern;
        m_ports = (m_root / "ports").string();
        fs::create_directories(m_ports);
        MakePty();
    }
    void TearDown() override {
        ClosePty();
        fs::remove_all(m_root);
    }

    // A fresh pseudo-terminal in raw mode, linked as ports/COM1.
    void MakePty() {
        ClosePty();
        std::array<char, 256> name{};
        ASSERT_EQ(::openpty(&m_master, &m_slave, name.data(), nullptr, nullptr), 0);
        termios raw{};
        ASSERT_EQ(::tcgetattr(m_slave, &raw), 0);
        ::cfmakeraw(&raw);
        ASSERT_EQ(::tcsetattr(m_slave, TCSANOW, &raw), 0);
        ASSERT_EQ(::fcntl(m_master, F_SETFL, O_NONBLOCK), 0);
        m_device = fs::canonical(name.data()).string();
        fs::remove(m_root / "ports" / "COM1");
        fs::create_symlink(m_device, m_root / "ports" / "COM1");
    }
    void ClosePty() {
        for (int* fd : {&m_master, &m_slave}) {
            if (*fd >= 0) {
                ::close(*fd);
                *fd = -1;
            }
        }
    }

    void Send(const std::string& bytes) {
        ASSERT_EQ(::write(m_master, bytes.data(), bytes.size()),
                  static_cast<ssize_t>(bytes.size()));
    }

    // What reaches the device end, read without running the event loop.
    std::string DeviceReceives(std::size_t count) {
        std::string got;
        QDeadlineTimer deadline(2000);
        while (got.size() < count && !deadline.hasExpired()) {
            pollfd entry{m_master, POLLIN, 0};
            if (::poll(&entry, 1, static_cast<int>(deadline.remainingTime())) <= 0) {
                break;
            }
            std::array<char, 256> chunk{};
            const ssize_t n = ::read(m_master, chunk.data(), chunk.size());
            if (n > 0) {
                got.append(chunk.data(), static_cast<std::size_t>(n));
            }
        }
        return got;
    }

    termios Line() const {
        termios t{};
        ::tcgetattr(m_slave, &t);
        return t;
    }

    int m_master = -1;
    int m_slave = -1;
    std::string m_device;
    fs::path m_root;
    std::string m_ports;
};

TEST_F(PtyPortTest, OpensThroughTheLinkAndReportsTheCanonicalDevice) {
    fs::create_symlink(m_device, m_root / "alias");
    fs::create_symlink(m_root / "alias", m_root / "ports" / "COM7");
    for (const int number : {1, 7}) {
        SCOPED_TRACE("COM" + std::to_string(number));
        QtSerialPort port(m_ports);
        port.SelectPort(number);
        port.Open();
        EXPECT_TRUE(port.IsOpen());
        EXPECT_EQ(port.DevicePath(), m_device);
    }
}

TEST_F(PtyPortTest, BytesFromTheDeviceArriveUnchangedThroughTheNotification) {
    const std::string bytes =
        "AT DV=12.5\r\n" + std::string("\0\x11\x13\xFF\x7F\r\r\n", 8) + "AT RPM=1500\r\n";
    for (const int inputLength : {0, 4}) {
        SCOPED_TRACE("input length " + std::to_string(inputLength));
        QtSerialPort port(m_ports);
        port.Configure({"115200,n,8,1", true, 1, inputLength});
        port.Open();
        Recorder recorder(port);
        Send(bytes);
        EXPECT_TRUE(RunEventsUntil([&] { return recorder.data.size() >= bytes.size(); }));
        EXPECT_EQ(recorder.data, bytes);
        EXPECT_EQ(recorder.Count(kCommEventReceive), static_cast<int>(recorder.events.size()));
        if (inputLength > 0) {
            EXPECT_LE(recorder.largestRead, static_cast<std::size_t>(inputLength));
        }
    }
}

TEST_F(PtyPortTest, WrittenBytesReachTheDeviceBeforeWriteReturns) {
    QtSerialPort port(m_ports);
    port.Open();
    const std::string line = "AT RALL\r\n" + std::string("\0\x11\x13\xFF\n", 5);
    for (const char c : line) {
        const auto byte = static_cast<std::uint8_t>(c);
        port.Write(std::span<const std::uint8_t>(&byte, 1));
        EXPECT_EQ(DeviceReceives(1), std::string(1, c));  // no event loop ran in between
    }
    const std::string command = "AT FW=?\r\n";
    port.Write({reinterpret_cast<const std::uint8_t*>(command.data()), command.size()});
    EXPECT_EQ(DeviceReceives(command.size()), command);
}

TEST_F(PtyPortTest, FirstReadAfterOpenTakesWhatArrivedBeforeTheOpen) {
    Send("AT MPH=55\r\nAT CN=");
    pollfd entry{m_slave, POLLIN, 0};
    ASSERT_EQ(::poll(&entry, 1, 2000), 1);  // the bytes wait in the driver
    QtSerialPort port(m_ports);
    port.Open();
    EXPECT_EQ(Text(port.ReadAll()), "AT MPH=55\r\nAT CN=");
    Recorder recorder(port);
    Send("AT FW=0.5N\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return recorder.data.size() >= 12; }));
    EXPECT_EQ(recorder.data, "AT FW=0.5N\r\n");
}

TEST_F(PtyPortTest, OpeningAgainWhileOpenGivesAWorkingPort) {
    QtSerialPort port(m_ports);
    port.Open();
    port.Open();
    ASSERT_TRUE(port.IsOpen());
    Recorder recorder(port);
    Send("AT ID?\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return recorder.data == "AT ID?\r\n"; }));
    const std::uint8_t byte = 'Z';
    port.Write({&byte, 1});
    EXPECT_EQ(DeviceReceives(1), "Z");
}

TEST_F(PtyPortTest, SecondPortOnTheSameDeviceIsRefusedAsInUse) {
    QtSerialPort first(m_ports);
    QtSerialPort second(m_ports);
    first.Open();
    const std::string failure = FailureOf([&] { second.Open(); });
    EXPECT_NE(failure.find("COM1 (" + m_device + ")"), std::string::npos) << failure;
    EXPECT_NE(failure.find("in use by another program"), std::string::npos) << failure;
    EXPECT_FALSE(second.IsOpen());
    first.Close();
    second.Open();
    EXPECT_TRUE(second.IsOpen());
}

TEST_F(PtyPortTest, LockHeldByAnotherProgramRefusesTheOpen) {
    std::string lockDir;
    for (const char* dir : {"/var/lock", "/tmp"}) {
        if (lockDir.empty() && ::access(dir, W_OK) == 0) {
            lockDir = dir;
        }
    }
    std::string lockName = m_device.substr(5);  // without "/dev/"
    std::replace(lockName.begin(), lockName.end(), '/', '_');
    const std::string lockFile = lockDir + "/LCK.." + lockName;

    for (const bool byFlock : {true, false}) {
        SCOPED_TRACE(byFlock ? "flock on the device" : "lock file " + lockFile);
        Holder holder = Holder::Start(m_device, byFlock);
        ASSERT_GT(holder.pid, 0);
        if (!byFlock) {
            char text[16];
            std::snprintf(text, sizeof text, "%10d\n", static_cast<int>(holder.pid));
            std::ofstream(lockFile) << text;  // the format of lockdev and minicom
        }
        QtSerialPort port(m_ports);
        const std::string failure = FailureOf([&] { port.Open(); });
        holder.Stop();
        if (!byFlock) {
            ::unlink(lockFile.c_str());
            EXPECT_NE(failure.find("process " + std::to_string(holder.pid)), std::string::npos)
                << failure;
        }
        EXPECT_NE(failure.find("in use by another program"), std::string::npos) << failure;
        EXPECT_FALSE(port.IsOpen());
        port.Open();  // free again once the other program is gone
        EXPECT_TRUE(port.IsOpen());
    }
}

TEST_F(PtyPortTest, MissingDeviceNamesTheDeviceTried) {
    const std::string absent = (m_root / "by-id" / "usb-adapter-port0").string();
    fs::create_symlink(absent, m_root / "ports" / "COM2");
    QtSerialPort port(m_ports);
    port.SelectPort(2);
    const std::string failure = FailureOf([&] { port.Open(); });
    EXPECT_EQ(failure, "Cannot open COM2 (" + absent +
                           "): the device does not exist. Check that the adapter is plugged in, "
                           "or link ports/COM2 to the right device.");
    EXPECT_EQ(port.DevicePath(), absent);
    EXPECT_FALSE(port.IsOpen());
}

// Root ignores access modes, so as root the check runs again in a child process under an
// unprivileged user, which opens the device prepared here.
TEST_F(PtyPortTest, DeniedAccessNamesTheDialoutGroup) {
    const char* childPorts = std::getenv("ZK4_TEST_PORTS");
    const char* childDevice = std::getenv("ZK4_TEST_DEVICE");
    const auto expectDenied = [](const std::string& ports, const std::string& device) {
        QtSerialPort port(ports);
        const std::string failure = FailureOf([&] { port.Open(); });
        EXPECT_NE(failure.find("COM1 (" + device + "): permission denied"), std::string::npos)
            << failure;
        EXPECT_NE(failure.find("dialout"), std::string::npos) << failure;
    };
    if (childPorts != nullptr && childDevice != nullptr) {
        expectDenied(childPorts, childDevice);
        return;
    }
    ASSERT_EQ(::chmod(m_device.c_str(), 0), 0);
    if (::geteuid() != 0) {
        expectDenied(m_ports, m_device);
        return;
    }
    if (::access("/usr/bin/setpriv", X_OK) != 0) {
        GTEST_SKIP() << "needs setpriv to drop root";
    }
    fs::permissions(m_root, fs::perms::owner_all | fs::perms::group_exec | fs::perms::others_exec);
    QProcess child;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert("ZK4_TEST_PORTS", QString::fromStdString(m_ports));
    env.insert("ZK4_TEST_DEVICE", QString::fromStdString(m_device));
    child.setProcessEnvironment(env);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start("/usr/bin/setpriv",
                {"--reuid=65534", "--regid=65534", "--clear-groups",
                 QString::fromStdString(fs::read_symlink("/proc/self/exe").string()),
                 "--gtest_filter=PtyPortTest.DeniedAccessNamesTheDialoutGroup"});
    ASSERT_TRUE(child.waitForFinished(30000));
    const QString output = QString::fromLocal8Bit(child.readAll());
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test.")) << output.toStdString();
}

TEST_F(PtyPortTest, ClosedPortRefusesWritesAndReads) {
    const std::uint8_t byte = 'A';
    const std::vector<std::pair<std::string, std::function<void(QtSerialPort&)>>> actions = {
        {"Cannot write to COM1: the port is not open.",
         [&](QtSerialPort& p) {
             p.Write({&byte, 1});
         }},
        {"Cannot read from COM1: the port is not open.", [](QtSerialPort& p) { p.ReadAll(); }},
    };
    for (const bool openedBefore : {false, true}) {
        for (const auto& action : actions) {
            SCOPED_TRACE(action.first + (openedBefore ? " (after a close)" : " (never opened)"));
            QtSerialPort port(m_ports);
            if (openedBefore) {
                port.Open();
                port.Close();
            }
            EXPECT_EQ(FailureOf([&] { action.second(port); }), action.first);
        }
    }
}

TEST_F(PtyPortTest, HangUpWhileOpenIsReportedOnceAndDoesNotSpin) {
    struct Case {
        const char* name;
        std::function<bool()> hangUp;
    };
    const std::vector<Case> cases = {
        {"device end closed",
         [this] {
             ::close(m_master);
             m_master = -1;
             return true;
         }},
        // What a pulled USB adapter does to its tty; needs CAP_SYS_ADMIN.
        {"tty hung up", [this] { return ::ioctl(m_slave, TIOCVHANGUP) == 0; }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        MakePty();
        QtSerialPort port(m_ports);
        port.Open();
        Recorder recorder(port);
        if (!c.hangUp()) {
            continue;
        }
        EXPECT_LT(RunEventsFor(300), 100);
        EXPECT_EQ(recorder.Count(kCommEventError), 1);
        EXPECT_LE(recorder.events.size(), 2u);
        EXPECT_TRUE(port.IsOpen());
        const std::uint8_t byte = 'A';
        const std::string failure = FailureOf([&] { port.Write({&byte, 1}); });
        EXPECT_NE(failure.find("the device was disconnected"), std::string::npos) << failure;
        port.Close();
        EXPECT_FALSE(port.IsOpen());
    }
}

TEST_F(PtyPortTest, NestedEventLoopInsideTheHandlerKeepsReceiving) {
    QtSerialPort port(m_ports);
    port.Open();
    std::string outer;
    std::string nested;
    QEventLoop* nestedLoop = nullptr;
    port.SetReceiveHandler([&](int code) {
        if (code != kCommEventReceive) {
            return;
        }
        const std::string bytes = Text(port.ReadAll());
        if (nestedLoop != nullptr) {
            nested += bytes;
            if (nested == "AT RPM=0\r\n") {
                nestedLoop->quit();
            }
            return;
        }
        outer += bytes;
        QEventLoop loop;  // as a modal message box would run
        nestedLoop = &loop;
        QTimer::singleShot(3000, &loop, &QEventLoop::quit);
        Send("AT RPM=0\r\n");
        loop.exec();
        nestedLoop = nullptr;
    });
    Send("AT DV=0.0\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return !outer.empty() && nestedLoop == nullptr; }));
    EXPECT_EQ(outer, "AT DV=0.0\r\n");
    EXPECT_EQ(nested, "AT RPM=0\r\n");
}

TEST_F(PtyPortTest, ConfigureSetsTheLineWhileOpenAndAtTheNextOpen) {
    const auto expectLine = [this](speed_t speed, bool twoStop) {
        const termios t = Line();
        EXPECT_EQ(::cfgetospeed(&t), speed);
        EXPECT_EQ(::cfgetispeed(&t), speed);
        EXPECT_EQ((t.c_cflag & CSTOPB) != 0, twoStop);
        EXPECT_EQ(t.c_cflag & (CSIZE | PARENB | CRTSCTS), static_cast<tcflag_t>(CS8));
        EXPECT_EQ(t.c_iflag & (ICRNL | INLCR | IGNCR | IXON | IXOFF | ISTRIP), 0u);
        EXPECT_EQ(t.c_oflag & OPOST, 0u);
    };
    QtSerialPort port(m_ports);
    port.Open();
    expectLine(B115200, false);  // the defaults
    port.Configure({"9600,n,8,2"});
    expectLine(B9600, true);
    EXPECT_THROW(port.Configure({"fast"}), SerialError);
    expectLine(B9600, true);  // a refused text changes nothing
    port.Close();
    port.Configure({"19200,N,8,1"});
    port.Open();
    expectLine(B19200, false);
}

// Recent Linux kernels keep a pseudo-terminal at 8 data bits without parity and refuse other
// framing: the port must say so and leave the line as it was.
TEST_F(PtyPortTest, FramingTheDeviceRefusesLeavesTheLineAsItWas) {
    termios probe = Line();
    probe.c_cflag = (probe.c_cflag & ~CSIZE) | CS7 | PARENB;
    ::tcsetattr(m_slave, TCSANOW, &probe);
    if ((Line().c_cflag & (CSIZE | PARENB)) == (CS7 | PARENB)) {
        GTEST_SKIP() << "this kernel's pseudo-terminals take any framing";
    }
    QtSerialPort port(m_ports);
    port.Configure({"9600,n,8,1"});
    port.Open();
    const std::string failure = FailureOf([&] { port.Configure({"19200,e,7,1"}); });
    EXPECT_EQ(failure.rfind("Cannot apply the settings 19200,e,7,1 to COM1 (" + m_device + ")", 0),
              0u)
        << failure;
    termios t = Line();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));
    port.Close();
    port.Open();  // nor was it kept for the next open
    t = Line();
    EXPECT_EQ(::cfgetospeed(&t), static_cast<speed_t>(B9600));

    port.Close();
    port.Configure({"19200,e,7,1"});  // accepted while closed, refused by the open
    const std::string openFailure = FailureOf([&] { port.Open(); });
    EXPECT_EQ(
        openFailure.rfind(
            "Cannot open COM1 (" + m_device + "): the device does not accept the settings", 0),
        0u)
        << openFailure;
    EXPECT_FALSE(port.IsOpen());
}

// A handler that leaves the bytes waiting is told again only when more arrive.
TEST_F(PtyPortTest, UnreadBytesDoNotKeepTheLoopBusy) {
    QtSerialPort port(m_ports);
    port.Open();
    int notifications = 0;
    port.SetReceiveHandler([&](int) { ++notifications; });
    Send("AT DV=");
    EXPECT_TRUE(RunEventsUntil([&] { return notifications > 0; }));
    EXPECT_LT(RunEventsFor(300), 100);
    EXPECT_EQ(notifications, 1);
    Send("12.5\r\n");
    EXPECT_TRUE(RunEventsUntil([&] { return notifications > 1; }));
    EXPECT_EQ(Text(port.ReadAll()), "AT DV=12.5\r\n");
}

// The device keeps talking while the handler reads: every byte arrives once, in order.
TEST_F(PtyPortTest, SteadyStreamArrivesCompleteAndInOrder) {
    QtSerialPort port(m_ports);
    port.Open();
    Recorder recorder(port);
    std::string sent;
    int lines = 0;
    QTimer device;
    QObject::connect(&device, &QTimer::timeout, [&] {
        if (lines < 500) {
            const std::string line = "AT RPM=" + std::to_string(lines++) + "\r\n";
            sent += line;
            Send(line);
        }
    });
    device.start(0);
    EXPECT_TRUE(
        RunEventsUntil([&] { return lines == 500 && recorder.data.size() >= sent.size(); }));
    EXPECT_EQ(recorder.data, sent);
    EXPECT_EQ(recorder.Count(kCommEventError), 0);
}

}  // namespace
}  // namespace zk4
