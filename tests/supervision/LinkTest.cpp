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

// What the window shows, one "NAME=value;" after the other.
std::string Shown(const LinkHarness& h) {
    const DeviceValues& v = h.view.values;
    const SettingControls& c = h.view.settings;
    return "ID=" + v.m_strProductId + ";SN=" + std::to_string(v.m_dwSerialNo) +
           ";SET=" + std::to_string(c.cylinders) + std::to_string(c.hzPerMph) +
           std::to_string(c.changeButtons) + ";FW=" + v.m_strFirmware + ";DV=" + v.m_strVoltage +
           ";RPM=" + v.m_strEngineRpm + ";MPH=" + v.m_strVehicleMph +
           ";CN=" + v.m_strCylindersReported + ";HZ=" + v.m_strHzPerMphReported +
           ";VALID=" + std::to_string(h.link.DeviceValid()) +
           ";SAVED=" + std::to_string(h.view.saved.size()) + ";";
}

const auto Seq = [](auto... steps) -> Step { return [=](LinkHarness& h) { (steps(h), ...); }; };
const auto Dev = [](std::string bytes) -> Step { return [=](LinkHarness& h) { h.Device(bytes); }; };
const Step Nothing = [](LinkHarness&) {};
const Step Tick = [](LinkHarness& h) { h.link.Tick("COM1"); };
const Step Connect = [](LinkHarness& h) { h.link.Connect("COM1"); };
const Step Disconnect = [](LinkHarness& h) { h.link.Disconnect(); };
const Step Exit = [](LinkHarness& h) { h.link.CloseForExit(); };
const Step Flush = [](LinkHarness& h) { h.Wire(); };
const Step ClearMessages = [](LinkHarness& h) { h.view.messages.clear(); };
const auto Id = [](std::string line, std::string firmware = kFirmwareOk) {
    return Seq(Connect, Dev(firmware), Dev(line));
};
const auto As = [](std::uint8_t code) { return Id(MakeIdLine(code, 0xFFFFFFFF)); };
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
// Setting commands sent, then the device's answers to the polls in turn; the last answer once
// more, and one more poll.
const auto Answers = [](std::vector<std::string> answers) -> Step {
    return [=](LinkHarness& h) {
        h.link.ProceedToChange("6", 2.5);
        for (const std::string& answer : answers) {
            Seq(Tick, Dev(answer))(h);
        }
        Seq(Tick, Dev(answers.back()), Flush, Tick)(h);
    };
};
const Step Identified = Id(kIdJ1939_001);
const Step OldFirmware = Id(kIdJ1939_001, "AT FW=0.5\r\n");
const Step Refuse = [](LinkHarness& h) { h.port.refuseOpen = kGone; };
const Step Accept = [](LinkHarness& h) { h.port.refuseOpen.reset(); };
const Step Missing = Seq(Refuse, Tick);
const Step Pulled = [](LinkHarness& h) { h.port.refuseWrite = "gone"; };
const Step Replugged = [](LinkHarness& h) { h.port.refuseWrite.reset(); };
const Step NothingSaved = [](LinkHarness& h) { EXPECT_EQ(h.view.saved.size(), 0u); };
// A click on Connect inside the refusal's box, from its nested loop.
const Step RefusedClickInTheBox =
    Seq(Refuse, [](LinkHarness& h) { h.view.onMessage = [&h] { Connect(h); }; });
const Step DeviceTalksInsideTheBox = [](LinkHarness& h) {
    h.view.onMessage = [&h] {
        h.Device("AT RPM=900\r\n");       // behind the 22-byte line still in the window: lost
        h.Device("AT DV=13.1\r\nAT MP");  // handled; the partial line is dropped afterwards
    };
};
const Step WindowEmpty = [](LinkHarness& h) { EXPECT_EQ(h.window.count, 0); };
const Step BadChecksum = Dev(MakeIdLine(0x2A, 1, false));
const Step Polled = Seq(Identified, Tick);
const std::string kOld = "AT CN=4\r\nAT HZVSMPH=1.7881\r\n";

struct Row {
    const char* name;
    Step from, event;
    std::string wire;
    LinkState state;
    bool portOpen = true;
    std::string shows = "";    // parts of Shown(), separated by "|"
    std::string message = "";  // the start of the one message told; empty: none
    friend void PrintTo(const Row& row, std::ostream* os) { *os << row.name; }
};

class LinkEvents : public ::testing::TestWithParam<Row> {};

TEST_P(LinkEvents, SendStateMessageAndShow) {
    const Row& row = GetParam();
    LinkHarness h;
    Seq(row.from, Flush, ClearMessages, row.event)(h);
    EXPECT_EQ(std::tuple(h.Wire(), h.link.State(), h.view.state, h.port.IsOpen(), h.view.timer),
              std::tuple(row.wire, row.state, row.state, row.portOpen, h.link.TimerRunning()));
    EXPECT_EQ(h.view.messages.size(), row.message.empty() ? 0u : 1u);
    for (const RecordedMessage& m : h.view.messages) {
        EXPECT_TRUE(m.text.starts_with(row.message)) << m.text;
        // Serial refusals say that the tool keeps looking, with the stop icon.
        EXPECT_EQ(m.icon, m.text.ends_with(kKeepsLooking) ? Stop : Exclamation);
    }
    std::stringstream parts(row.shows);
    for (std::string part; std::getline(parts, part, '|');) {
        EXPECT_NE(Shown(h).find(part), std::string::npos) << part << " in " << Shown(h);
    }
}

const Row kRows[] = {
    // Ticks, clicks and silence. (A device that keeps its settings and a port that comes back
    // are in the end-to-end tests.)
    {"SilentSearchReopensAndAsksAgain", Nothing, Tick, kBurst, Searching},
    {"SilenceWhileLinkedStartsAgain", Polled, Tick, kBurst, Searching, true,
     "ID=Not Found Yet!;SN=0;SET=000;"},
    {"ValuesWithoutAnIdGetBurstAndPoll", Nothing,
     Seq(Tick, Dev("AT FW=0.5N\r\nAT RPM=650\r\n"), Flush, Tick), kBurst + kPoll, Searching},
    {"TalkingDeviceIsPolledPortSavedOnce", Identified, Seq(Tick, Dev("AT RPM=1\r\n"), Tick),
     kPoll + kPoll, Linked, true, "SAVED=1;"},
    {"DisconnectShowsThePlaceholders", Seq(Identified, Dev("AT RPM=800\r\n")), Disconnect, "",
     Stopped, false,
     "ID=Not Found Yet!;SN=0;SET=000;FW=Not Found Yet!;DV=Not available;RPM=Not available;"
     "MPH=Not available;CN=Not available;HZ=Not available;VALID=0;"},
    {"HaltedSavesOnlyAtNextConnect", OldFirmware,
     Seq(Tick, NothingSaved, Disconnect, Connect, Tick), kBurst + kBurst + kPoll, Searching, true,
     "SAVED=1;"},
    {"ExitClosesAndStops", Identified, Exit, "", Halted, false},
    {"ChangeAfterExitIsRefused", Identified, Seq(Exit, Proceed("6", 2.5)), "", Searching, false, "",
     "The port is not open."},

    // A port refused or gone: told once, tried once a second.
    {"RefusedOpenAtSilentTick", Nothing, Missing, "", Searching, false, "", kGone},
    {"RefusedOpenAtTickWithTraffic", Nothing, Seq(Tick, Dev("AT RPM=650\r\n"), Refuse, Tick),
     kBurst, Searching, false, "", kGone},
    {"RefusedConnectClick", Disconnect, Seq(Refuse, Connect), "", Searching, false, "", kGone},
    {"PortGoneAgainIsToldOnce", Seq(Missing, Accept, Identified),
     Seq(Pulled, Tick, Replugged, Refuse, Tick, Tick), "", Searching, false, "", "gone"},
    {"DisconnectStopsTheLooking", Missing, Seq(Disconnect, Tick), "", Stopped, false},
    {"AClickIsAlwaysAnswered", Missing, Connect, "", Searching, false, "", kGone},
    {"NoRefusalInsideAnother", RefusedClickInTheBox, Connect, "", Searching, false, "", kGone},

    // Device lines.
    {"ReportsReplaceTheirValues", Connect,
     Dev("AT RPM=1500\r\nAT HZVSMPH=1.7881\r\nAT DV=\r\nAT MPH=55\r\nAT CN=6\r\n"), "", Searching,
     true, "DV=;RPM=1500;MPH=55;CN=6;HZ=1.7881;"},
    {"LowerCaseStrayBytesUnknownWord", Connect,
     Dev("at fw=0.5n7\r\nxyAT MPH=5\r\nxAT RPM=1\r\nAT XY=1\r\n"), "", Searching, true,
     "FW=0.5N7;DV=Not available;RPM=Not available;MPH=5;CN=Not available;HZ=Not available;"},
    {"LargeReadIsFramedInFull", Connect, Dev(std::string(390, 'x') + "\r\nAT RPM=399\r\n"), "",
     Searching, true, "RPM=399;"},
    {"AnyReportOrAckIsTraffic", Polled, Seq(Dev("AT XY=1\r\n"), Tick, Dev("ACK OK\r\n"), Tick),
     kPoll + kPoll, Linked},
    // "AT" CR LF is too short for a line and joins the next.
    {"OtherAndShortLinesAreNotTraffic", Polled,
     Seq(Dev("HELLO\r\nxAT RPM=1\r\nAT\r\nAT DV=1\r\n"), Tick), kBurst, Searching},

    // Identification.
    {"UnknownProductEndsDisconnected", Nothing, As(0x30), kBurst, Stopped, false,
     "ID=Not Found Yet!;SN=0;SET=000;"},
    {"J1939_001AndNoSecondId", Nothing, Seq(Identified, Dev(kIdJ1708_003)), kBurst, Linked, true,
     "ID=ZK4-J1939-001;SN=1;SET=101;FW=0.5N;|VALID=1;SAVED=0;"},
    {"UnsupportedFirmwareShowsReports", Nothing,
     Seq(Id(kIdJ1708_003, "AT FW=0.5M2\r\n"), Dev("AT RPM=700\r\n")), kBurst, Halted, true,
     "ID=ZK4-J1708-003;SN=305419896;SET=000;|RPM=700;|VALID=1;", kFirmwareRefused},
    {"IdBeforeFirmwareIsIgnored", Connect,
     Seq(Dev(kIdJ1939_001), Dev(kFirmwareOk), Dev(kIdJ1708_003)), "", Linked, true,
     "ID=ZK4-J1708-003;"},
    {"BadChecksumUsesUpTheRequest", Connect,
     Seq(Dev(kFirmwareOk), BadChecksum, Dev(kIdJ1939_001), Tick), kBurst + kPoll, Searching, true,
     "ID=Not Found Yet!;|SAVED=1;"},
    {"LineInsideTheBoxFramedBehindOuter", DeviceTalksInsideTheBox,
     Seq(Id(kIdJ1708_003, "AT FW=\r\n"), WindowEmpty), kBurst, Halted, true,
     "DV=13.1;RPM=Not available;", kFirmwareRefused},

    // Setting commands: what each variant takes (serial number 0xFFFFFFFF).
    {"J1939_003TakesBoth", As(0x2C), ProceedPaced(19), "AT CN=6\r\nAT HZ=02.5000\r\n", Linked, true,
     "ID=ZK4-J1939-003;SN=4294967295;SET=111;"},
    {"OBD2_002TakesHz", As(0x58), ProceedPaced(16), "AT HZ=02.5000\r\n", Linked, true,
     "ID=ZK4-OBD2-002;SN=4294967295;SET=011;"},
    {"COMBO_001", As(0x5A), Proceed("13", 1.15), "AT CN=4\r\n", Linked, true, "ID=ZK4-COMBO-001;"},
    {"FactoryDefault", As(0x2C), [](LinkHarness& h) { h.link.FactoryDefault(); },
     "AT CN=4\r\nAT HZ=01.7881\r\n", Linked},
    {"HzOutOfRangeIsNeverEncoded", As(0x5C), Proceed("9", 100.0), "AT CN=9\r\n", Linked},

    // Whether the device took them, told once after two polls.
    {"TakesBoth", As(0x2C), Answers({"AT CN=6\r\nAT HZVSMPH=2.5000\r\n"}), kPoll, Linked},
    {"SecondPollTakes", As(0x2C), Answers({kOld, "AT CN=6\r\nAT HZVSMPH=2.5\r\n"}), kPoll, Linked},
    {"HzOnly", As(0x58), Answers({"AT CN=4\r\nAT HZVSMPH=2.5000\r\n"}), kPoll, Linked},
    {"ReportsNoNumber", As(0x2A), Answers({"AT CN=\r\n", "AT CN=x\r\n"}), kPoll, Linked, true, "",
     "The device has not taken the new settings: it reports cylinder number \"X\"."},
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
    EXPECT_NE(Shown(h).find("DV=Not available;RPM=900;"), std::string::npos) << Shown(h);
    h.port.Receive("AT", 1);  // another event than received bytes
    EXPECT_EQ(h.port.pending.size(), 2u);
}

}  // namespace
}  // namespace zk4::test
