// The link as a table of (state, event, device answer) -> (bytes on the wire, new state,
// message, what the window shows), with a fake port and clock.
#include <gtest/gtest.h>

#include <sstream>

#include "support/LinkHarness.h"

namespace zk4::test {
namespace {

using S = LinkState;
using Step = std::function<void(LinkHarness&)>;

const std::string kGone = "Cannot open COM1 (/dev/ttyUSB0): the device does not exist.";
const std::string kFirmwareRefused =
    "This release requires ZK4 (firmware) version 0.5N; please update your device accordingly.";
const std::string kPlaceholders =
    "ID=Not Found Yet!;SN=0;SET=000;FW=Not Found Yet!;DV=Not available;RPM=Not available;"
    "MPH=Not available;CN=Not available;HZ=Not available;VALID=0;";

// What the window shows, one "NAME=value;" after the other.
std::string Shown(const LinkHarness& h) {
    const DeviceValues& v = h.view.values;
    const SettingControls& c = h.view.settings;
    std::string saved;
    for (const std::string& port : h.view.saved) {
        saved += port + ",";
    }
    return "ID=" + v.m_strProductId + ";SN=" + std::to_string(v.m_dwSerialNo) +
           ";SET=" + std::to_string(c.cylinders) + std::to_string(c.hzPerMph) +
           std::to_string(c.changeButtons) + ";FW=" + v.m_strFirmware + ";DV=" + v.m_strVoltage +
           ";RPM=" + v.m_strEngineRpm + ";MPH=" + v.m_strVehicleMph +
           ";CN=" + v.m_strCylindersReported + ";HZ=" + v.m_strHzPerMphReported +
           ";VALID=" + std::to_string(h.link.DeviceValid()) + ";SAVED=" + saved + ";";
}

Step Seq(std::vector<Step> steps) {
    return [steps](LinkHarness& h) {
        for (const Step& step : steps) {
            step(h);
        }
    };
}
Step Dev(std::string_view bytes) {
    return [bytes = std::string(bytes)](LinkHarness& h) { h.Device(bytes); };
}
Step Id(std::string_view line, std::string_view firmware = kFirmwareOk) {
    return [line = std::string(line), firmware = std::string(firmware)](LinkHarness& h) {
        h.Identify(firmware, line);
    };
}
Step As(std::uint8_t code) {
    return Id(MakeIdLine(code, 1));
}
Step Proceed(std::string cylinders, double hz) {
    return [=](LinkHarness& h) { h.link.ProceedToChange(cylinders, hz); };
}
// Setting commands sent, then the device's answers to the polls in turn; the last answer once
// more, and one more poll.
Step Answers(std::vector<std::string> answers) {
    return [answers](LinkHarness& h) {
        h.link.ProceedToChange("6", 2.5);
        for (const std::string& answer : answers) {
            h.link.Tick("COM1");
            h.Device(answer);
        }
        h.link.Tick("COM1");
        h.Device(answers.back());
        h.Wire();
        h.link.Tick("COM1");
    };
}
std::string ManyLines() {
    std::string chunk;
    for (int i = 0; i < 400; ++i) {
        chunk += "AT RPM=" + std::to_string(i) + "\r\n";
    }
    return chunk;
}

const Step Nothing = [](LinkHarness&) {};
const Step Tick = [](LinkHarness& h) { h.link.Tick("COM1"); };
const Step Connect = [](LinkHarness& h) { h.link.Connect("COM1"); };
const Step Disconnect = [](LinkHarness& h) { h.link.Disconnect(); };
const Step Linked = Id(kIdJ1939_001);
const Step Halted = Id(kIdJ1939_001, "AT FW=0.4\r\n");
const Step Refuse = [](LinkHarness& h) { h.port.refuseOpen = kGone; };
const Step Accept = [](LinkHarness& h) { h.port.refuseOpen.reset(); };
const Step Missing = Seq({Refuse, Tick});
const Step Pulled = [](LinkHarness& h) { h.port.refuseWrite = "gone"; };
const Step Replugged = [](LinkHarness& h) { h.port.refuseWrite.reset(); };
const std::string kOld = "AT CN=4\r\nAT HZVSMPH=1.7881\r\n";

struct Row {
    const char* name;
    Step from;
    Step event;
    std::string wire;
    LinkState state;
    std::string message;  // the start of the one message told; empty: none
    bool portOpen;
    std::string shows = "";  // parts of Shown(), separated by "|"
};

void PrintTo(const Row& row, std::ostream* os) {
    *os << row.name;
}

class LinkEvents : public ::testing::TestWithParam<Row> {};

TEST_P(LinkEvents, SendStateMessageAndShow) {
    const Row& row = GetParam();
    LinkHarness h;
    row.from(h);
    h.Wire();
    h.view.messages.clear();
    row.event(h);
    EXPECT_EQ(h.Wire(), row.wire);
    EXPECT_EQ(h.link.State(), row.state);
    EXPECT_EQ(h.view.state, row.state);
    EXPECT_EQ(h.view.timer, h.link.TimerRunning());
    EXPECT_EQ(h.port.IsOpen(), row.portOpen);
    if (row.message.empty()) {
        EXPECT_TRUE(h.view.messages.empty()) << h.view.messages.front().text;
    } else {
        ASSERT_EQ(h.view.messages.size(), 1u);
        const RecordedMessage& m = h.view.messages[0];
        EXPECT_TRUE(m.text.starts_with(row.message)) << m.text;
        // Serial refusals say that the tool keeps looking, with the stop icon.
        EXPECT_EQ(m.icon,
                  m.text.ends_with(kKeepsLooking) ? MessageIcon::Stop : MessageIcon::Exclamation);
    }
    std::stringstream parts(row.shows);
    for (std::string part; std::getline(parts, part, '|');) {
        EXPECT_NE(Shown(h).find(part), std::string::npos) << part << " in " << Shown(h);
    }
}

const Row kRows[] = {
    // Ticks, clicks and silence.
    {"SilentSearchReopensAndAsksAgain", Nothing, Tick, kConnectBurst, S::Searching, "", true},
    {"MalformedSettingsLineSavesThePortAtTheFirstTick", [](LinkHarness& h) { h.link.Start(true); },
     Tick, kConnectBurst, S::Searching, "", true, "SAVED=COM1,;"},
    {"ValuesWithoutAnIdGetTheBurstAndASecondPoll", Nothing,
     Seq({Tick, Dev("AT FW=0.5N\r\nAT RPM=650\r\n"), [](LinkHarness& h) { h.Wire(); }, Tick}),
     kConnectBurst + kPoll, S::Searching, "", true},
    {"TalkingDeviceIsPolledAndItsPortSavedOnce", Linked, Seq({Tick, Dev("AT RPM=1\r\n"), Tick}),
     kPoll + kPoll, S::Linked, "", true, "SAVED=COM1,;"},
    {"SilentPeriodResetsAndSearchesAtOnce", Seq({Linked, Tick}), Tick, kConnectBurst, S::Searching,
     "", true, kPlaceholders},
    {"DisconnectShowsThePlaceholders", Seq({Linked, Dev("AT RPM=800\r\n")}), Disconnect, "",
     S::Stopped, "", false, kPlaceholders},
    {"ConnectStartsSearching", Disconnect, Connect, kConnectBurst, S::Searching, "", true},
    {"HaltedGetsNoTickAndSavesNothing", Halted, Tick, "", S::Halted, "", true, "SAVED=;"},
    {"HaltedSaveWaitsForTheNextConnectsTick", Halted, Seq({Disconnect, Connect, Tick}),
     kConnectBurst + kConnectBurst + kPoll, S::Searching, "", true, "SAVED=COM1,;"},
    {"StoppedGetsNoTick", Disconnect, Tick, "", S::Stopped, "", false},
    {"ExitClosesAndStops", Linked, [](LinkHarness& h) { h.link.CloseForExit(); }, "", S::Halted, "",
     false},
    {"ChangeAfterExitIsRefusedByTheClosedPort", Linked,
     Seq({[](LinkHarness& h) { h.link.CloseForExit(); }, Proceed("6", 2.5)}), "", S::Searching,
     "The port is not open.", false},

    // A port refused or gone: told once, tried once a second.
    {"RefusedOpenAtASilentTickKeepsLooking", Nothing, Missing, "", S::Searching, kGone, false},
    {"RefusedOpenAtATickWithTrafficKeepsLooking", Nothing,
     Seq({Tick, Dev("AT RPM=650\r\n"), Refuse, Tick}), kConnectBurst, S::Searching, kGone, false},
    {"RefusedConnectClickKeepsLooking", Disconnect, Seq({Refuse, Connect}), "", S::Searching, kGone,
     false},
    {"AdapterGoneWhileLinkedKeepsLooking", Linked, Seq({Pulled, Tick}), "", S::Searching, "gone",
     false},
    {"RefusedRetriesAreToldOnce", Nothing, Seq({Missing, Tick, Tick}), "", S::Searching, kGone,
     false},
    {"APortThatComesBackIsConnected", Missing, Seq({Accept, Tick}), kConnectBurst, S::Searching, "",
     true},
    {"APortGoneAgainIsToldAgainOnce", Seq({Missing, Accept, Linked}),
     Seq({Pulled, Tick, Replugged, Refuse, Tick, Tick}), "", S::Searching, "gone", false},
    {"DisconnectStopsTheLooking", Missing, Disconnect, "", S::Stopped, "", false},
    {"AClickIsAlwaysAnswered", Missing, Connect, "", S::Searching, kGone, false},
    {"NoRefusalIsToldInsideAnother",
     [](LinkHarness& h) {
         Refuse(h);
         h.view.onMessage = [&h] { h.link.Connect("COM1"); };  // a click in the nested loop
     },
     Connect, "", S::Searching, kGone, false},

    // Device lines.
    {"ReportsReplaceTheirValues", Connect,
     Dev("AT RPM=1500\r\nAT HZVSMPH=1.7881\r\nAT DV=\r\nAT MPH=55\r\nAT CN=6\r\n"), "",
     S::Searching, "", true, "DV=;RPM=1500;MPH=55;CN=6;HZ=1.7881;"},
    {"LowerCaseAndLeadingBytesStillReport", Connect, Dev("at fw=0.5n7\r\nxyAT MPH=5\r\n"), "",
     S::Searching, "", true, "FW=0.5N7;|MPH=5;"},
    {"OneStrayByteOrAnUnknownWordChangesNothing", Connect, Dev("xAT RPM=1\r\nAT XY=1\r\n"), "",
     S::Searching, "", true, kPlaceholders},
    {"LargeReadIsFramedInFull", Connect, Dev(ManyLines()), "", S::Searching, "", true, "RPM=399;"},
    {"AnyReportIsTraffic", Seq({Linked, Tick}), Seq({Dev("AT XY=1\r\n"), Tick}), kPoll, S::Linked,
     "", true},
    {"AnAcknowledgementIsTraffic", Seq({Linked, Tick}), Seq({Dev("ACK OK\r\n"), Tick}), kPoll,
     S::Linked, "", true},
    {"OtherLinesAreNotTraffic", Seq({Linked, Tick}), Seq({Dev("HELLO\r\nxAT RPM=1\r\n"), Tick}),
     kConnectBurst, S::Searching, "", true},
    {"ATooShortLineJoinsTheNext", Seq({Linked, Tick}), Seq({Dev("A\r\nAT DV=1\r\n"), Tick}),
     kConnectBurst, S::Searching, "", true},

    // Identification.
    {"J1939_001", Nothing, Linked, kConnectBurst, S::Linked, "", true,
     "ID=ZK4-J1939-001;SN=1;SET=101;FW=0.5N;|VALID=1;SAVED=;"},
    {"J1708_003", Nothing, Id(kIdJ1708_003), kConnectBurst, S::Linked, "", true,
     "ID=ZK4-J1708-003;SN=305419896;SET=111;"},
    {"OBD2_002", Nothing, Id(MakeIdLine(0x58, 4294967295u)), kConnectBurst, S::Linked, "", true,
     "ID=ZK4-OBD2-002;SN=4294967295;SET=011;"},
    {"COMBO_001", Nothing, Id(MakeIdLine(0x5A, 0)), kConnectBurst, S::Linked, "", true,
     "ID=ZK4-COMBO-001;SN=0;SET=101;"},
    {"UnsupportedFirmwareHaltsButShowsReports", Nothing,
     Seq({Id(kIdJ1708_003, "AT FW=0.5M2\r\n"), Dev("AT RPM=700\r\n")}), kConnectBurst, S::Halted,
     kFirmwareRefused, true, "ID=ZK4-J1708-003;SN=305419896;SET=000;|RPM=700;|VALID=1;"},
    {"UnknownProductStopsQuietly", Nothing, Id(MakeIdLine(0x30, 99)), kConnectBurst, S::Stopped, "",
     false, kPlaceholders},
    {"IdBeforeFirmwareIsIgnoredButStillAskedFor", Connect,
     Seq({Dev(kIdJ1939_001), Dev(kFirmwareOk), Dev(kIdJ1708_003)}), "", S::Linked, "", true,
     "ID=ZK4-J1708-003;"},
    {"BadChecksumUsesUpTheRequestButSavesThePort", Connect,
     Seq({Dev(kFirmwareOk), Dev(MakeIdLine(0x2A, 1, false)), Dev(kIdJ1939_001), Tick}),
     kConnectBurst + kPoll, S::Searching, "", true, "ID=Not Found Yet!;|SAVED=COM1,;"},
    {"TheNextTickAsksAgain", Connect,
     Seq({Dev(kFirmwareOk), Dev(MakeIdLine(0x2A, 1, false)), Tick, Dev(kIdJ1939_001)}),
     kConnectBurst + kPoll, S::Linked, "", true, "ID=ZK4-J1939-001;"},
    {"ASecondIdIsNotAskedFor", Linked, Dev(kIdJ1708_003), "", S::Linked, "", true,
     "ID=ZK4-J1939-001;"},
    {"ALineInsideTheFirmwareMessageIsFramedBehindTheOuterLine",
     [](LinkHarness& h) {
         h.view.onMessage = [&h] {
             h.Device("AT RPM=900\r\n");       // behind the 22-byte line still in the window: lost
             h.Device("AT DV=13.1\r\nAT MP");  // handled; the partial line is dropped afterwards
         };
     },
     Seq({Id(kIdJ1708_003, "AT FW=0.5M\r\n"),
          [](LinkHarness& h) { EXPECT_EQ(h.window.count, 0); }}),
     kConnectBurst, S::Halted, kFirmwareRefused, true, "DV=13.1;RPM=Not available;"},

    // Setting commands: what each variant takes.
    {"J1939_003TakesBoth", As(0x2C), Proceed("6", 2.5), "AT CN=6\r\nAT HZ=02.5000\r\n", S::Linked,
     "", true},
    {"J1708_001TakesCylinders", As(0x54), Proceed("12", 2.5), "AT CN=12\r\n", S::Linked, "", true},
    {"OBD2_002TakesHz", As(0x58), Proceed("6", 2.5), "AT HZ=02.5000\r\n", S::Linked, "", true},
    {"CylindersOutsideTheListSendFour", As(0x5A), Proceed("13", 1.15), "AT CN=4\r\n", S::Linked, "",
     true},
    {"HzAtTheTopOfTheRange", As(0x5C), Proceed("9", 99.9999), "AT CN=9\r\nAT HZ=99.9999\r\n",
     S::Linked, "", true},
    {"HzOutOfRangeIsNeverEncoded", As(0x5C), Proceed("9", 100.0), "AT CN=9\r\n", S::Linked, "",
     true},
    {"FactoryDefault", Id(kIdJ1708_003), [](LinkHarness& h) { h.link.FactoryDefault(); },
     "AT CN=4\r\nAT HZ=01.7881\r\n", S::Linked, "", true},

    // Whether the device took them, told once after two polls.
    {"TakesBoth", As(0x2C), Answers({"AT CN=6\r\nAT HZVSMPH=2.5000\r\n"}), kPoll, S::Linked, "",
     true},
    {"TakesThemAtTheSecondPoll", As(0x2C), Answers({kOld, "AT CN=6\r\nAT HZVSMPH=2.5\r\n"}), kPoll,
     S::Linked, "", true},
    {"TakesNeither", As(0x2C), Answers({kOld, kOld, kOld}), kPoll, S::Linked,
     "The device has not taken the new settings: it reports cylinder number \"4\" and Hz per "
     "MPH \"1.7881\".",
     true},
    {"HzOnlyCylindersNeverSent", As(0x58), Answers({"AT CN=4\r\nAT HZVSMPH=2.5000\r\n"}), kPoll,
     S::Linked, "", true},
    {"ReportsNoNumber", As(0x2A), Answers({"AT CN=\r\n", "AT CN=x\r\n"}), kPoll, S::Linked,
     "The device has not taken the new settings: it reports cylinder number \"X\".", true},
};

INSTANTIATE_TEST_SUITE_P(Link, LinkEvents, ::testing::ValuesIn(kRows),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Link, SettingCommandsAreFifteenMillisecondsApart) {
    for (const std::uint8_t code : {0x2C, 0x58}) {  // both commands; the Hz command only
        LinkHarness h;
        As(code)(h);
        h.Wire();
        const std::uint32_t before = h.clock.now;
        h.link.ProceedToChange("6", 2.5);
        const auto& w = h.port.written;
        const std::size_t hz = h.port.WrittenText().find("AT HZ");
        ASSERT_NE(hz, std::string::npos);
        // After the cylinder command's last byte and its pause (readings t, t+1, t+2), 15 ms
        // from the next reading.
        EXPECT_EQ(w[hz].at - (hz ? w[hz - 1].at : before), hz ? 19u : 16u) << int{code};
    }
}

TEST(Link, OpenDiscardsWhatArrivedBeforeButKeepsThePartialLine) {
    LinkHarness h;
    h.link.Connect("COM1");
    h.Device("AT RP");  // a partial line stays in the window across reconnections
    h.link.Disconnect();
    h.port.open = true;  // open, but not by the link: its bytes are read and dropped
    h.Device("AT DV=1\r\n");
    h.port.open = false;
    h.port.pending.assign({'X', 'Y'});
    h.link.Connect("COM1");
    const auto& calls = h.port.calls;
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
              (std::vector<std::string>{"select 1", "open", "configure", "read"}));
    EXPECT_EQ(h.port.config.settings, "115200,n,8,1");
    h.Device("M=900\r\n");
    EXPECT_EQ(h.view.values.m_strEngineRpm, "900");
    EXPECT_EQ(h.view.values.m_strVoltage, "Not available");
    h.port.Receive("AT", kCommEventError);  // other events are not read
    EXPECT_EQ(h.port.pending.size(), 2u);
}

}  // namespace
}  // namespace zk4::test
