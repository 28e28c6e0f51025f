// Device lines as the dialog applies them: what is shown, what is enabled, which flags move.
#include <gtest/gtest.h>

#include "support/DialogHarness.h"

namespace zk4::test {
namespace {

TEST(DeviceLinesInDialog, ReportLinesReplaceTheirValueAndMarkTraffic) {
    const struct {
        const char* line;
        int id;
        const char* shown;
    } cases[] = {
        {"AT RPM=1500\r\n", IDC_ENGINE_RPM, "1500"},
        {"AT HZVSMPH=1.7881\r\n", IDC_HZ_PER_MPH_REPORTED, "1.7881"},
        {"AT DV=\r\n", IDC_VOLTAGE, ""},
        {"AT DV=12.6\r\n", IDC_VOLTAGE, "12.6"},
        {"AT MPH=55\r\n", IDC_VEHICLE_MPH, "55"},
        {"AT CN=6\r\n", IDC_CYLINDERS_REPORTED, "6"},
        {"at fw=0.5n7\r\n", IDC_FIRMWARE, "0.5N7"},
        {"xyAT MPH=5\r\n", IDC_VEHICLE_MPH, "5"},  // two stray bytes: restarts on "AT "
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DialogHarness h;
        h.dlg->OnConnect();
        h.Device(c.line);
        EXPECT_EQ(h.Text(c.id), QString::fromUtf8(c.shown));
        EXPECT_TRUE(h.dlg->m_bTraffic);
    }
}

TEST(DeviceLinesInDialog, LinesOtherThanReportsOrIdentificationChangeNoValue) {
    const struct {
        const char* line;
        bool traffic;
    } cases[] = {
        {"AT XY=1\r\n", true},
        {"ACK OK\r\n", true},
        {"ACK IDA21000000000030\r\n", true},  // 23 bytes: not an identification
        {"HELLO\r\n", false},
        {"xAT RPM=1\r\n", false},  // one stray byte: no restart, line ignored
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.line);
        DialogHarness h;
        h.dlg->OnConnect();
        h.Device("AT FW=0.5N\r\n");
        h.dlg->m_bTraffic = false;
        h.Device(c.line);
        EXPECT_EQ(h.dlg->m_bTraffic, c.traffic);
        EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "Not available");
        EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
        EXPECT_TRUE(h.dlg->m_bIdPending);
        EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    }
}

TEST(DeviceLinesInDialog, IdentificationEnablesWhatTheVariantSupports) {
    const struct {
        std::string line;
        const char* productId;
        const char* serialNo;
        bool cylinders;
        bool hz;
    } cases[] = {
        {std::string(kIdJ1939_001), "ZK4-J1939-001", "1", true, false},
        {std::string(kIdJ1708_003), "ZK4-J1708-003", "305419896", true, true},
        {MakeIdLine(0x58, 4294967295u), "ZK4-OBD2-002", "4294967295", false, true},
        {MakeIdLine(0x5A, 0), "ZK4-COMBO-001", "0", true, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        DialogHarness h;
        h.Identify("AT FW=0.5N\r\n", c.line);
        EXPECT_EQ(h.Text(IDC_PRODUCT_ID), c.productId);
        EXPECT_EQ(h.Text(IDC_SERIAL_NO), c.serialNo);
        EXPECT_EQ(h.Text(IDC_FIRMWARE), "0.5N");
        EXPECT_TRUE(h.Enabled(IDC_FACTORY_DEFAULT));
        EXPECT_TRUE(h.Enabled(IDC_PROCEED));
        EXPECT_EQ(h.Enabled(IDC_CYLINDERS), c.cylinders);
        EXPECT_EQ(h.Enabled(IDC_CYLINDER_GROUP), c.cylinders);
        EXPECT_EQ(h.Enabled(IDC_HZ_PER_MPH), c.hz);
        EXPECT_EQ(h.Enabled(IDC_HZ_GROUP), c.hz);
        EXPECT_TRUE(h.Enabled(IDC_DISCONNECT));
        EXPECT_FALSE(h.Enabled(IDC_CONNECT));
        EXPECT_TRUE(h.dlg->m_bSavePending);
        EXPECT_TRUE(h.dlg->m_bDeviceValid);
        EXPECT_FALSE(h.dlg->m_bIdPending);
        EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
        EXPECT_TRUE(h.messages.empty());
    }
}

TEST(DeviceLinesInDialog, WrongChecksumUsesUpTheRequestAndShowsNothing) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x2A, 1, /*goodChecksum=*/false));
    EXPECT_FALSE(h.dlg->m_bIdPending);
    EXPECT_TRUE(h.dlg->m_bSavePending);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    // The correct line is ignored until the next Connect asks again.
    h.Device(kIdJ1939_001);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    h.dlg->OnConnect();
    h.Device(kIdJ1939_001);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "ZK4-J1939-001");
}

TEST(DeviceLinesInDialog, IdentificationBeforeAnyFirmwareLineWaitsForIt) {
    DialogHarness h;
    h.dlg->OnConnect();
    h.Device(kIdJ1939_001);
    EXPECT_TRUE(h.dlg->m_bIdPending);
    EXPECT_FALSE(h.dlg->m_bSavePending);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    h.Device("AT FW=0.5N\r\n");
    h.Device(kIdJ1939_001);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "ZK4-J1939-001");
}

TEST(DeviceLinesInDialog, UnsupportedFirmwareHaltsWithOneMessage) {
    for (const char* firmware : {"AT FW=0.5M2\r\n", "AT FW=0.5\r\n", "AT FW=\r\n"}) {
        SCOPED_TRACE(firmware);
        DialogHarness h;
        h.Identify(firmware, kIdJ1708_003);
        ASSERT_EQ(h.messages.size(), 1u);
        EXPECT_EQ(h.messages[0].text,
                  "This release requires ZK4 (firmware) version 0.5N; please update your device "
                  "accordingly.");
        EXPECT_EQ(h.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
        EXPECT_TRUE(h.Enabled(IDC_DISCONNECT));
        EXPECT_FALSE(h.Enabled(IDC_CONNECT));
        for (int id : {IDC_CYLINDERS, IDC_HZ_PER_MPH, IDC_FACTORY_DEFAULT, IDC_PROCEED}) {
            EXPECT_FALSE(h.Enabled(id)) << id;
        }
        EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "ZK4-J1708-003");
        // The port stays open and report lines are still shown.
        h.Device("AT RPM=700\r\n");
        EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "700");
    }
}

TEST(DeviceLinesInDialog, UnknownProductCodeDisconnectsWithoutAMessage) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x30, 99));
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_EQ(h.Text(IDC_SERIAL_NO), "0");
    EXPECT_FALSE(h.dlg->m_bDeviceValid);
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    EXPECT_FALSE(h.Enabled(IDC_DISCONNECT));
    EXPECT_FALSE(h.serial.IsOpen());
}

TEST(DeviceLinesInDialog, SecondIdentificationWhileIdentifiedIsIgnored) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", kIdJ1939_001);
    h.Device(kIdJ1708_003);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "ZK4-J1939-001");
}

TEST(DeviceLinesInDialog, ReportCompletedInsideTheFirmwareMessageIsFramedBehindTheOuterLine) {
    DialogHarness h;
    // While the firmware message is up, its nested loop delivers a speed line and then,
    // after that hand-over, a voltage line and half a line.
    h.onMessage = [&](const RecordedMessage&) {
        h.Device("AT RPM=900\r\n");
        EXPECT_EQ(h.window.count, 0);
        h.Device("AT DV=13.1\r\nAT MP");
    };
    h.Identify("AT FW=0.5M\r\n", kIdJ1708_003);
    ASSERT_EQ(h.messages.size(), 1u);
    // The speed line arrived behind the 22-byte identification line: lost.
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "Not available");
    // Lines completed after that hand-over are handled normally; the partial one is dropped
    // when the outer handling returns.
    EXPECT_EQ(h.Text(IDC_VOLTAGE), "13.1");
    EXPECT_EQ(h.window.count, 0);
    // The dialog is consistent afterwards: halted, and still showing new values.
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_FALSE(h.Enabled(IDC_CONNECT));
    h.Device("AT MPH=30\r\n");
    EXPECT_EQ(h.Text(IDC_VEHICLE_MPH), "30");
}

TEST(DeviceLinesInDialog, BytesAreDroppedWhileThePortIsNotOurs) {
    DialogHarness h;
    h.serial.open = true;  // open, but not by OpenSelectedPort
    h.Device("AT RPM=1500\r\n");
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "Not available");
    EXPECT_EQ(h.window.count, 0);
    EXPECT_TRUE(h.serial.pending.empty());
    // Event codes other than "data received" are ignored without reading.
    h.dlg->OnConnect();
    h.serial.pending.assign({'A', 'T'});
    h.serial.Notify(kCommEventError);
    EXPECT_EQ(h.serial.pending.size(), 2u);
}

TEST(DeviceLinesInDialog, LargeReadIsFramedInFull) {
    DialogHarness h;
    h.dlg->OnConnect();
    std::string chunk;
    for (int i = 0; i < 400; ++i) {
        chunk += "AT RPM=" + std::to_string(i) + "\r\n";
    }
    ASSERT_GT(chunk.size(), 4096u);
    h.Device(chunk);
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "399");
}

}  // namespace
}  // namespace zk4::test
