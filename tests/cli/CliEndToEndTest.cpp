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
#include <memory>

#include "e2e/SimProcess.h"
#include "support/TempDir.h"

namespace zk4::test {
namespace {

namespace fs = std::filesystem;

// What happens while zk4ctl runs.
enum class Step {
    None,
    Replug,      // once it notes the loss of the hung-up device, another device on the port
    Interrupt,   // SIGINT once the first row is out
    SecondCopy,  // a watch holds the port first; zk4ctl is the second program on it
};

struct Row {
    const char* name;
    std::vector<std::string> args;  // after "zk4ctl"; "CSV" stands for a file in the folder
    std::vector<std::string> sim;   // zk4-sim's options; {"none"}: no simulator
    int status;
    std::string out;  // the whole standard output (a regular expression)
    const char* err;  // found in standard error; nullptr: standard error stays empty
    Step step = Step::None;
    const char* port = "COM1";  // the simulator's
    const char* ini = nullptr;  // ZK4.ini's content, when there is one
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
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

class Zk4ctl {
  public:
    Zk4ctl(const TempDir& dir, const std::vector<std::string>& args) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.remove(QStringLiteral("DISPLAY"));
        env.remove(QStringLiteral("WAYLAND_DISPLAY"));
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QString());
        env.insert(QStringLiteral("XDG_CONFIG_HOME"), QString::fromStdString(dir / "config"));
        m_process.setProcessEnvironment(env);
        QStringList arguments;
        for (const std::string& arg : args) {
            arguments << QString::fromStdString(arg == "CSV" ? dir / "rows.csv" : arg);
        }
        m_process.start(QString::fromStdString(dir / "zk4ctl"), arguments);
        m_process.waitForStarted();
    }
    ~Zk4ctl() {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.kill();
            m_process.waitForFinished();
        }
    }

    // Reads what comes until `done` holds or the deadline passes.
    bool WaitFor(const std::function<bool()>& done, int timeoutMs = 10000) {
        for (const QDeadlineTimer deadline(timeoutMs); !done() && !deadline.hasExpired();) {
            m_process.waitForReadyRead(50);
            Read();
        }
        return done();
    }
    bool Finished(int timeoutMs = 15000) {
        return WaitFor([this] { return m_process.state() == QProcess::NotRunning; }, timeoutMs);
    }
    void Signal(int signal) const { ::kill(static_cast<pid_t>(m_process.processId()), signal); }
    int Status() const {
        return m_process.exitStatus() == QProcess::NormalExit ? m_process.exitCode() : -1;
    }

    std::string out, err;

  private:
    void Read() {
        out += m_process.readAllStandardOutput().toStdString();
        err += m_process.readAllStandardError().toStdString();
    }
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

bool Matches(const std::string& text, const std::string& pattern) {
    return QRegularExpression(QRegularExpression::anchoredPattern(QString::fromStdString(pattern)))
        .match(QString::fromStdString(text))
        .hasMatch();
}

TEST_P(CliEndToEnd, PrintsAndEndsWithItsStatus) {
    const Row& row = GetParam();
    if (row.ini) {
        WriteFile(dir / "ZK4.ini", row.ini);
    }
    std::unique_ptr<SimProcess> sim;
    if (row.sim != std::vector<std::string>{"none"}) {
        sim = std::make_unique<SimProcess>(exe, row.port, row.sim);
    }
    std::unique_ptr<Zk4ctl> holder;
    if (row.step == Step::SecondCopy) {
        holder = std::make_unique<Zk4ctl>(dir, std::vector<std::string>{"watch"});
        ASSERT_TRUE(
            holder->WaitFor([&] { return holder->out.find("\r\n2") != std::string::npos; }));
    }

    Zk4ctl tool(dir, row.args);
    if (row.step == Step::Replug) {
        ASSERT_TRUE(tool.WaitFor([&] {
            return tool.err.find("looking for it") != std::string::npos;
        })) << tool.out
            << tool.err;
        sim =
            std::make_unique<SimProcess>(exe, row.port, std::vector<std::string>{"--serial", "7"});
    } else if (row.step == Step::Interrupt) {
        ASSERT_TRUE(tool.WaitFor([&] { return tool.out.find("\r\n2") != std::string::npos; }));
        tool.Signal(SIGINT);
    }
    ASSERT_TRUE(tool.Finished()) << tool.out << tool.err;

    EXPECT_EQ(tool.Status(), row.status);
    EXPECT_TRUE(Matches(tool.out, row.out)) << tool.out;
    if (row.err) {
        EXPECT_NE(tool.err.find(row.err), std::string::npos) << tool.err;
    } else {
        EXPECT_EQ(tool.err, "");
    }
    if (std::find(row.args.begin(), row.args.end(), "CSV") != row.args.end()) {
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
    {"InfoAsText",
     {"info"},
     {},
     0,
     ("port: COM1\ndevice: /dev/pts/\\d+\n" + kDeviceLines +
      "cylinders: 4\nhz_per_mph: 1\\.7881\n"),
     nullptr},
    {"InfoAsJsonOnThePortOfZk4Ini",
     {"info", "--json"},
     {"--product", "OBD2-002", "--serial", "7"},
     0,
     R"(\{"port":"COM3","device":"/dev/pts/\d+","product_id":"ZK4-OBD2-002","serial_number":7,)"
     R"("firmware":"0\.5N","voltage":13\.8,"engine_rpm":650,"vehicle_mph":0,"cylinders":4,)"
     R"("hz_per_mph":1\.7881\}\n)",
     nullptr,
     Step::None,
     "COM3",
     "COM=3;\r\n"},
    {"PortsAsText",
     {"ports"},
     {},
     0,
     "COM1  /dev/pts/\\d+: pseudo-terminal\nCOM2  /nonexistent-zk4/COM2: not "
     "present\n(COM.*\n){28}",
     nullptr},
    {"PortsAsJson",
     {"ports", "--json"},
     {},
     0,
     "\\[\n \\{\"port\":\"COM1\",\"device\":\"/dev/pts/\\d+\",\"present\":true,\"description\":"
     "\"pseudo-terminal\"\\},\n \\{\"port\":\"COM2\",\"device\":\"/nonexistent-zk4/COM2\","
     "\"present\":false,\"description\":null\\},\n( \\{.*\\},\n){27} "
     "\\{\"port\":\"COM30\".*\\}\n\\]\n",
     nullptr},
    {"ScanAsText",
     {"scan"},
     {"--product", "COMBO-001"},
     0,
     "COM3  ZK4-COMBO-001  305419896   0\\.5N\n",
     nullptr,
     Step::None,
     "COM3"},
    {"ScanAsJson", {"scan", "--json"}, {}, 0, ("\\[\n " + kJsonDevice + ".*\\}\n\\]\n"), nullptr},
    {"ScanFindsNothing", {"scan"}, {"none"}, 4, "", "No ZK4 answered on any port"},
    {"ScanNamesAPortInUse",
     {"scan"},
     {},
     4,
     "",
     "the port is in use by another program",
     Step::SecondCopy},
    {"WatchAsCsvToAPipeAndAFile",
     {"watch", "--count", "2", "--csv", "CSV"},
     {"--drive"},
     0,
     (kCsvHeader + "(" + kCsvRow + ".*\r\n){2}"),
     nullptr},
    {"WatchAsJsonLines",
     {"watch", "--json", "--count", "1"},
     {},
     0,
     R"(\{"time":"[^"]+","port":"COM1",.*"hz_per_mph":1\.7881\}\n)",
     nullptr},
    {"WatchSurvivesAnUnplugAndAReplug",
     {"watch", "--count", "3"},
     {"--hangup-after", "1.5"},
     0,
     (kCsvHeader + kCsvRow + "305419896,.*\r\n(" + kCsvRow + "(305419896|7),.*\r\n){2}"),
     "COM1: the device stopped answering; looking for it again.",
     Step::Replug},
    {"WatchEndsCleanlyOnCtrlC",
     {"watch"},
     {},
     0,
     (kCsvHeader + "(" + kCsvRow + ".*\r\n)+"),
     nullptr,
     Step::Interrupt},
    {"SetBothAsText",
     {"set", "--cylinders", "6", "--hz-per-mph", "2.55555"},
     {},
     0,
     ("sent cylinders: 6\nsent hz_per_mph: 2\\.5555\ntaken: yes\nport: COM1\ndevice: "
      "/dev/pts/\\d+\n" +
      kDeviceLines + "cylinders: 6\nhz_per_mph: 2\\.5555\n"),
     nullptr},
    {"SetHzOnlySendsOnlyHz",
     {"set", "--hz-per-mph", "3", "--json"},
     {"--cylinders", "8"},
     0,
     (kJsonDevice + R"(.*"cylinders":8,"hz_per_mph":3,"sent":\{"hz_per_mph":3\},)"
                    R"("taken":true\}\n)"),
     nullptr},
    {"SetWhatTheVariantLacks",
     {"set", "--hz-per-mph", "3"},
     {"--product", "J1939-001"},
     2,
     "",
     "ZK4-J1939-001 has no Hz-per-MPH setting"},
    {"SetNotTaken",
     {"set", "--cylinders", "6", "--json"},
     {"--keep-settings"},
     6,
     (kJsonDevice + R"(.*"cylinders":4,.*"taken":false\}\n)"),
     "The device has not taken the new cylinder number: it reports \"4\"."},
    {"FactoryDefault",
     {"factory-default"},
     {"--product", "J1708-002", "--hz", "3"},
     0,
     "sent hz_per_mph: 1\\.7881\ntaken: yes\nport: COM1\n(.*\n)*hz_per_mph: 1\\.7881\n",
     nullptr},
    {"InfoOfOtherFirmware",
     {"info"},
     {"--firmware", "0.5M2"},
     5,
     "port: COM1\n(.*\n){3}firmware: 0\\.5M2\n(.*\n)*",
     "requires ZK4 (firmware) version 0.5N"},
    {"SetRefusesOtherFirmware",
     {"set", "--cylinders", "6"},
     {"--firmware", "0.5M2"},
     5,
     "",
     "requires ZK4 (firmware) version 0.5N"},
    {"UnknownProduct", {"info"}, {"--code", "0x30"}, 4, "", "is no ZK4 this tool knows"},
    {"MissingPort",
     {"info"},
     {"none"},
     3,
     "",
     "Cannot open COM1 (/nonexistent-zk4/COM1): the device does not exist."},
    {"SilentDevice",
     {"info", "--timeout", "0.5"},
     {"--silent-after", "0"},
     4,
     "",
     "No ZK4 answered on COM1 (/dev/pts/"},
    {"SecondCopyOnThePort",
     {"info"},
     {},
     3,
     "",
     "the port is in use by another program",
     Step::SecondCopy},
    {"OutOfRangeBeforeAnythingIsOpened",
     {"set", "--cylinders", "13"},
     {"none"},
     2,
     "",
     "--cylinders takes a whole number from 1 to 12, not '13'."},
    {"Version", {"--version"}, {"none"}, 0, "zk4ctl 1\\.0\\.0\\.1\n", nullptr},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliEndToEnd, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zk4::test
