// The built zk4ctl against zk4-sim, with no display at all: each row runs zk4ctl in a folder of
// its own (its own ZK4.ini, ports/ and configuration folder) and checks its standard output,
// standard error and exit status. Every port but the simulator's is a link to nothing, so no
// row touches the machine's own serial ports. zk4ctl must never create the configuration folder
// nor create or change ZK4.ini.
#include <gtest/gtest.h>
#include <signal.h>

#include <QDeadlineTimer>
#include <QProcess>
#include <QRegularExpression>
#include <filesystem>
#include <iterator>
#include <memory>
#include <sstream>

#include "e2e/SimProcess.h"
#include "support/TempDir.h"

namespace zk4::test {
namespace {

namespace fs = std::filesystem;

// What happens while zk4ctl runs.
enum class Step {
    None,
    Replug,      // a second device once the loss of the first is noted; it falls silent, and
                 // SIGINT follows the note of that loss too
    Interrupt,   // SIGINT once the second line is out, or once the trace shows a line sent
    SecondCopy,  // a watch holds the port first; zk4ctl is the second program on it
};

struct Row {
    const char* name;
    const char* args;  // after "zk4ctl"; CSV and TRACE stand for files in the test's folder
    const char* sim;   // zk4-sim's options; "none": no simulator
    int status;
    std::string out;  // the whole standard output (a regular expression)
    const char* err;  // a regular expression found in standard error; nullptr: it stays empty
    Step step = Step::None;
    const char* port = "COM1";  // the simulator's
    const char* ini = nullptr;  // ZK4.ini's content, when there is one
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

std::vector<std::string> Words(const char* text) {
    std::istringstream in(text);
    return {std::istream_iterator<std::string>(in), std::istream_iterator<std::string>()};
}

bool Has(const std::string& text, const char* part) {
    return text.find(part) != std::string::npos;
}

bool Matches(const std::string& text, const std::string& pattern) {
    const QRegularExpression expression(QString::fromStdString(pattern));
    return expression.match(QString::fromStdString(text)).hasMatch();
}

// The default device's values as info prints them.
const std::string kDeviceLines =
    "product_id: ZK4-J1939-003\nserial_number: 305419896\nfirmware: 0.5N\nvoltage: 13\\.8\n"
    "engine_rpm: 650\nvehicle_mph: 0\n";
const std::string kCsvHeader =
    "time,port,device,product_id,serial_number,firmware,voltage,engine_rpm,vehicle_mph,"
    "cylinders,hz_per_mph\r\n";
const std::string kCsvRow = "[-0-9T:.+Z]+,COM1,/dev/pts/\\d+,ZK4-J1939-003,";
const std::string kJsonDevice =
    R"(\{"port":"COM1","device":"/dev/pts/\d+","product_id":"ZK4-J1939-003",)"
    R"("serial_number":305419896,"firmware":"0\.5N",)";

// zk4ctl started in the test's folder, without a display; what it printed so far.
class Zk4ctl {
  public:
    Zk4ctl(const TempDir& dir, const char* args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir / "config"));
        m_process.setProcessEnvironment(env);
        m_process.start(QString::fromStdString(dir / "zk4ctl"),
                        QString(args)
                            .split(' ', Qt::SkipEmptyParts)
                            .replaceInStrings("CSV", QString::fromStdString(dir / "rows.csv"))
                            .replaceInStrings("TRACE", QString::fromStdString(dir / "trace")));
        m_process.waitForStarted();
    }
    ~Zk4ctl() {  // SIGTERM first: a killed zk4ctl leaves its lock file behind
        m_process.terminate();
        if (!m_process.waitForFinished(5000)) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Reads what comes until `done` holds or the deadline passes.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
        for (const QDeadlineTimer deadline(timeoutMs); !done() && !deadline.hasExpired();) {
            m_process.waitForReadyRead(50);
            out += m_process.readAllStandardOutput().toStdString();
            err += m_process.readAllStandardError().toStdString();
        }
        return done();
    }
    bool Finished() {
        return WaitFor([this] { return m_process.state() == QProcess::NotRunning; }, 15000);
    }
    void Signal(int signal) const { ::kill(static_cast<pid_t>(m_process.processId()), signal); }
    int Status() const {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    std::string out, err;

  private:
    QProcess m_process;
};

class CliEndToEnd : public ::testing::TestWithParam<Row> {
  protected:
    void SetUp() override {
        fs::create_directory(dir.Path() / "ports");
        for (int n = 1; n <= 30; ++n) {
            fs::create_symlink("/nonexistent-zk4/COM" + std::to_string(n),
                               dir.Path() / "ports" / ("COM" + std::to_string(n)));
        }
        std::error_code linked;
        fs::create_hard_link(ZK4CTL_EXECUTABLE, dir.Path() / "zk4ctl", linked);
        if (linked) {
            fs::copy_file(ZK4CTL_EXECUTABLE, dir.Path() / "zk4ctl");
        }
    }

    TempDir dir;
    std::string exe = dir / "ZK4";  // zk4ctl finds its files as ZK4 in its folder would
};

TEST_P(CliEndToEnd, PrintsAndEndsWithItsStatus) {
    const Row& row = GetParam();
    if (row.ini) {
        WriteFile(dir / "ZK4.ini", row.ini);
    }
    std::unique_ptr<SimProcess> sim;
    if (std::string(row.sim) != "none") {
        sim = std::make_unique<SimProcess>(exe, row.port, Words(row.sim));
    }
    std::unique_ptr<Zk4ctl> holder;
    if (row.step == Step::SecondCopy) {
        holder = std::make_unique<Zk4ctl>(dir, "watch");
        ASSERT_TRUE(holder->WaitFor([&] { return Has(holder->out, "\r\n2"); }));
    }

    Zk4ctl tool(dir, row.args);
    if (row.step == Step::Replug) {
        ASSERT_TRUE(tool.WaitFor([&] { return Has(tool.err, "looking for it"); })) << tool.err;
        sim = std::make_unique<SimProcess>(exe, row.port, Words("--serial 7 --silent-after 4"));
        ASSERT_TRUE(
            tool.WaitFor([&] { return tool.err.find("again") != tool.err.rfind("again"); }, 20000))
            << tool.err;
        tool.Signal(SIGINT);
    } else if (row.step == Step::Interrupt) {
        ASSERT_TRUE(tool.WaitFor(
            [&] { return Has(tool.out, "\r\n2") || Has(ReadFile(dir / "trace"), " H>D "); }));
        tool.Signal(SIGINT);
    }
    ASSERT_TRUE(tool.Finished()) << tool.out << tool.err;

    EXPECT_EQ(tool.Status(), row.status);
    EXPECT_TRUE(Matches(tool.out, "\\A(?:" + row.out + ")\\z")) << tool.out;
    EXPECT_TRUE(row.err ? Matches(tool.err, row.err) : tool.err.empty()) << tool.err;
    if (Has(row.args, "CSV")) {
        EXPECT_EQ(ReadFile(dir / "rows.csv"), tool.out);  // the file gets what the pipe got
    }
    EXPECT_FALSE(fs::exists(dir / "config"));
    EXPECT_EQ(fs::exists(dir / "ZK4.ini") ? ReadFile(dir / "ZK4.ini") : "<none>",
              row.ini ? row.ini : "<none>");
    if (holder) {
        holder->Signal(SIGTERM);
        ASSERT_TRUE(holder->Finished());
        EXPECT_EQ(holder->Status(), 0);
    }
}

const Row kRows[] = {
    {"InfoAsText", "info", "", 0,
     "port: COM1\ndevice: /dev/pts/\\d+\n" + kDeviceLines + "cylinders: 4\nhz_per_mph: 1\\.7881\n",
     nullptr},
    {"InfoAsJsonOnThePortOfZk4Ini", "info --json", "--product OBD2-002 --serial 7", 0,
     R"(\{"port":"COM3","device":"/dev/pts/\d+","product_id":"ZK4-OBD2-002","serial_number":7,)"
     R"("firmware":"0\.5N","voltage":13\.8,"engine_rpm":650,"vehicle_mph":0,"cylinders":4,)"
     R"("hz_per_mph":1\.7881\}\n)",
     nullptr, Step::None, "COM3", "COM=3;"},  // its last line without a line break
    {"PortsAsText", "ports", "", 0,
     "COM1  /dev/pts/\\d+: pseudo-terminal\nCOM2  /nonexistent-zk4/COM2: not "
     "present\n(COM.*\n){28}",
     nullptr},
    {"PortsAsJson", "ports --json", "", 0,
     "\\[\n \\{\"port\":\"COM1\",\"device\":\"/dev/pts/\\d+\",\"present\":true,\"description\":"
     "\"pseudo-terminal\"\\},\n \\{\"port\":\"COM2\",\"device\":\"/nonexistent-zk4/COM2\","
     "\"present\":false,\"description\":null\\},\n( \\{.*\\},\n){27} "
     "\\{\"port\":\"COM30\".*\\}\n\\]\n",
     nullptr},
    {"ScanAsText", "scan", "--product COMBO-001", 0, "COM3  ZK4-COMBO-001  305419896   0\\.5N\n",
     nullptr, Step::None, "COM3"},
    {"ScanAsJson", "scan --json", "", 0, "\\[\n " + kJsonDevice + ".*\\}\n\\]\n", nullptr},
    // Only the port in use is worth a line of its own.
    {"ScanFindsNothingButAPortInUse", "scan", "", 4, "",
     "^zk4ctl: Cannot open COM1 \\([^\n]*in use by another program \\(process \\d+\\)\\.\n"
     "zk4ctl: No ZK4 answered on any port within 3 s\\.\n$",
     Step::SecondCopy},
    {"WatchAsCsvToAPipeAndAFile", "watch --count 2 --csv CSV", "--drive", 0,
     kCsvHeader + "(" + kCsvRow + ".*\r\n){2}", nullptr},
    {"WatchAsJsonLines", "watch --json --count 1", "", 0,
     R"(\{"time":"[^"]+","port":"COM1",.*"hz_per_mph":1\.7881\}\n)", nullptr},
    // The second loss comes with no reason of its own: the first one's is not told again.
    {"WatchSurvivesAnUnplugAndAReplug", "watch", "--hangup-after 1.5", 0,
     kCsvHeader + "(" + kCsvRow + "305419896,.*\r\n)+(" + kCsvRow + "7,.*\r\n)+",
     "^(zk4ctl: COM1: the device stopped answering; looking for it again\\.)[^\n]*\n\\1\n$",
     Step::Replug},
    {"WatchEndsCleanlyOnCtrlC", "watch", "", 0, kCsvHeader + "(" + kCsvRow + ".*\r\n)+", nullptr,
     Step::Interrupt},
    {"SetBothAsText", "set --cylinders 6 --hz-per-mph 2.55555", "", 0,
     "sent cylinders: 6\nsent hz_per_mph: 2\\.5555\ntaken: yes\nport: COM1\ndevice: "
     "/dev/pts/\\d+\n" +
         kDeviceLines + "cylinders: 6\nhz_per_mph: 2\\.5555\n",
     nullptr},
    {"SetHzOnlySendsOnlyHz", "set --hz-per-mph 3 --json", "--cylinders 8", 0,
     kJsonDevice + R"(.*"cylinders":8,"hz_per_mph":3,"sent":\{"hz_per_mph":3\},"taken":true\}\n)",
     nullptr},
    {"SetWhatTheVariantLacks", "set --hz-per-mph 3", "--product J1939-001", 2, "",
     "ZK4-J1939-001 has no Hz-per-MPH setting"},
    {"SetNotTaken", "set --cylinders 6 --json", "--keep-settings", 6,
     kJsonDevice + R"(.*"cylinders":4,.*"taken":false\}\n)",
     "The device has not taken the new cylinder number: it reports \"4\"\\."},
    {"FactoryDefaultOnTheGivenPort", "factory-default --port COM2", "--product J1708-002 --hz 3", 0,
     "sent hz_per_mph: 1\\.7881\ntaken: yes\nport: COM2\n(.*\n)*hz_per_mph: 1\\.7881\n", nullptr,
     Step::None, "COM2"},
    {"InfoOfOtherFirmware", "info", "--firmware 0.5M2", 5,
     "port: COM1\n(.*\n){3}firmware: 0\\.5M2\n(.*\n)*",
     "requires ZK4 \\(firmware\\) version 0\\.5N"},
    {"UnknownProduct", "info", "--code 0x30", 4, "", "is no ZK4 this tool knows"},
    {"MissingPort", "info", "none", 3, "",
     "Cannot open COM1 \\(/nonexistent-zk4/COM1\\): the device does not exist\\."},
    {"SilentDevice", "info --timeout 0.5", "--silent-after 0", 4, "",
     "No ZK4 answered on COM1 \\(/dev/pts/\\d+\\) within 0\\.5 s\\."},
    {"InterruptedWhileLooking", "info --timeout 60 --trace TRACE", "--silent-after 0", 130, "",
     nullptr, Step::Interrupt},
    {"RefusedBeforeAnythingIsOpened", "set --cylinders 13", "none", 2, "",
     "--cylinders takes a whole number from 1 to 12, not '13'\\.\nTry 'zk4ctl --help'\\."},
    {"Version", "-v", "none", 0, "zk4ctl 1\\.0\\.0\\.1\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliEndToEnd, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zk4::test
