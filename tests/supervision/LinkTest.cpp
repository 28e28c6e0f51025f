// The link as a table of (state, event, device answer) -> (bytes on the wire, new state,
// message, what the window shows), with a fake port and clock.
#include <gtest/gtest.h>

#include <sstream>

#include "support/LinkHarness.h"

namespace zk4::test {
namespace {

using enum LinkState;
using enum MessageIcon;
using Step = std::function<void(LinkHarness&)>;

const std::string kGone = "Cannot open COM1 (/dev/ttyUSB0): the device does not exist.";
const std::string kFirmwareRefused =
    "This release requires ZK4 (firmware) version 0.5N; please update your device accordingly.";
const std::string kNotTaken = "The device has not taken the new ";

std::string Text(const std::optional<std::string>& value) {
    return value.value_or("-");
}

// What the window shows, one "NAME=value;" after the other ("-" for a value not reported).
std::string Shown(const LinkHarness& h, const DeviceValues& v) {
    const SettingControls& c = h.view.settings;
    return "ID=" + Text(v.m_strProductId) + ";SN=" + std::to_string(v.m_dwSerialNo) +
           ";SET=" + std::to_string(c.cylinders) + std::to_string(c.hzPerMph) +
           std::to_string(c.changeButtons) + ";FW=" + Text(v.m_strFirmware) +
           ";DV=" + Text(v.m_strVoltage) + ";RPM=" + Text(v.m_strEngineRpm) +
           ";MPH=" + Text(v.m_strVehicleMph) + ";CN=" + Text(v.m_strCylindersReported) +
           ";HZ=" + Text(v.m_strHzPerMphReported) +
           ";VALID=" + std::to_string(h.link.DeviceValid()) +
           ";SAVED=" + std::to_string(h.view.saved.size()) +
           ";POLLS=" + std::to_string(h.view.polls.size()) +
           ";REDRAWS=" + std::to_string(h.view.runningShows) + ";";
}

const auto Seq = [](auto... steps) -> Step { return [=](LinkHarness& h) { (steps(h), ...); }; };
const auto Dev = [](std::string bytes) -> Step { return [=](LinkHarness& h) { h.Device(bytes); }; };
const Step Nothing = [](LinkHarness&) {};
const auto TickWith = [](std::string port) -> Step {
    return [=](LinkHarness& h) { h.link.Tick(port); };
};
const Step Tick = TickWith("COM1");
const auto ConnectTo = [](std::string port) -> Step {
    return [=](LinkHarness& h) { h.link.Connect(port); };
};
const Step Connect = ConnectTo("COM1");
const Step Disconnect = [](LinkHarness& h) { h.link.Disconnect(); };
const Step Exit = [](LinkHarness& h) { h.link.CloseForExit(); };
const Step Flush = [](LinkHarness& h) { h.Wire(); };
const Step ClearMessages = [](LinkHarness& h) { h.view.messages.clear(); };
const auto Id = [](std::string line, std::string firmware = kFirmwareOk) {
    return Seq(Connect, Dev(firmware), Dev(line));
};
const auto As = [](std::uint8_t code) {
    return Id(zk4sim::BuildIdentificationLine(code, 0xFFFFFFFF));
};
const auto Proceed = [](std::string cylinders, double hz) -> Step {
    return [=](LinkHarness& h) { h.link.ProceedToChange(cylinders, hz); };
};
// Setting commands sent, the Hz command `gap` ms after the cylinder command's last byte or
// after the click: the pause after a command (readings t, t+1, t+2), then 15 ms from the next.
const auto ProceedPaced = [](std::uint32_t gap) -> Step {
    return [=](LinkHarness& h) {
        const std::uint32_t before = h.clock.now;
        h.link.ProceedToChange("6", 2.5);
        const auto& w = h.port.written;  // at() throws, failing the row, when no Hz command went
        const std::size_t hz = h.port.WrittenText().find("AT HZ");
        EXPECT_EQ(w.at(hz).at - (hz ? w[hz - 1].at : before), gap);
    };
};
// "6" and 2.5 sent, then the device's answers to the polls in turn, each after a tick.
const auto Answers = [](std::vector<std::string> answers) -> Step {
    return [=](LinkHarness& h) {
        h.link.ProceedToChange("6", 2.5);
        for (const std::string& answer : answers) {
            Seq(Tick, Dev(answer))(h);
        }
        Tick(h);
    };
};
// Runs `step` from inside the next message, as its box's nested loop would while it is open.
const auto InsideTheMessage = [](Step step) -> Step {
    return [=](LinkHarness& h) {
        h.view.onMessage = [&h, step, done = false]() mutable {
            if (!std::exchange(done, true)) {
                step(h);
            }
        };
    };
};
const auto Expect = [](std::function<bool(const LinkHarness&)> holds, std::string what) -> Step {
    return [=](LinkHarness& h) { EXPECT_TRUE(holds(h)) << what; };
};
const Step NoMessageYet = Expect([](auto& h) { return h.view.messages.empty(); }, "no message yet");
const Step NothingOpened =
    Expect([](auto& h) { return std::ranges::count(h.port.calls, "open") == 0; }, "nothing opened");
const Step Identified = Id(kIdJ1939_001);
const Step OldFirmware = Id(kIdJ1939_001, "AT FW=0.5\r\n");
const Step Refuse = [](LinkHarness& h) { h.port.refuseOpen = kGone; };
const Step Accept = [](LinkHarness& h) { h.port.refuseOpen.reset(); };
const Step Missing = Seq(Refuse, Tick);
const Step Pulled = [](LinkHarness& h) { h.port.refuseWrite = "gone"; };
const Step Replugged = [](LinkHarness& h) { h.port.refuseWrite.reset(); };
const Step NothingSaved = Expect([](auto& h) { return h.view.saved.empty(); }, "nothing saved");
const Step WindowHolds = Expect([](auto& h) { return h.window.count == 5; }, "\"AT MP\" kept");
const Step BadChecksum = Dev(zk4sim::BuildIdentificationLine(0x2A, 1, true));
const Step Polled = Seq(Identified, Tick);
const std::string kOld = "AT CN=4\r\nAT HZVSMPH=1.7881\r\n";
const std::string kSettingCommands = "AT CN=6\r\nAT HZ=02.5000\r\n";

struct Row {
    const char* name;
    Step from, event;
    std::string wire;
    LinkState state;
    bool portOpen = true;
    std::string shows = "";      // parts of Shown(), separated by "|"
    std::string message = "";    // the start of each message told; empty: none
    std::size_t told = 1;        // how many messages, when there is one
    std::string atMessage = "";  // parts of what was shown when the first message came
    friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

void ExpectParts(const std::string& parts, const std::string& shown) {
    std::stringstream stream(parts);
    for (std::string part; std::getline(stream, part, '|');) {
        EXPECT_NE(shown.find(part), std::string::npos) << part << " in " << shown;
    }
}

class LinkEvents : public ::testing::TestWithParam<Row> {};

TEST_P(LinkEvents, SendStateMessageAndShow) {
    const Row& row = GetParam();
    LinkHarness h;
    Seq(row.from, Flush, ClearMessages, row.event)(h);
    EXPECT_EQ(std::tuple(h.Wire(), h.link.State(), h.view.state, h.port.IsOpen(), h.view.timer),
              std::tuple(row.wire, row.state, row.state, row.portOpen, h.link.TimerRunning()));
    EXPECT_EQ(h.view.openMessages <= 1, true) << "one message at a time";
    EXPECT_EQ(h.view.messages.size(), row.message.empty() ? 0u : row.told);
    for (std::size_t i = 0; i < h.view.messages.size(); ++i) {
        const RecordedMessage& m = h.view.messages[i];
        EXPECT_TRUE(m.text.starts_with(row.message)) << m.text;
        // A refused port has the stop icon.
        EXPECT_EQ(m.icon, h.view.kinds[i] == LinkMessage::Kind::PortRefused ? Stop : Exclamation);
    }
    ExpectParts(row.shows, Shown(h, h.view.values));
    if (!row.atMessage.empty()) {
        ASSERT_FALSE(h.view.valuesAtMessage.empty());
        ExpectParts(row.atMessage, Shown(h, h.view.valuesAtMessage.front()));
    }
}

const Row kRows[] = {
    // Ticks, clicks and silence.
    {"SilentSearchReopensAndAsksAgain", Nothing, Tick, kBurst, Searching},
    {"SilenceWhileLinkedStartsAgain", Polled, Tick, kBurst, Searching, true, "ID=-;SN=0;SET=000;"},
    {"ValuesWithoutAnIdGetBurstAndPoll", Nothing,
     Seq(Tick, Dev("AT FW=0.5N\r\nAT RPM=650\r\n"), Flush, Tick), kBurst + kPoll, Searching, true,
     "POLLS=0;"},
    {"TalkingDeviceIsPolledPortSavedOnce", Identified, Seq(Tick, Dev("AT RPM=1\r\n"), Tick),
     kPoll + kPoll, Linked, true, "SAVED=1;POLLS=2;"},
    {"DisconnectShowsThePlaceholders", Seq(Identified, Dev("AT RPM=800\r\n")), Disconnect, "",
     Stopped, false, "ID=-;SN=0;SET=000;FW=-;DV=-;RPM=-;MPH=-;CN=-;HZ=-;VALID=0;"},
    {"HaltedSavesOnlyAtNextConnect", OldFirmware,
     Seq(Tick, NothingSaved, Disconnect, Connect, Tick), kBurst + kBurst + kPoll, Searching, true,
     "SAVED=1;"},
    {"ExitClosesAndStops", Identified, Exit, "", Stopped, false},
    {"ChangeAfterExitIsRefused", Identified, Seq(Exit, Proceed("6", 2.5)), "", Retrying, false, "",
     "The port is not open."},

    // A port refused or gone: told once, tried once a second until Disconnect.
    {"RefusedOpenAtSilentTick", Nothing, Missing, "", Retrying, false, "", kGone},
    {"RefusedOpenAtTickWithTraffic", Nothing, Seq(Tick, Dev("AT RPM=650\r\n"), Refuse, Tick),
     kBurst, Retrying, false, "", kGone},
    {"RefusedConnectClick", Disconnect, Seq(Refuse, Connect), "", Retrying, false, "", kGone},
    {"PortGoneAgainIsToldOnce", Seq(Missing, Accept, Identified),
     Seq(Pulled, Tick, Replugged, Refuse, Tick, Tick), "", Retrying, false, "", "gone"},
    {"DisconnectStopsTheLooking", Missing, Seq(Disconnect, Tick), "", Stopped, false},
    {"AClickIsAlwaysAnswered", Missing, Connect, "", Retrying, false, "", kGone},
    {"AClickFromInsideTheBoxIsToldAfterIt", Seq(Refuse, InsideTheMessage(Connect)), Connect, "",
     Retrying, false, "", kGone, 2},

    // Only COM1 to COM30 is ever opened; a name still being typed is not told at a tick.
    {"TypedPathIsNoPort", Disconnect, Seq(ConnectTo("/dev/ttyUSB3"), NothingOpened), "", Retrying,
     false, "", "\"/dev/ttyUSB3\" is not a port: the port box takes COM1 to COM30."},
    {"NoPortAtTicksIsToldOnce", Nothing,
     Seq(TickWith("ttyUSB3"), TickWith("ttyUSB3"), NothingOpened), "", Retrying, false, "",
     "\"ttyUSB3\" is not a port"},
    {"NameBeingTypedIsQuiet", Nothing, Seq(TickWith("CO"), TickWith("COM"), TickWith("COM12")),
     kBurst, Searching},

    // Device lines.
    {"ReportsReplaceTheirValuesShownOnce", Connect,
     Dev("AT RPM=1500\r\nAT HZVSMPH=1.7881\r\nAT DV=\r\nAT MPH=55\r\nAT CN=6\r\n"), "", Searching,
     true, "DV=;RPM=1500;MPH=55;CN=6;HZ=1.7881;|REDRAWS=1;"},
    {"LowerCaseStrayBytesUnknownWord", Connect,
     Dev("at fw=0.5n7\r\nxyAT MPH=5\r\nxAT RPM=1\r\nAT XY=1\r\n"), "", Searching, true,
     "FW=0.5N7;DV=-;RPM=-;MPH=5;CN=-;HZ=-;"},
    {"AnyReportOrAckIsTraffic", Polled, Seq(Dev("AT XY=1\r\n"), Tick, Dev("ACK OK\r\n"), Tick),
     kPoll + kPoll, Linked},
    // "AT" CR LF is too short for a line and joins the next.
    {"OtherAndShortLinesAreNotTraffic", Polled,
     Seq(Dev("HELLO\r\nxAT RPM=1\r\nAT\r\nAT DV=1\r\n"), Tick), kBurst, Searching},

    // Identification.
    {"UnknownProductEndsDisconnected", Nothing, As(0x30), kBurst, Stopped, false,
     "ID=-;SN=0;SET=000;"},
    {"J1939_001AndNoSecondId", Nothing, Seq(Identified, Dev(kIdJ1708_003)), kBurst, Linked, true,
     "ID=ZK4-J1939-001;SN=1;SET=101;FW=0.5N;|VALID=1;SAVED=0;"},
    {"UnsupportedFirmwareShowsReports", Nothing,
     Seq(Id(kIdJ1708_003, "AT FW=0.5M2\r\n"), Dev("AT RPM=700\r\n")), kBurst, Halted, true,
     "ID=ZK4-J1708-003;SN=305419896;SET=000;|RPM=700;|VALID=1;", kFirmwareRefused, 1,
     "ID=ZK4-J1708-003;SN=305419896;"},
    {"IdBeforeFirmwareIsIgnored", Connect,
     Seq(Dev(kIdJ1939_001), Dev(kFirmwareOk), Dev(kIdJ1708_003)), "", Linked, true,
     "ID=ZK4-J1708-003;"},
    {"BadChecksumUsesUpTheRequest", Connect,
     Seq(Dev(kFirmwareOk), BadChecksum, Dev(kIdJ1939_001), Tick), kBurst + kPoll, Searching, true,
     "ID=-;|SAVED=1;"},

    // A message never stops the link: what its box's nested loop delivers is handled in full.
    {"LinesWhileTheFirmwareMessageIsOpen",
     InsideTheMessage(Seq(Dev("AT RPM=900\r\n"), Dev("AT DV=13.1\r\nAT MP"))),
     Seq(Id(kIdJ1708_003, "AT FW=\r\n"), WindowHolds), kBurst, Halted, true, "DV=13.1;RPM=900;",
     kFirmwareRefused},
    {"UnpluggedWhileLinkedFoundAgainBeforeOk",
     InsideTheMessage(Seq(Replugged, Tick, Dev(kFirmwareOk), Dev(kIdJ1939_001), Tick)),
     Seq(Identified, Flush, Pulled, Tick), kBurst + kPoll + kPoll, Linked, true,
     "ID=ZK4-J1939-001;", "gone"},
    {"MissingAtStartFoundBeforeOk",
     InsideTheMessage(Seq(Accept, Tick, Dev(kFirmwareOk), Dev(kIdJ1939_001))), Missing, kBurst,
     Linked, true, "ID=ZK4-J1939-001;", kGone},
    {"PolledWhileNotTakenIsOpen",
     Seq(As(0x2C), InsideTheMessage(Seq(Dev("AT RPM=1234\r\n"), Tick))), Answers({kOld, kOld}),
     kSettingCommands + kPoll + kPoll + kPoll + kPoll, Linked, true, "RPM=1234;", kNotTaken},

    // Setting commands: what each variant takes (serial number 0xFFFFFFFF).
    {"J1939_003TakesBoth", As(0x2C), ProceedPaced(19), kSettingCommands, Linked, true,
     "ID=ZK4-J1939-003;SN=4294967295;SET=111;"},
    {"OBD2_002TakesHz", As(0x58), ProceedPaced(16), "AT HZ=02.5000\r\n", Linked, true,
     "ID=ZK4-OBD2-002;SN=4294967295;SET=011;"},
    {"COMBO_001", As(0x5A), Proceed("13", 1.15), "AT CN=4\r\n", Linked, true, "ID=ZK4-COMBO-001;"},
    {"FactoryDefault", As(0x2C), [](LinkHarness& h) { h.link.FactoryDefault(); },
     "AT CN=4\r\nAT HZ=01.7881\r\n", Linked},
    {"HzOutOfRangeIsNeverEncoded", As(0x5C), Proceed("9", 100.0), "AT CN=9\r\n", Linked},
    {"OnlyWhatIsGivenIsSent", As(0x2C),
     [](LinkHarness& h) { h.link.ProceedToChange(std::nullopt, 2.5); }, "AT HZ=02.5000\r\n",
     Linked},

    // Whether the device took them: told at the second poll at the latest, naming only what it
    // did not take.
    {"TakesBoth", As(0x2C), Answers({"AT CN=6\r\nAT HZVSMPH=2.5000\r\n"}),
     kSettingCommands + kPoll + kPoll, Linked},
    {"SecondPollTakes", As(0x2C), Answers({kOld, "AT CN=6\r\nAT HZVSMPH=2.5\r\n"}),
     kSettingCommands + kPoll + kPoll + kPoll, Linked},
    {"HzOnly", As(0x58), Answers({"AT CN=4\r\nAT HZVSMPH=2.5000\r\n"}),
     "AT HZ=02.5000\r\n" + kPoll + kPoll, Linked},
    {"ToldAtTheSecondPollExactly", As(0x2C), Seq(Answers({kOld}), Dev(kOld), NoMessageYet, Tick),
     kSettingCommands + kPoll + kPoll + kPoll, Linked, true, "",
     kNotTaken + "settings: it reports cylinder number \"4\" and Hz per MPH \"1.7881\"."},
    {"ReportsNoNumber", As(0x2A), Answers({"AT CN=\r\n", "AT CN=x\r\n"}),
     "AT CN=6\r\n" + kPoll + kPoll + kPoll, Linked, true, "",
     kNotTaken + "cylinder number: it reports \"X\"."},
    {"NamesOnlyWhatWasNotTaken", As(0x2C),
     Answers({"AT CN=6\r\n" + kOld.substr(9), "AT CN=6\r\n" + kOld.substr(9)}),
     kSettingCommands + kPoll + kPoll + kPoll, Linked, true, "",
     kNotTaken + "Hz per MPH: it reports \"1.7881\"."},
};

INSTANTIATE_TEST_SUITE_P(Link, LinkEvents, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Link, OpenDiscardsWhatArrivedBeforeButKeepsThePartialLine) {
    LinkHarness h;
    Seq(Connect, Dev("AT RP"), Disconnect)(h);  // a partial line stays across reconnections
    h.port.open = true;  // open, but not by the link: its bytes are read and dropped
    h.Device("AT DV=1\r\n");
    h.port.open = false;
    h.port.pending.assign({'X', 'Y'});
    Seq(Connect, Dev("M=900\r\n"))(h);
    const auto& calls = h.port.calls;
    EXPECT_EQ(std::vector<std::string>(calls.end() - 5, calls.end() - 1),
              (std::vector<std::string>{"select 1", "open", "configure", "read"}));
    EXPECT_EQ(h.port.config.settings, "115200,n,8,1");
    EXPECT_NE(Shown(h, h.view.values).find("DV=-;RPM=900;"), std::string::npos);
    h.port.Receive("AT", 1);  // another event than received bytes is not read
    EXPECT_EQ(h.port.pending.size(), 2u);
}

// Whoever watches the settings check (the command line) hears how it ended, once.
TEST(Link, SettingsCheckEndsOnceEitherWay) {
    for (const auto& [answer, taken] :
         {std::pair(kOld, false), {"AT CN=6\r\nAT HZVSMPH=2.5\r\n", true}}) {
        LinkHarness h;
        Seq(As(0x2C), Answers({answer, answer}), Tick, Tick)(h);
        EXPECT_EQ(h.view.checks, std::vector<bool>{taken}) << answer;
    }
}

}  // namespace
}  // namespace zk4::test
