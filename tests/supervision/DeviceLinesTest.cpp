// Device lines and setting commands as the link applies them.
#include <gtest/gtest.h>

#include "support/LinkHarness.h"

namespace zk4::test {
namespace {

TEST(DeviceLines, ReportLinesReplaceTheirValueOnlyWhileThePortIsOurs) {
    const struct {
        const char* line;
        std::string DeviceValues::*member;
        const char* shown;  // nullptr: nothing changes
    } cases[] = {
        {"AT RPM=1500\r\n", &DeviceValues::m_strEngineRpm, "1500"},
        {"AT HZVSMPH=1.7881\r\n", &DeviceValues::m_strHzPerMphReported, "1.7881"},
        {"AT DV=\r\n", &DeviceValues::m_strVoltage, ""},
        {"AT MPH=55\r\n", &DeviceValues::m_strVehicleMph, "55"},
        {"AT CN=6\r\n", &DeviceValues::m_strCylindersReported, "6"},
        {"at fw=0.5n7\r\n", &DeviceValues::m_strFirmware, "0.5N7"},
        {"xyAT MPH=5\r\n", &DeviceValues::m_strVehicleMph, "5"},    // restarts on "AT "
        {"xAT RPM=1\r\n", &DeviceValues::m_strEngineRpm, nullptr},  // one stray byte: ignored
        {"AT XY=1\r\n", &DeviceValues::m_strEngineRpm, nullptr},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        LinkHarness h;
        h.link.Connect("COM1");
        const std::string before = h.view.values.*c.member;
        h.Device(c.line);
        EXPECT_EQ(h.view.values.*c.member, c.shown ? std::string(c.shown) : before);
    }
}

// Traffic keeps an identified device linked at the next tick; without it the tick resets.
TEST(DeviceLines, OnlyReportAndAcknowledgementLinesCountAsTraffic) {
    const std::pair<const char*, bool> cases[] = {
        {"AT XY=1\r\n", true},
        {"ACK OK\r\n", true},
        {"ACK IDA21000000000030\r\n", true},
        {"HELLO\r\n", false},
        {"xAT RPM=1\r\n", false},
        {"A\r\nAT DV=1\r\n", false},  // too short to end a line: joins the next one
    };
    for (const auto& [line, traffic] : cases) {
        SCOPED_TRACE(line);
        LinkHarness h;
        h.Identify();
        h.link.Tick("COM1");  // clears the traffic of the identification
        h.Device(line);
        h.link.Tick("COM1");
        EXPECT_EQ(h.link.State(), traffic ? LinkState::Linked : LinkState::Searching);
    }
}

TEST(DeviceLines, IdentificationShowsTheProductAndEnablesWhatTheVariantTakes) {
    const struct {
        std::string line;
        const char* productId;
        std::uint32_t serialNo;
        SettingControls settings;
    } cases[] = {
        {std::string(kIdJ1939_001), "ZK4-J1939-001", 1, {true, false, true}},
        {std::string(kIdJ1708_003), "ZK4-J1708-003", 305419896, {true, true, true}},
        {MakeIdLine(0x58, 4294967295u), "ZK4-OBD2-002", 4294967295u, {false, true, true}},
        {MakeIdLine(0x5A, 0), "ZK4-COMBO-001", 0, {true, false, true}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        LinkHarness h;
        h.Identify(kFirmwareOk, c.line);
        EXPECT_EQ(h.view.values.m_strProductId, c.productId);
        EXPECT_EQ(h.view.values.m_dwSerialNo, c.serialNo);
        EXPECT_EQ(h.view.values.m_strFirmware, "0.5N");
        EXPECT_EQ(h.view.settings, c.settings);
        EXPECT_EQ(h.link.State(), LinkState::Linked);
        EXPECT_TRUE(h.link.DeviceValid());
    }
}

TEST(DeviceLines, IdentificationNeedsAnOutstandingRequestAndAFirmwareLine) {
    LinkHarness h;
    h.link.Connect("COM1");
    h.Device(kIdJ1939_001);  // before any firmware line: ignored, still outstanding
    EXPECT_FALSE(h.link.Identified());
    h.Device(kFirmwareOk);
    h.Device(MakeIdLine(0x2A, 1, /*goodChecksum=*/false));  // uses up the request
    EXPECT_FALSE(h.link.Identified());
    h.Device(kIdJ1939_001);
    EXPECT_FALSE(h.link.Identified());
    h.link.Tick("COM7");  // ... but still asks for the port to be remembered
    EXPECT_EQ(h.view.saved, std::vector<std::string>{"COM7"});
    h.Device(kIdJ1939_001);  // the tick's Connect asked again
    EXPECT_TRUE(h.link.Identified());
    h.Device(kIdJ1708_003);  // a second identification is not asked for
    EXPECT_EQ(h.view.values.m_strProductId, "ZK4-J1939-001");
}

TEST(DeviceLines, HaltedDeviceStillShowsItsReports) {
    LinkHarness h;
    h.Identify("AT FW=0.5\r\n", kIdJ1708_003);
    EXPECT_EQ(h.view.settings, SettingControls{});
    EXPECT_EQ(h.view.values.m_strProductId, "ZK4-J1708-003");
    EXPECT_TRUE(h.link.DeviceValid());
    h.Device("AT RPM=700\r\n");
    EXPECT_EQ(h.view.values.m_strEngineRpm, "700");
}

TEST(DeviceLines, LineCompletedInsideTheFirmwareMessageIsFramedBehindTheOuterLine) {
    LinkHarness h;
    h.view.onMessage = [&] {
        h.Device("AT RPM=900\r\n");  // lands behind the 22-byte line still in the window: lost
        EXPECT_EQ(h.window.count, 0);
        h.Device("AT DV=13.1\r\nAT MP");  // handled; the partial line is dropped afterwards
    };
    h.Identify("AT FW=0.5M\r\n", kIdJ1708_003);
    EXPECT_EQ(h.view.values.m_strEngineRpm, "Not available");
    EXPECT_EQ(h.view.values.m_strVoltage, "13.1");
    EXPECT_EQ(h.window.count, 0);
    EXPECT_EQ(h.link.State(), LinkState::Halted);
}

TEST(DeviceLines, LargeReadIsFramedInFull) {
    LinkHarness h;
    h.link.Connect("COM1");
    std::string chunk;
    for (int i = 0; i < 400; ++i) {
        chunk += "AT RPM=" + std::to_string(i) + "\r\n";
    }
    h.Device(chunk);
    EXPECT_EQ(h.view.values.m_strEngineRpm, "399");
}

// The commands one click writes, split at line ends, with the clock between two commands.
struct Sent {
    std::vector<std::string> commands;
    std::vector<std::uint32_t> gaps;
};

Sent Split(const FakeSerialPort& port) {
    Sent sent;
    std::string current;
    std::uint32_t lastAt = 0;
    for (const auto& w : port.written) {
        if (current.empty() && !sent.commands.empty()) {
            sent.gaps.push_back(w.at - lastAt);
        }
        current.push_back(static_cast<char>(w.byte));
        lastAt = w.at;
        if (w.byte == '\n') {
            sent.commands.push_back(current);
            current.clear();
        }
    }
    return sent;
}

TEST(SettingCommands, EachVariantGetsWhatItTakesFifteenMillisecondsApart) {
    const struct {
        std::uint8_t code;
        const char* cylinders;
        double hz;
        std::vector<std::string> expected;
    } cases[] = {
        {0x2C, "6", 2.5, {"AT CN=6\r\n", "AT HZ=02.5000\r\n"}},  // J1939-003
        {0x54, "12", 2.5, {"AT CN=12\r\n"}},                     // J1708-001
        {0x58, "6", 2.5, {"AT HZ=02.5000\r\n"}},                 // OBD2-002
        {0x5A, "13", 1.15, {"AT CN=4\r\n"}},                     // COMBO-001
        {0x5C, "9", 99.9999, {"AT CN=9\r\n", "AT HZ=99.9999\r\n"}},
        {0x5C, "9", 100.0, {"AT CN=9\r\n"}},  // out of range: never encoded
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.code);
        LinkHarness h;
        h.Identify(kFirmwareOk, MakeIdLine(c.code, 42));
        h.port.ClearWritten();
        const std::uint32_t before = h.clock.now;
        h.link.ProceedToChange(c.cylinders, c.hz);
        const Sent sent = Split(h.port);
        EXPECT_EQ(sent.commands, c.expected);
        if (sent.commands.size() == 2) {
            // The last byte's pause (readings t, t+1, t+2), then 15 from the next reading.
            EXPECT_EQ(sent.gaps.at(0), 19u);
        } else if (sent.commands.at(0).starts_with("AT HZ")) {
            EXPECT_GE(h.port.written.front().at - before, 15u);  // waited first
        }
    }
    LinkHarness h;
    h.Identify(kFirmwareOk, kIdJ1708_003);
    h.port.ClearWritten();
    h.link.FactoryDefault();
    EXPECT_EQ(Split(h.port).commands,
              (std::vector<std::string>{"AT CN=4\r\n", "AT HZ=01.7881\r\n"}));
}

TEST(SettingCommands, ADeviceThatDoesNotTakeTheValuesIsToldOnceAfterTwoPolls) {
    const struct {
        const char* name;
        std::uint8_t code;
        std::vector<std::string> answers;  // to the polls after the change, in turn
        const char* message;               // nullptr: none
    } cases[] = {
        {"takes both", 0x2C, {"AT CN=6\r\nAT HZVSMPH=2.5000\r\n"}, nullptr},
        {"takes them at the second poll",
         0x2C,
         {"AT CN=4\r\nAT HZVSMPH=1.7881\r\n", "AT CN=6\r\nAT HZVSMPH=2.5\r\n"},
         nullptr},
        {"takes neither",
         0x2C,
         {"AT CN=4\r\nAT HZVSMPH=1.7881\r\n", "AT CN=4\r\nAT HZVSMPH=1.7881\r\n",
          "AT CN=4\r\nAT HZVSMPH=1.7881\r\n"},
         "The device has not taken the new settings: it reports cylinder number \"4\" and Hz per "
         "MPH \"1.7881\"."},
        {"Hz only, cylinders never sent",
         0x58,
         {"AT CN=4\r\nAT HZVSMPH=2.5000\r\n", "AT CN=4\r\nAT HZVSMPH=2.5000\r\n"},
         nullptr},
        {"reports no number",
         0x2A,
         {"AT CN=\r\n", "AT CN=x\r\n"},
         "The device has not taken the new settings: it reports cylinder number \"X\"."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        LinkHarness h;
        h.Identify(kFirmwareOk, MakeIdLine(c.code, 1));
        h.link.ProceedToChange("6", 2.5);
        for (const std::string& answer : c.answers) {
            h.link.Tick("COM1");  // a poll
            h.Device(answer);
        }
        h.link.Tick("COM1");
        h.Device(c.answers.back());
        h.link.Tick("COM1");
        if (c.message == nullptr) {
            EXPECT_TRUE(h.view.messages.empty()) << h.view.messages.front();
        } else {
            ASSERT_EQ(h.view.messages.size(), 1u);
            EXPECT_EQ(h.view.messages[0], c.message);
            EXPECT_EQ(h.view.icons[0], MessageIcon::Exclamation);
        }
    }
}

}  // namespace
}  // namespace zk4::test
