// zk4ctl's command line: a command and its options, all checked before a port is opened or a
// byte is sent. Needs no application object; texts are translated when they are printed.
#pragma once

#include <QString>
#include <QStringList>
#include <optional>
#include <string>

#include "text/UserText.h"

namespace zk4 {

// How zk4ctl ends. Listed in --help and in the manual page.
enum ExitStatus : int {
    kExitDone = 0,
    kExitUsage = 2,          // a wrong command, option or value; nothing was sent
    kExitPortRefused = 3,    // the port cannot be opened, or went away
    kExitNoDevice = 4,       // no ZK4 answered within the time limit
    kExitFirmware = 5,       // a ZK4 whose firmware this tool does not support
    kExitNotTaken = 6,       // the device did not take the settings
    kExitInterrupted = 130,  // SIGINT or SIGTERM before the command was done (watch: 0)
};

enum class Command { Ports, Scan, Info, Watch, Set, FactoryDefault };

struct CliOptions {
    Command command = Command::Info;
    std::string port;  // "COM1" .. "COM30"; empty: the port ZK4.ini names, else COM1
    bool json = false;
    std::string csvPath;                // watch: every row also appended to this file
    unsigned count = 0;                 // watch: rows before it ends; 0 until it is stopped
    std::optional<unsigned> cylinders;  // set: 1 .. 12
    std::optional<double> hzPerMph;     // set: kHzPerMphMin .. kHzPerMphMax
    std::string tracePath;              // every byte to and from the port, with its time
    double timeoutSeconds = 0;          // how long a ZK4 has to answer
};

struct CliRequest {
    enum class Action { Run, ShowHelp, ShowVersion, Refuse };
    Action action = Action::Run;
    CliOptions options;
    UserText refusal;  // for Refuse: a sentence in the "zk4ctl" context
};

// The arguments as the program was given them, its own name first.
CliRequest ReadCliArguments(const QStringList& arguments);

// The help: the commands with their options, the options, where the port comes from when
// --port is not given (`settingsFile`), and the exit statuses.
QString CliHelpText(const std::string& settingsFile);

// The command's name as typed ("factory-default").
const char* CommandName(Command command);

}  // namespace zk4
