// The link as a table of (state, event, device answer) -> (bytes on the wire, new state,
// message), with a fake port and clock.
#include <gtest/gtest.h>

#include <algorithm>

#include "support/LinkHarness.h"

namespace zk4::test {
namespace {

using S = LinkState;
using Step = std::function<void(LinkHarness&)>;

const std::string kGone = "Cannot open COM1 (/dev/ttyUSB0): the device does not exist.";

void Searching(LinkHarness&) {}
void Linked(LinkHarness& h) {
    h.Identify();
}
void Halted(LinkHarness& h) {
    h.Identify("AT FW=0.4\r\n");
    h.view.messages.clear();
}
void Stopped(LinkHarness& h) {
    h.link.Disconnect();
}
void Tick(LinkHarness& h) {
    h.link.Tick("COM1");
}

struct EventRow {
    const char* name;
    Step from;
    Step event;
    std::string wire;
    LinkState state;
    std::string message;  // empty: none
    bool portOpen;
};

void PrintTo(const EventRow& row, std::ostream* os) {
    *os << row.name;
}

class LinkEvents : public ::testing::TestWithParam<EventRow> {};

TEST_P(LinkEvents, SendStateAndMessage) {
    const EventRow& row = GetParam();
    LinkHarness h;
    row.from(h);
    h.Wire();
    row.event(h);
    EXPECT_EQ(h.Wire(), row.wire);
    EXPECT_EQ(h.link.State(), row.state);
    EXPECT_EQ(h.view.state, row.state);
    EXPECT_EQ(h.view.timer, h.link.TimerRunning());
    EXPECT_EQ(h.port.IsOpen(), row.portOpen);
    if (row.message.empty()) {
        EXPECT_TRUE(h.view.messages.empty()) << h.view.messages.front();
    } else {
        ASSERT_EQ(h.view.messages.size(), 1u);
        EXPECT_EQ(h.view.messages[0].substr(0, row.message.size()), row.message);
    }
}

const EventRow kEvents[] = {
    {"SilentSearchReopensAndAsksAgain", Searching, Tick, kConnectBurst, S::Searching, "", true},
    {"ValuesWithoutAnIdGetTheBurstAndASecondPoll", Searching,
     [](LinkHarness& h) {
         h.link.Tick("COM1");
         h.Device("AT FW=0.5N\r\nAT RPM=650\r\n");
         h.Wire();
         h.link.Tick("COM1");
     },
     kConnectBurst + kPoll, S::Searching, "", true},
    {"TalkingDeviceIsPolled", Linked, Tick, kPoll, S::Linked, "", true},
    {"SilentPeriodResetsAndSearchesAtOnce", Linked,
     [](LinkHarness& h) {
         h.link.Tick("COM1");
         h.Wire();
         h.link.Tick("COM1");
     },
     kConnectBurst, S::Searching, "", true},
    {"DisconnectStopsEverything", Linked, [](LinkHarness& h) { h.link.Disconnect(); }, "",
     S::Stopped, "", false},
    {"ConnectStartsSearching", Stopped, [](LinkHarness& h) { h.link.Connect("COM1"); },
     kConnectBurst, S::Searching, "", true},
    {"HaltedGetsNoTick", Halted, Tick, "", S::Halted, "", true},
    {"StoppedGetsNoTick", Stopped, Tick, "", S::Stopped, "", false},
    {"RefusedOpenAtASilentTickKeepsLooking", Searching,
     [](LinkHarness& h) {
         h.port.refuseOpen = kGone;
         h.link.Tick("COM1");
     },
     "", S::Searching, kGone, false},
    {"RefusedOpenAtATickWithTrafficKeepsLooking", Searching,
     [](LinkHarness& h) {
         h.link.Tick("COM1");
         h.Device("AT RPM=650\r\n");
         h.port.refuseOpen = kGone;
         h.Wire();
         h.link.Tick("COM1");
     },
     "", S::Searching, kGone, false},
    {"RefusedConnectClickKeepsLooking", Stopped,
     [](LinkHarness& h) {
         h.port.refuseOpen = kGone;
         h.link.Connect("COM1");
     },
     "", S::Searching, kGone, false},
    {"AdapterGoneWhileLinkedKeepsLooking", Linked,
     [](LinkHarness& h) {
         h.port.refuseWrite = "Cannot write to COM1: the device was disconnected.";
         h.link.Tick("COM1");
     },
     "", S::Searching, "Cannot write to COM1", false},
    {"UnsupportedFirmwareHalts", Searching,
     [](LinkHarness& h) { h.Identify("AT FW=0.5M2\r\n", kIdJ1708_003); }, kConnectBurst, S::Halted,
     "This release requires ZK4 (firmware) version 0.5N; please update your device accordingly.",
     true},
    {"UnknownProductStopsQuietly", Searching,
     [](LinkHarness& h) { h.Identify(kFirmwareOk, MakeIdLine(0x30, 99)); }, kConnectBurst,
     S::Stopped, "", false},
    {"ExitClosesAndStops", Linked, [](LinkHarness& h) { h.link.CloseForExit(); }, "", S::Halted, "",
     false},
    {"ChangeAfterExitIsRefusedByTheClosedPort", Linked,
     [](LinkHarness& h) {
         h.link.CloseForExit();
         h.link.ProceedToChange("6", 2.5);
     },
     "", S::Searching, "The port is not open.", false},
};

INSTANTIATE_TEST_SUITE_P(Link, LinkEvents, ::testing::ValuesIn(kEvents),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(Link, AMissingPortIsToldOnceTriedQuietlyAndConnectedWhenItComes) {
    LinkHarness h;
    h.port.refuseOpen = kGone;
    for (int tick = 0; tick < 3; ++tick) {
        h.link.Tick("COM1");
    }
    ASSERT_EQ(h.view.messages.size(), 1u);
    EXPECT_NE(h.view.messages[0].find("keeps looking"), std::string::npos);
    // One failed open a second, nothing more.
    EXPECT_EQ(std::count(h.port.calls.begin(), h.port.calls.end(), "open"), 3);
    h.port.refuseOpen.reset();  // the adapter is plugged in
    h.link.Tick("COM1");
    EXPECT_EQ(h.Wire(), kConnectBurst);
    h.Device(kFirmwareOk);
    h.Device(kIdJ1939_001);
    EXPECT_EQ(h.link.State(), LinkState::Linked);

    h.port.refuseWrite = "gone";  // pulled out again: told again, once
    h.link.Tick("COM1");
    h.port.refuseWrite.reset();
    h.port.refuseOpen = kGone;
    h.link.Tick("COM1");
    h.link.Tick("COM1");
    EXPECT_EQ(h.view.messages.size(), 2u);
    h.link.Disconnect();  // stops the trying until Connect
    EXPECT_FALSE(h.view.timer);
    h.link.Connect("COM1");  // a click is always answered
    EXPECT_EQ(h.view.messages.size(), 3u);
}

TEST(Link, RefusalsAreStopIconsAndNeverStacked) {
    LinkHarness h;
    h.port.refuseOpen = kGone;
    int nested = 0;
    h.view.onMessage = [&] {
        if (nested++ == 0) {
            h.link.Connect("COM1");  // a click inside the box's nested loop
        }
    };
    h.link.Connect("COM1");
    EXPECT_EQ(h.view.messages.size(), 1u);
    EXPECT_EQ(h.view.icons.at(0), MessageIcon::Stop);
    h.link.Connect("COM1");  // once the box is gone, the next click is told again
    EXPECT_EQ(h.view.messages.size(), 2u);
}

TEST(Link, ResetShowsThePlaceholdersAndDisablesTheSettings) {
    LinkHarness h;
    h.Identify(kFirmwareOk, kIdJ1708_003);
    h.Device("AT RPM=800\r\n");
    EXPECT_EQ(h.view.values.m_strEngineRpm, "800");
    EXPECT_EQ(h.view.settings, (SettingControls{true, true, true}));
    const int resetsBefore = h.view.resets;
    h.link.Disconnect();
    const DeviceValues& v = h.view.values;
    EXPECT_EQ(v.m_strProductId, "Not Found Yet!");
    EXPECT_EQ(v.m_strFirmware, "Not Found Yet!");
    EXPECT_EQ(v.m_dwSerialNo, 0u);
    for (const std::string* s : {&v.m_strVoltage, &v.m_strEngineRpm, &v.m_strVehicleMph,
                                 &v.m_strCylindersReported, &v.m_strHzPerMphReported}) {
        EXPECT_EQ(*s, "Not available");
    }
    EXPECT_EQ(h.view.settings, SettingControls{});
    EXPECT_EQ(h.view.resets, resetsBefore + 1);
    EXPECT_FALSE(h.link.DeviceValid());
}

TEST(Link, PortSaveWaitsForTheNextRunningTick) {
    LinkHarness h;
    h.link.Tick("COM12");
    EXPECT_TRUE(h.view.saved.empty());
    h.Device(kFirmwareOk);
    h.Device(kIdJ1939_001);  // an identification asks for the port to be remembered
    EXPECT_TRUE(h.view.saved.empty());
    h.link.Tick("COM12");
    EXPECT_EQ(h.view.saved, std::vector<std::string>{"COM12"});
    h.link.Tick("COM12");
    EXPECT_EQ(h.view.saved.size(), 1u);

    // Halted: no tick runs, so the save waits for the next Connect's ticks.
    h.link.Disconnect();
    h.link.Connect("COM3");
    h.Device("AT FW=0.4\r\n");
    h.Device(kIdJ1939_001);
    h.link.Tick("COM3");
    EXPECT_EQ(h.view.saved.size(), 1u);
    h.link.Disconnect();
    h.link.Connect("COM3");
    h.link.Tick("COM3");
    EXPECT_EQ(h.view.saved.back(), "COM3");

    LinkHarness fromFile;  // a malformed line in the settings file
    fromFile.link.Start(true);
    fromFile.link.Tick("COM1");
    EXPECT_EQ(fromFile.view.saved, std::vector<std::string>{"COM1"});
}

TEST(Link, PortNamesSelectTheirNumberElseOne) {
    const std::pair<const char*, int> names[] = {{"COM30", 30}, {"COM7", 7}, {"COM31", 1},
                                                 {"COM0", 1},   {"com5", 1}, {"COM05", 1},
                                                 {"", 1},       {"COM 3", 1}};
    for (const auto& [name, number] : names) {
        LinkHarness h;
        h.link.Connect(name);
        EXPECT_EQ(h.port.selected, number) << name;
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
    EXPECT_TRUE(h.port.pending.empty());
    const auto& calls = h.port.calls;
    EXPECT_EQ(std::vector<std::string>(calls.end() - 4, calls.end()),
              (std::vector<std::string>{"select 1", "open", "configure", "read"}));
    EXPECT_EQ(h.port.config.settings, "115200,n,8,1");
    h.Device("M=900\r\n");
    EXPECT_EQ(h.view.values.m_strEngineRpm, "900");
    EXPECT_EQ(h.view.values.m_strVoltage, "Not available");
    h.port.pending.assign({'A', 'T'});
    h.port.Notify(kCommEventError);  // other events are not read
    EXPECT_EQ(h.port.pending.size(), 2u);
}

}  // namespace
}  // namespace zk4::test
