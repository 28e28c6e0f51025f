// zk4ctl's arguments: what each command line asks for, or why it is refused before anything is
// opened or sent.
#include <gtest/gtest.h>

#include <sstream>

#include "cli/CliOptions.h"

namespace zk4 {
namespace {

// The request in one line: help, version, the refusal, or the command with every option it set.
std::string Describe(const CliRequest& request) {
    using enum CliRequest::Action;
    if (request.action != Run) {
        return request.action == ShowHelp      ? "help"
               : request.action == ShowVersion ? "version"
                                               : request.refusal.English();
    }
    const CliOptions& o = request.options;
    std::ostringstream out;
    out << CommandName(o.command) << " port=" << o.port << " json=" << o.json
        << " timeout=" << o.timeoutSeconds
        << (o.cylinders ? " cylinders=" + std::to_string(*o.cylinders) : "");
    if (o.hzPerMph) {
        out << " hz=" << *o.hzPerMph;
    }
    out << (o.count ? " count=" + std::to_string(o.count) : "")
        << (o.csvPath.empty() ? "" : " csv=" + o.csvPath)
        << (o.tracePath.empty() ? "" : " trace=" + o.tracePath);
    return out.str();
}

struct Row {
    const char* name;
    const char* args;  // after the program's name, split at blanks
    std::string request;
};

class CliArguments : public ::testing::TestWithParam<Row> {};

TEST_P(CliArguments, ReadsOrRefuses) {
    const QStringList args = QString(GetParam().args).split(' ', Qt::SkipEmptyParts);
    EXPECT_EQ(Describe(ReadCliArguments(QStringList{"zk4ctl"} + args)), GetParam().request);
}

const Row kRows[] = {
    {"InfoOnItsDefaults", "info", "info port= json=0 timeout=5"},
    {"ScanWaitsLessByDefault", "scan --json", "scan port= json=1 timeout=3"},
    {"WatchWithEverything", "watch --port=COM30 --count 3 --csv r.csv --trace t --timeout 0.1",
     "watch port=COM30 json=0 timeout=0.1 count=3 csv=r.csv trace=t"},
    {"SetAtTheBoundsAsTheWindowReadsThem", "set --cylinders \t12 --hz-per-mph 99.9999\t",
     "set port= json=0 timeout=5 cylinders=12 hz=99.9999"},
    {"OptionsBeforeTheCommand", "--json factory-default", "factory-default port= json=1 timeout=5"},
    {"HelpAlone", "--help", "help"},
    {"HelpAfterACommand", "info -h", "help"},
    {"BadPortBeforeHelp", "info --port COM0 --help",
     "'COM0' is not a port: --port takes COM1 to COM30."},
    {"NoCylinders", "set --cylinders 0", "--cylinders takes a whole number from 1 to 12, not '0'."},
    {"ThirteenCylinders", "set --cylinders 13",
     "--cylinders takes a whole number from 1 to 12, not '13'."},
    {"HzOutOfRange", "set --hz-per-mph 0.2499",
     "--hz-per-mph takes a number from 0.25 to 99.9999, not '0.2499'."},
    {"SetWithNothingToSend", "set --json", "set needs --cylinders, --hz-per-mph or both."},
    {"NoRows", "watch --count 0", "--count takes a whole number from 1 up, not '0'."},
    {"TimeoutTooShort", "info --timeout 0.05",
     "--timeout takes a number of seconds from 0.1 to 3600, not '0.05'."},
    {"EmptyCsvName", "watch --csv=", "--csv needs a file name."},
    {"OptionOfAnotherCommand", "info --cylinders 6", "--cylinders does not go with info."},
    {"PortForThePortList", "ports --port COM1", "--port does not go with ports."},
    {"UnknownCommand", "reset",
     "Unknown command 'reset'; the commands are ports, scan, info, watch, set, factory-default."},
    {"TwoCommands", "info scan", "Unexpected argument 'scan'."},
    {"NoCommand", "--json",
     "No command given; the commands are ports, scan, info, watch, set, factory-default."},
    {"UnknownOption", "info --bogus", "Unknown option 'bogus'."},
};

INSTANTIATE_TEST_SUITE_P(Cli, CliArguments, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

}  // namespace
}  // namespace zk4
