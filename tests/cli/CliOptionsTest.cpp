// zk4ctl's arguments: what each command line asks for, or why it is refused before anything is
// opened or sent.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"

namespace zk4 {
namespace {

// The request in one line: the action, and for Run the command with every option it set.
std::string Describe(const CliRequest& request) {
    switch (request.action) {
        case CliRequest::Action::ShowHelp:
            return "help";
        case CliRequest::Action::ShowVersion:
            return "version";
        case CliRequest::Action::Refuse:
            return "refused: " + request.refusal.English();
        case CliRequest::Action::Run:
            break;
    }
    const CliOptions& o = request.options;
    std::ostringstream out;
    out << CommandName(o.command) << " port=" << o.port << " json=" << o.json
        << " timeout=" << o.timeoutSeconds;
    if (o.cylinders) {
        out << " cylinders=" << *o.cylinders;
    }
    if (o.hzPerMph) {
        out << " hz=" << *o.hzPerMph;
    }
    if (o.count) {
        out << " count=" << o.count;
    }
    for (const auto& [name, path] : {std::pair{"csv", o.csvPath}, {"trace", o.tracePath}}) {
        if (!path.empty()) {
            out << " " << name << "=" << path;
        }
    }
    return out.str();
}

struct Row {
    const char* name;
    QStringList args;  // after the program's name
    std::string request;
};

class CliArguments : public ::testing::TestWithParam<Row> {};

TEST_P(CliArguments, ReadsOrRefuses) {
    EXPECT_EQ(Describe(ReadCliArguments(QStringList{"zk4ctl"} + GetParam().args)),
              GetParam().request);
}

const Row kRows[] = {
    {"InfoOnItsDefaults", {"info"}, "info port= json=0 timeout=5"},
    {"ScanWaitsLessByDefault", {"scan", "--json"}, "scan port= json=1 timeout=3"},
    {"WatchWithEverything",
     {"watch", "--port=COM30", "--count", "3", "--csv", "r.csv", "--trace", "t", "--timeout",
      "0.1"},
     "watch port=COM30 json=0 timeout=0.1 count=3 csv=r.csv trace=t"},
    {"SetAtTheBoundsAsTheWindowReadsThem",
     {"set", "--cylinders", " 12", "--hz-per-mph", "99.9999 "},
     "set port= json=0 timeout=5 cylinders=12 hz=99.9999"},
    {"SetLowestHz", {"set", "--hz-per-mph", "0.25"}, "set port= json=0 timeout=5 hz=0.25"},
    {"OptionsBeforeTheCommand",
     {"--json", "factory-default"},
     "factory-default port= json=1 timeout=5"},
    {"HelpAlone", {"--help"}, "help"},
    {"HelpAfterACommand", {"info", "-h"}, "help"},
    {"Version", {"-v"}, "version"},
    {"PortOutOfTheTable",
     {"info", "--port", "COM31"},
     "refused: 'COM31' is not a port: --port takes COM1 to COM30."},
    {"BadPortBeforeHelp",
     {"info", "--port", "COM0", "--help"},
     "refused: 'COM0' is not a port: --port takes COM1 to COM30."},
    {"NoCylinders",
     {"set", "--cylinders", "0"},
     "refused: --cylinders takes a whole number from 1 to 12, not '0'."},
    {"ThirteenCylinders",
     {"set", "--cylinders", "13"},
     "refused: --cylinders takes a whole number from 1 to 12, not '13'."},
    {"CylindersNotANumber",
     {"set", "--cylinders", "6x"},
     "refused: --cylinders takes a whole number from 1 to 12, not '6x'."},
    {"HzJustAbove",
     {"set", "--hz-per-mph", "99.99991"},
     "refused: --hz-per-mph takes a number from 0.25 to 99.9999, not '99.99991'."},
    {"HzJustBelow",
     {"set", "--hz-per-mph", "0.2499"},
     "refused: --hz-per-mph takes a number from 0.25 to 99.9999, not '0.2499'."},
    {"SetWithNothingToSend",
     {"set", "--json"},
     "refused: set needs --cylinders, --hz-per-mph or both."},
    {"NoRows",
     {"watch", "--count", "0"},
     "refused: --count takes a whole number from 1 up, not '0'."},
    {"TimeoutTooShort",
     {"info", "--timeout", "0.05"},
     "refused: --timeout takes a number of seconds from 0.1 to 3600, not '0.05'."},
    {"EmptyCsvName", {"watch", "--csv="}, "refused: --csv needs a file name."},
    {"OptionOfAnotherCommand",
     {"info", "--cylinders", "6"},
     "refused: --cylinders does not go with info."},
    {"PortForThePortList", {"ports", "--port", "COM1"}, "refused: --port does not go with ports."},
    {"UnknownCommand",
     {"reset"},
     "refused: Unknown command 'reset'; the commands are ports, scan, info, watch, set, "
     "factory-default."},
    {"TwoCommands", {"info", "scan"}, "refused: Unexpected argument 'scan'."},
    {"NoCommand",
     {"--json"},
     "refused: No command given; the commands are ports, scan, info, watch, set, factory-default."},
    {"UnknownOption", {"info", "--bogus"}, "refused: Unknown option 'bogus'."},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliArguments, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zk4
