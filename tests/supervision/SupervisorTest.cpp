// The connection supervisor on the real dialog: ticks are driven by hand, the port is a fake.
#include <gtest/gtest.h>
#include <QCoreApplication>
#include <filesystem>

#include "support/DialogHarness.h"

namespace zk4::test {
namespace {

const std::string kConnectBurst = "AT FW=?\r\nAT ID?\r\nAT RALL\r\n";
const std::string kPoll = "AT RALL\r\n";

void Linked(DialogHarness& h) {
    h.Identify("AT FW=0.5N\r\n", kIdJ1939_001);
    ASSERT_FALSE(h.Enabled(IDC_CONNECT));
}

TEST(Supervisor, WithoutADeviceEveryTickReopensAndAsksAgain) {
    DialogHarness h;
    for (int tick = 0; tick < 3; ++tick) {
        SCOPED_TRACE(tick);
        h.serial.ClearWritten();
        const int opensBefore = h.serial.opens;
        h.dlg->RunTimerTick();
        EXPECT_EQ(h.serial.opens, opensBefore + 1);
        EXPECT_EQ(h.serial.WrittenText(), kConnectBurst);
        EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
        EXPECT_TRUE(h.Enabled(IDC_CONNECT));
        EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    }
    EXPECT_TRUE(h.messages.empty());
}

TEST(Supervisor, LinkedDeviceIsPolledAndItsSilenceResetsAndReconnects) {
    DialogHarness h;
    Linked(h);
    h.serial.ClearWritten();
    h.dlg->RunTimerTick();  // traffic since the last tick: one poll
    EXPECT_EQ(h.serial.WrittenText(), kPoll);
    h.Device("AT RPM=800\r\n");
    h.serial.ClearWritten();
    h.dlg->RunTimerTick();
    EXPECT_EQ(h.serial.WrittenText(), kPoll);
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "800");

    // A whole period without a line: reset, then at once a new search.
    h.serial.ClearWritten();
    h.dlg->RunTimerTick();
    EXPECT_EQ(h.serial.WrittenText(), kConnectBurst);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "Not available");
    EXPECT_FALSE(h.Enabled(IDC_PROCEED));
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(h.messages.empty());
}

TEST(Supervisor, DisconnectWhileLinkedStopsEverythingUntilConnect) {
    DialogHarness h;
    Linked(h);
    h.serial.ClearWritten();
    h.dlg->OnDisconnect();
    EXPECT_FALSE(h.serial.IsOpen());
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    EXPECT_FALSE(h.Enabled(IDC_DISCONNECT));
    EXPECT_EQ(h.serial.WrittenText(), "");
    h.dlg->OnConnect();
    EXPECT_EQ(h.serial.WrittenText(), kConnectBurst);
    EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
}

TEST(Supervisor, DeviceThatNeverIdentifiesGetsTheBurstAndASecondPoll) {
    DialogHarness h;
    h.dlg->RunTimerTick();
    h.Device("AT FW=0.5N\r\nAT RPM=650\r\n");  // values, but no answer to "AT ID?"
    h.serial.ClearWritten();
    h.dlg->RunTimerTick();
    EXPECT_EQ(h.serial.WrittenText(), kConnectBurst + kPoll);
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
}

TEST(Supervisor, RefusedPortAtATickIsReportedOnceAndStops) {
    for (bool traffic : {false, true}) {
        SCOPED_TRACE(traffic ? "with traffic" : "silent");
        DialogHarness h;
        h.dlg->RunTimerTick();
        if (traffic) {
            h.Device("AT RPM=650\r\n");
        }
        h.serial.refuseOpen = "Cannot open COM1 (/dev/ttyUSB0): the device does not exist.";
        h.dlg->RunTimerTick();
        ASSERT_EQ(h.messages.size(), 1u);
        EXPECT_EQ(h.messages[0].text, *h.serial.refuseOpen);
        EXPECT_EQ(h.messages[0].icon, MessageIcon::Stop);
        EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));  // Stopped: nothing retries by itself
        EXPECT_TRUE(h.Enabled(IDC_CONNECT));
        EXPECT_FALSE(h.dlg->m_bPortOpen);

        // Connect tries once more and says so again.
        h.serial.ClearWritten();
        h.dlg->RunHandler([&] { h.dlg->OnConnect(); });
        EXPECT_EQ(h.messages.size(), 2u);
        EXPECT_EQ(h.serial.WrittenText(), "");
    }
}

TEST(Supervisor, ARefusalWhileAnotherIsShownIsNotStacked) {
    DialogHarness h;
    h.serial.refuseOpen = "Cannot open COM1 (/dev/ttyUSB0): the port is in use by another program.";
    int nested = 0;
    h.onMessage = [&](const RecordedMessage&) {
        if (nested++ == 0) {
            h.dlg->RunHandler([&] { h.dlg->OnConnect(); });  // a click inside the box's loop
        }
    };
    h.dlg->RunHandler([&] { h.dlg->OnConnect(); });
    EXPECT_EQ(h.messages.size(), 1u);
}

TEST(Supervisor, AdapterGoneWhileLinkedEndsInTheDisconnectedLook) {
    DialogHarness h;
    Linked(h);
    h.serial.refuseWrite = "Cannot write to COM1: the device was disconnected.";
    h.dlg->RunTimerTick();
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].icon, MessageIcon::Stop);
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_TRUE(h.Enabled(IDC_CONNECT));
    EXPECT_FALSE(h.serial.IsOpen());
}

TEST(Supervisor, PendingSaveIsWrittenAtTheNextTickAndHeldWhileNoTimerRuns) {
    const std::string ini = "COM=5;\r\n";
    DialogHarness h(&ini);
    h.SetText(IDC_PORT, "COM12");
    h.Identify("AT FW=0.5N\r\n", kIdJ1939_001);
    EXPECT_EQ(ReadFile(h.IniPath()), "COM=5;\r\n");  // not before the tick
    h.dlg->RunTimerTick();
    EXPECT_EQ(ReadFile(h.IniPath()), "COM=12;\r\n");
    EXPECT_FALSE(h.dlg->m_bSavePending);

    // Halted (rejected firmware): no tick comes, so the save waits for the next Connect.
    h.dlg->OnDisconnect();
    h.SetText(IDC_PORT, "COM3");
    h.Identify("AT FW=0.4\r\n", kIdJ1939_001);
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(h.dlg->m_bSavePending);
    EXPECT_EQ(ReadFile(h.IniPath()), "COM=12;\r\n");
    h.dlg->OnDisconnect();
    h.dlg->OnConnect();
    h.dlg->RunTimerTick();
    EXPECT_EQ(ReadFile(h.IniPath()), "COM=3;\r\n\n");
}

TEST(Supervisor, MalformedPortLineIsRewrittenAtTheFirstTick) {
    const std::string ini = "COM=5\r\n";
    DialogHarness h(&ini);
    EXPECT_EQ(h.Text(IDC_PORT), "COM1");
    EXPECT_TRUE(h.dlg->m_bSavePending);
    h.dlg->RunTimerTick();
    EXPECT_EQ(ReadFile(h.IniPath()), "COM=1;\r\n");
}

TEST(Supervisor, FailedSettingsWriteIsToldOnceAndTicksGoOn) {
    DialogHarness h;
    Linked(h);
    std::filesystem::remove(h.IniPath());
    std::filesystem::create_directory(h.IniPath());  // the file cannot be written any more
    for (int i = 0; i < 3; ++i) {
        h.dlg->m_bSavePending = true;
        h.Device("AT RPM=1\r\n");
        h.dlg->RunTimerTick();
        QCoreApplication::processEvents();
        EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
        EXPECT_FALSE(h.dlg->m_bSavePending);
    }
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_NE(h.messages[0].text.find("ZK4.ini"), std::string::npos);
    EXPECT_EQ(h.messages[0].icon, MessageIcon::Exclamation);
}

}  // namespace
}  // namespace zk4::test
