// The real dialog on the real serial layer and the steady clock against zk4-sim running as a
// separate process, in its own folder (its own ZK4.ini and ports/), with messages recorded
// instead of shown. These check order and content on the wire; timing is checked against a
// fake clock elsewhere.
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QTest>

#include <algorithm>
#include <filesystem>
#include <sstream>

#include "e2e/SimProcess.h"
#include "protocol/WireTrace.h"
#include "serial/QtSerialPort.h"
#include "support/DialogHarness.h"

namespace zk4::test {
namespace {

constexpr int kIdentifyMs = 4000;  // the first tick comes after one second

// Runs the event loop (timer ticks included) until `done` holds or the deadline passes.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = kIdentifyMs) {
    for (const QDeadlineTimer deadline(timeoutMs); !done() && !deadline.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

// The commands the host sent that start with one of the '|'-separated `prefixes`, from zk4-sim's
// --log.
std::vector<std::string> Sent(const std::string& log, const std::string& prefixes = "") {
    std::string bytes;
    std::istringstream in(ReadFile(log));
    for (std::string text; std::getline(in, text);) {
        const auto line = ParseTraceLine(text);
        bytes += line && line->kind == TraceKind::HostToDevice ? line->bytes : "";
    }
    std::vector<std::string> commands;
    for (std::size_t start = 0, end; (end = bytes.find('\n', start)) != std::string::npos;
         start = end + 1) {
        const std::string command = bytes.substr(start, end + 1 - start);
        std::istringstream alternatives(prefixes);
        for (std::string prefix; std::getline(alternatives, prefix, '|') || prefixes.empty();) {
            if (command.starts_with(prefix)) {
                commands.push_back(command);
                break;
            }
        }
    }
    return commands;
}

struct LiveDialog {
    LiveDialog() : serial((dir.Path() / "ports").string()) {
        dlg = std::make_unique<CToolsetDlg>(DialogPlatform{
            serial, clock,
            [this](QWidget*, const QString& text, MessageIcon icon) {
                said += text.toStdString() + "\n";
                icons.push_back(icon);
            },
            QString::fromStdString(exe), QString::fromStdString(dir / "config"), window});
    }
    QString Text(int id) const { return ControlText(dlg->GetDlgItem(id)); }
    void SetText(int id, const QString& text) { SetControlText(dlg->GetDlgItem(id), text); }
    void Click(int id) { QTest::mouseClick(dlg->GetDlgItem(id), Qt::LeftButton); }
    // What the user sees of an identified device.
    bool Identified() const {
        return Text(IDC_PRODUCT_ID).startsWith("ZK4-") &&
               dlg->GetDlgItem(IDC_DISCONNECT)->isEnabled();
    }
    bool ToldOnce(const std::string& part) const {
        return icons.size() == 1 && said.find(part) != std::string::npos;
    }

    TempDir dir;
    std::string exe = dir / "ZK4", ini = dir / "ZK4.ini", log = dir / "sim.log";
    SteadyClock clock;
    QtSerialPort serial;
    RxWindow window;
    std::string said;  // every message, one a line
    std::vector<MessageIcon> icons;
    std::unique_ptr<CToolsetDlg> dlg;
};

TEST(SimEndToEnd, WholeLifeOfALink) {
    LiveDialog t;
    WriteFile(t.ini, "COM=1\r\n");  // malformed: COM1, written back at the first tick
    SimProcess sim(t.exe, "COM1",
                   {"--product", "J1939-003", "--serial", "305419896", "--log", t.log});
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }));
    const std::vector<std::string> burst = {"AT FW=?\r\n", "AT ID?\r\n", "AT RALL\r\n"};
    ASSERT_TRUE(WaitFor([&] { return Sent(t.log) == burst; }, 500));
    EXPECT_EQ(ReadFile(t.ini), "COM=1;\r\n");
    EXPECT_EQ((t.Text(IDC_PRODUCT_ID) + " " + t.Text(IDC_SERIAL_NO) + " " + t.Text(IDC_FIRMWARE))
                  .toStdString(),
              "ZK4-J1939-003 305419896 0.5N");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_HZ_PER_MPH_REPORTED) == "1.7881"; }, 3000));

    // Linked: polls only, no more connect bursts.
    const std::size_t polls = Sent(t.log, "AT RALL").size();
    ASSERT_TRUE(WaitFor([&] { return Sent(t.log, "AT RALL").size() >= polls + 2; }, 3500));
    EXPECT_EQ(Sent(t.log, "AT ID?").size(), 1u);

    // Factory Default, then typed values: the device takes them and reports them.
    t.Click(IDC_FACTORY_DEFAULT);
    t.SetText(IDC_CYLINDERS, "6");
    t.SetText(IDC_HZ_PER_MPH, "2.5");
    t.Click(IDC_PROCEED);
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_CYLINDERS_REPORTED) == "6"; }, 3000));
    EXPECT_TRUE(t.Text(IDC_HZ_PER_MPH_REPORTED).startsWith("2.5"));
    EXPECT_EQ(Sent(t.log, "AT CN=|AT HZ="),
              (std::vector<std::string>{"AT CN=4\r\n", "AT HZ=01.7881\r\n", "AT CN=6\r\n",
                                        "AT HZ=02.5000\r\n"}));

    // The device falls silent: reset and search; it comes back: identified again.
    ::kill(sim.pid, SIGSTOP);
    ASSERT_TRUE(WaitFor([&] { return !t.Identified(); }, 3000));
    EXPECT_EQ(t.Text(IDC_ENGINE_RPM), "Not available");
    ::kill(sim.pid, SIGCONT);
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }));

    // Another port with another device: the choice reaches the link at the next Connect and
    // is remembered once the device there answers.
    SimProcess other(t.exe, "COM3",
                     {"--serial", "7", "--keep-settings", "--log", t.dir / "sim3.log"});
    t.SetText(IDC_PORT, "COM3");
    t.Click(IDC_DISCONNECT);
    EXPECT_EQ(t.Text(IDC_PORT), "COM3");
    t.Click(IDC_CONNECT);
    ASSERT_TRUE(WaitFor([&] { return t.Identified() && t.Text(IDC_SERIAL_NO) == "7"; }));
    ASSERT_TRUE(WaitFor([&] { return ReadFile(t.ini) == "COM=3;\r\n"; }, 3000));
    EXPECT_EQ(t.said, "");

    // A refused cylinder entry sends nothing; settings the device does not take are told once.
    const std::string refused = "Please enter a number between 1 and 12.\n";
    t.SetText(IDC_CYLINDERS, "13");
    t.Click(IDC_PROCEED);
    EXPECT_EQ(t.said, refused);
    t.SetText(IDC_CYLINDERS, "6");
    t.Click(IDC_PROCEED);
    ASSERT_TRUE(WaitFor([&] { return t.icons.size() == 2; }, 4500));
    WaitFor([] { return false; }, 2200);
    EXPECT_EQ(t.said, refused +
                          "The device has not taken the new settings: it reports cylinder "
                          "number \"4\" and Hz per MPH \"1.7881\".\n");
    EXPECT_EQ(Sent(t.dir / "sim3.log", "AT CN=").size(), 1u);
}

// How a connect ends, one row per behaviour: what the box shows, whether the device is
// identified, and the one message if any.
TEST(SimEndToEnd, Outcomes) {
    const struct {
        const char* name;
        std::vector<std::string> options;
        const char* productId;  // "ZK4-...": identified
        const char* message;    // "": none
    } rows[] = {
        {"variant", {"--code", "0x58", "--serial", "4294967295"}, "ZK4-OBD2-002", ""},
        {"firmware mismatch halts", {"--firmware", "0.5M2"}, "ZK4-J1939-003", "0.5N"},
        {"unknown product stops", {"--code", "0x30"}, "Not Found Yet!", ""},
        {"bad checksum", {"--bad-checksum", "1"}, "ZK4-J1939-003", ""},
        {"lower case", {"--lowercase", "--noise", "--firmware", "0.5n7"}, "ZK4-J1939-003", ""},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        LiveDialog t;
        SimProcess sim(t.exe, "COM1", row.options);
        t.dlg->OnInitDialog();
        t.Click(IDC_CONNECT);
        EXPECT_TRUE(WaitFor([&] {
            return t.Text(IDC_PRODUCT_ID) == row.productId &&
                   t.Identified() == QString(row.productId).startsWith("ZK4-") &&
                   t.icons.size() == (*row.message ? 1u : 0u);
        }));
        WaitFor([] { return false; }, 1200);  // nothing more comes by itself
        EXPECT_TRUE(*row.message ? t.ToldOnce(row.message) : t.icons.empty()) << t.said;
    }
}

// The port missing at first, then an adapter that hangs up, then the next one: each change
// told once, each device found without a click.
TEST(SimEndToEnd, AnAdapterThatComesLaterOrComesBackIsFoundWithoutAClick) {
    LiveDialog t;
    WriteFile(t.ini, "COM=10;\r\n");  // /dev/ttyUSB9 unless a link says otherwise
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.icons.size() == 1; }));
    EXPECT_TRUE(t.ToldOnce("keeps looking")) << t.said;
    {
        SimProcess sim(t.exe, "COM10", {"--hangup-after", "2"});
        ASSERT_TRUE(WaitFor([&] { return t.Identified(); }));
        ASSERT_TRUE(WaitFor([&] { return t.icons.size() == 2; }, 6000));
    }
    WaitFor([] { return false; }, 2500);  // searching quietly
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_TRUE(t.icons.size() == 2 && t.icons[1] == MessageIcon::Stop &&
                t.said.find("COM10", t.said.find('\n')) != std::string::npos)
        << t.said;
    SimProcess sim(t.exe, "COM10", {"--product", "OBD2-001"});  // the next truck
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_PRODUCT_ID) == "ZK4-OBD2-001"; }));
    EXPECT_EQ(t.icons.size(), 2u) << t.said;
}

// Faults from outside, each told once while the ticks go on: a port another program holds
// (with a flock on its own descriptor; lock files are left to the serial layer's tests), and a
// settings file that asks for a save at the first tick and cannot be written then.
class Faults : public ::testing::TestWithParam<std::string> {};

TEST_P(Faults, AreToldOnceAndTheTicksGoOn) {
    const std::string how = GetParam();
    if (how == "ReadOnlySettings" && ::geteuid() == 0) {  // root ignores file modes
        const std::string cmd = "setpriv --reuid=65534 --regid=65534 --clear-groups " +
                                std::filesystem::read_symlink("/proc/self/exe").string() +
                                " --gtest_filter=*/Faults.*/ReadOnlySettings >/dev/null";
        EXPECT_EQ(std::system(cmd.c_str()), 0) << "as uid 65534: " << cmd;
        return;
    }
    LiveDialog t;
    SimProcess sim(t.exe, "COM1", {});
    WriteFile(t.ini, "COM=1\r\n");  // malformed
    t.dlg->OnInitDialog();
    const bool port = how == "PortHeld";
    const int theirs =
        port ? ::open(sim.slavePath.c_str(), O_RDWR | O_NOCTTY) : ::open(t.ini.c_str(), O_RDONLY);
    if (how == "DeletedSettings") {
        std::filesystem::remove(t.ini);
    } else if (how == "ReadOnlySettings") {
        ::chmod(t.ini.c_str(), 0444);
    } else {
        ASSERT_EQ(::flock(theirs, LOCK_EX | LOCK_NB), 0);
    }
    t.Click(IDC_CONNECT);
    ASSERT_TRUE(WaitFor([&] { return t.Identified() != port && !t.icons.empty(); }));
    if (!port) {  // identified again: one more save that fails
        t.Click(IDC_DISCONNECT);
        t.Click(IDC_CONNECT);
    }
    WaitFor([] { return false; }, 2200);  // more ticks: no second message
    const char* told = port                       ? "in use"
                       : how == "DeletedSettings" ? "ZK4.ini"
                       : how == "LockedSettings"  ? "locked"
                                                  : "permission";
    EXPECT_TRUE(t.ToldOnce(told)) << t.said;
    EXPECT_EQ(t.serial.IsOpen(), !port);
    EXPECT_TRUE(t.dlg->IsTimerRunning());
    // Their session goes on; the settings file is left as it is, not re-created.
    EXPECT_TRUE(!port || ::write(theirs, "AT RPM=4321\r\n", 13) == 13);
    EXPECT_EQ(std::filesystem::exists(t.ini) ? ReadFile(t.ini) : "gone",
              how == "DeletedSettings" ? "gone" : "COM=1\r\n");
    ::close(theirs);
}

INSTANTIATE_TEST_SUITE_P(FromOutside, Faults,
                         ::testing::Values("PortHeld", "DeletedSettings", "ReadOnlySettings",
                                           "LockedSettings"),
                         [](const auto& info) { return info.param; });

}  // namespace
}  // namespace zk4::test
