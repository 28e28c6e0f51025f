#include "cli/CliOptions.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <array>

#include "cli/CliText.h"
#include "protocol/HostCommands.h"
#include "serial/PortNames.h"
#include "ui/DataExchangeRules.h"

namespace zk4 {
namespace {

// Which commands an option goes with, one bit per command.
constexpr unsigned Bit(Command command) {
    return 1u << static_cast<unsigned>(command);
}
constexpr unsigned kLinkCommands =
    Bit(Command::Info) | Bit(Command::Watch) | Bit(Command::Set) | Bit(Command::FactoryDefault);
constexpr unsigned kAllCommands = kLinkCommands | Bit(Command::Ports) | Bit(Command::Scan);

struct CommandRow {
    const char* name;
    Command command;
    const char* description;
};

constexpr std::array<CommandRow, 6> kCommands = {{
    {"ports", Command::Ports,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "List COM1 to COM30: the device each stands for, whether it is present and "
                       "what the system says it is.")},
    {"scan", Command::Scan,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Look for a ZK4 on every present port at once and list each one found: "
                       "port, product ID, serial number, firmware.")},
    {"info", Command::Info,
     QT_TRANSLATE_NOOP("zk4ctl", "Identify the device and print one poll of its values.")},
    {"watch", Command::Watch,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Print the device's values once a second, until Ctrl-C or --count rows: a "
                       "table on a terminal, CSV to a pipe. An unplugged device is looked for "
                       "again.")},
    {"set", Command::Set,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Send the cylinder number, Hz per MPH or both (what the device's variant "
                       "takes) and check over two polls that the device took them.")},
    {"factory-default", Command::FactoryDefault,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Send the factory settings (cylinder number 4, Hz per MPH 1.7881; what the "
                       "variant takes) and check them in the same way.")},
}};

struct OptionRow {
    std::array<const char*, 2> names;  // the short name may be empty
    const char* valueName;             // nullptr for a flag
    unsigned commands;
    const char* description;
};

constexpr std::array<OptionRow, 10> kOptions = {{
    {{"h", "help"}, nullptr, kAllCommands, QT_TRANSLATE_NOOP("zk4ctl", "Show this help and exit.")},
    {{"v", "version"},
     nullptr,
     kAllCommands,
     QT_TRANSLATE_NOOP("zk4ctl", "Show the version and exit.")},
    {{"", "port"},
     QT_TRANSLATE_NOOP("zk4ctl", "COMn"),
     kLinkCommands,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "The port, COM1 to COM30. Without it, the port the ZK4 window remembers, "
                       "else COM1.")},
    {{"", "json"},
     nullptr,
     kAllCommands,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "JSON instead of text: an array of objects for ports and scan, one object "
                       "for the others, one object a line for watch.")},
    {{"", "csv"},
     QT_TRANSLATE_NOOP("zk4ctl", "file"),
     Bit(Command::Watch),
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Also append every row to <file> as CSV, each on the disk before the next "
                       "poll (a header first in a new or empty file).")},
    {{"", "count"},
     QT_TRANSLATE_NOOP("zk4ctl", "n"),
     Bit(Command::Watch),
     QT_TRANSLATE_NOOP("zk4ctl", "Stop after <n> rows.")},
    {{"", "cylinders"},
     QT_TRANSLATE_NOOP("zk4ctl", "n"),
     Bit(Command::Set),
     QT_TRANSLATE_NOOP("zk4ctl", "The cylinder number to send, 1 to 12.")},
    {{"", "hz-per-mph"},
     QT_TRANSLATE_NOOP("zk4ctl", "x"),
     Bit(Command::Set),
     QT_TRANSLATE_NOOP("zk4ctl", "The Hz per MPH to send, 0.25 to 99.9999.")},
    {{"", "timeout"},
     QT_TRANSLATE_NOOP("zk4ctl", "seconds"),
     kAllCommands & ~Bit(Command::Ports),
     QT_TRANSLATE_NOOP(
         "zk4ctl", "How long a ZK4 has to answer, 0.1 to 3600 seconds; default 5, for scan 3.")},
    {{"", "trace"},
     QT_TRANSLATE_NOOP("zk4ctl", "file"),
     kLinkCommands,
     QT_TRANSLATE_NOOP("zk4ctl", "Write every byte sent and received, with its time, to <file>.")},
}};

constexpr double kDefaultTimeout = 5;
constexpr double kScanTimeout = 3;  // three connect bursts on every port
constexpr double kLongestTimeout = 3600;
constexpr unsigned kMostCylinders = 12;

struct ExitRow {
    int status;
    const char* meaning;
};

constexpr std::array<ExitRow, 7> kExits = {{
    {kExitDone, QT_TRANSLATE_NOOP("zk4ctl", "Done.")},
    {kExitUsage,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "A wrong command, option or value, a file that cannot be written, or "
                       "settings the device's variant does not take; nothing was sent.")},
    {kExitPortRefused,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "The port cannot be opened (the reason is on standard error), or it went "
                       "away.")},
    {kExitNoDevice, QT_TRANSLATE_NOOP("zk4ctl", "No ZK4 answered within the time limit.")},
    {kExitFirmware,
     QT_TRANSLATE_NOOP("zk4ctl", "The ZK4 has firmware this tool does not support.")},
    {kExitNotTaken, QT_TRANSLATE_NOOP("zk4ctl", "The device did not take the settings.")},
    {kExitInterrupted,
     QT_TRANSLATE_NOOP("zk4ctl",
                       "Interrupted (SIGINT, SIGTERM or SIGHUP) before it was done; watch ends "
                       "with 0.")},
}};

QString Dashed(const char* name) {
    return (name[1] == '\0' ? QStringLiteral("-") : QStringLiteral("--")) + QLatin1String(name);
}

CliRequest Refuse(const char* source, std::vector<std::string> args = {}) {
    CliRequest request;
    request.action = CliRequest::Action::Refuse;
    request.refusal = {source, std::move(args)};
    return request;
}

// The option's value checked; a refusal when it is not one the option takes.
std::optional<CliRequest> TakeValue(const OptionRow& row, const QString& text, CliOptions& out) {
    const std::string value = text.toStdString();
    const std::string name = Dashed(row.names[1]).toStdString();
    const std::string_view option(row.names[1]);
    if (option == "port") {
        if (!PortNumberFromName(value)) {
            return Refuse(
                QT_TRANSLATE_NOOP("zk4ctl", "'%1' is not a port: --port takes COM1 to COM30."),
                {value});
        }
        out.port = value;
    } else if (option == "csv" || option == "trace") {
        if (value.empty()) {
            return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "%1 needs a file name."), {name});
        }
        (option == "csv" ? out.csvPath : out.tracePath) = value;
    } else if (option == "count") {
        const auto count = ParseDialogUnsigned(value);
        if (!count || *count == 0) {
            return Refuse(
                QT_TRANSLATE_NOOP("zk4ctl", "--count takes a whole number from 1 up, not '%1'."),
                {value});
        }
        out.count = *count;
    } else if (option == "cylinders") {
        const auto cylinders = ParseDialogUnsigned(value);
        if (!cylinders || *cylinders < 1 || *cylinders > kMostCylinders) {
            return Refuse(QT_TRANSLATE_NOOP(
                              "zk4ctl", "--cylinders takes a whole number from 1 to 12, not '%1'."),
                          {value});
        }
        out.cylinders = *cylinders;
    } else if (option == "hz-per-mph") {
        // Read as the window reads its entry, so the same text means the same number.
        const auto hz = ParseDialogNumber(value);
        if (!hz || !HzPerMphInRange(*hz)) {
            return Refuse(
                QT_TRANSLATE_NOOP("zk4ctl", "--hz-per-mph takes a number from %2 to %3, not '%1'."),
                {value, FormatDialogNumber(kHzPerMphMin), FormatDialogNumber(kHzPerMphMax)});
        }
        out.hzPerMph = *hz;
    } else if (option == "timeout") {
        const auto seconds = ParseDialogNumber(value);
        if (!seconds || *seconds < 0.1 || *seconds > kLongestTimeout) {
            return Refuse(QT_TRANSLATE_NOOP("zk4ctl",
                                            "--timeout takes a number of seconds from 0.1 to 3600, "
                                            "not '%1'."),
                          {value});
        }
        out.timeoutSeconds = *seconds;
    }
    return std::nullopt;
}

std::string CommandList() {
    std::string list;
    for (const CommandRow& row : kCommands) {
        list += (list.empty() ? "" : ", ") + std::string(row.name);
    }
    return list;
}

QString ValuePart(const OptionRow& row) {
    return row.valueName ? QStringLiteral(" <%1>").arg(TrCli(row.valueName)) : QString();
}

// "zk4ctl info [--port <COMn>] [--json] ...": the options the command takes, help aside.
QString Synopsis(const CommandRow& command) {
    QString line = QStringLiteral("zk4ctl ") + QLatin1String(command.name);
    for (const OptionRow& option : kOptions) {
        const std::string_view name(option.names[1]);
        if ((option.commands & Bit(command.command)) && name != "help" && name != "version") {
            line += QStringLiteral(" [%1%2]").arg(Dashed(option.names[1]), ValuePart(option));
        }
    }
    return line;
}

}  // namespace

const char* CommandName(Command command) {
    for (const CommandRow& row : kCommands) {
        if (row.command == command) {
            return row.name;
        }
    }
    return "";
}

CliRequest ReadCliArguments(const QStringList& arguments) {
    QCommandLineParser parser;
    for (const OptionRow& row : kOptions) {
        parser.addOption(row.valueName ? QCommandLineOption(OptionNames(row.names), {},
                                                            QLatin1String(row.valueName))
                                       : QCommandLineOption(OptionNames(row.names)));
    }
    if (!parser.parse(arguments)) {
        return Refuse("%1", {parser.errorText().toStdString()});  // Qt's own sentence
    }
    const QStringList words = parser.positionalArguments();
    const CommandRow* command = nullptr;
    if (!words.isEmpty()) {
        for (const CommandRow& row : kCommands) {
            if (words.front() == QLatin1String(row.name)) {
                command = &row;
            }
        }
        if (command == nullptr) {
            return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "Unknown command '%1'; the commands are %2."),
                          {words.front().toStdString(), CommandList()});
        }
    }
    if (words.size() > 1) {
        return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "Unexpected argument '%1'."),
                      {words[1].toStdString()});
    }

    CliRequest request;
    CliOptions& options = request.options;
    for (const OptionRow& row : kOptions) {
        if (!parser.isSet(QLatin1String(row.names[1]))) {
            continue;
        }
        if (command && !(row.commands & Bit(command->command))) {
            return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "%1 does not go with %2."),
                          {Dashed(row.names[1]).toStdString(), command->name});
        }
        if (row.valueName) {
            if (auto refused = TakeValue(row, parser.value(QLatin1String(row.names[1])), options)) {
                return *refused;
            }
        }
    }
    options.json = parser.isSet(QStringLiteral("json"));
    if (parser.isSet(QStringLiteral("help"))) {
        request.action = CliRequest::Action::ShowHelp;
        return request;
    }
    if (parser.isSet(QStringLiteral("version"))) {
        request.action = CliRequest::Action::ShowVersion;
        return request;
    }
    if (command == nullptr) {
        return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "No command given; the commands are %1."),
                      {CommandList()});
    }
    options.command = command->command;
    if (options.command == Command::Set && !options.cylinders && !options.hzPerMph) {
        return Refuse(QT_TRANSLATE_NOOP("zk4ctl", "set needs --cylinders, --hz-per-mph or both."));
    }
    if (options.timeoutSeconds == 0) {
        options.timeoutSeconds = options.command == Command::Scan ? kScanTimeout : kDefaultTimeout;
    }
    return request;
}

QString CliHelpText(const std::string& settingsFile) {
    QString text =
        TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Usage: zk4ctl <command> [options]")) + QLatin1Char('\n');
    text += WrapWords(TrCli(QT_TRANSLATE_NOOP(
                          "zk4ctl",
                          "Talks to a ZK4 vehicle-bus interface on a serial port as the ZK4 window "
                          "does, for scripts, workshop benches and sessions without a display.")),
                      {}, 0);

    text += QLatin1Char('\n') + TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Commands:")) + QLatin1Char('\n');
    for (const CommandRow& row : kCommands) {
        text += WrapWords(Synopsis(row), QStringLiteral("  "), 6);
        text += WrapWords(TrCli(row.description), QStringLiteral("      "), 6);
    }

    text += QLatin1Char('\n') + TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Options:")) + QLatin1Char('\n');
    for (const OptionRow& row : kOptions) {
        text += OptionHelp(OptionNames(row.names), row.valueName ? TrCli(row.valueName) : QString(),
                           TrCli(row.description));
    }

    text += QLatin1Char('\n') + TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Port:")) + QLatin1Char('\n');
    text += WrapWords(
        TrCli(QT_TRANSLATE_NOOP(
            "zk4ctl", "Without --port, the port that the ZK4 window remembers for this user in")),
        QStringLiteral("  "), 2);
    text +=
        QStringLiteral("    ") + QString::fromLocal8Bit(settingsFile.c_str()) + QLatin1Char('\n');
    text += WrapWords(TrCli(QT_TRANSLATE_NOOP(
                          "zk4ctl",
                          "else COM1; zk4ctl only reads that file. A port is opened as the window "
                          "opens it, through its ports/COMn links (see ZK4 --help).")),
                      QStringLiteral("  "), 2);

    text +=
        QLatin1Char('\n') + TrCli(QT_TRANSLATE_NOOP("zk4ctl", "Exit status:")) + QLatin1Char('\n');
    for (const ExitRow& row : kExits) {
        text += WrapWords(TrCli(row.meaning),
                          QStringLiteral("  %1").arg(row.status).leftJustified(6), 7);
    }
    return text;
}

}  // namespace zk4
