// The real dialog on the real serial layer against zk4-sim running as a separate process.
#include <gtest/gtest.h>
#include <QTest>

#include <algorithm>

#include "e2e/LiveDialog.h"
#include "e2e/SimLog.h"
#include "e2e/SimProcess.h"

namespace zk4::test {
namespace {

constexpr int kIdentifyMs = 4000;  // the first tick comes after one second

TEST(SimEndToEnd, WholeLifeOfALink) {
    LiveDialog t;
    const std::string log = t.dir / "sim.log";
    // A malformed port line: COM1 is used and the line is rewritten at the first tick.
    WriteFile(t.IniPath(), "COM=1\r\n");
    SimProcess sim(t.ExePath(), "COM1",
                   {"--product", "J1939-003", "--serial", "305419896", "--log", log});
    t.dlg->OnInitDialog();
    EXPECT_EQ(t.Text(IDC_PORT), "COM1");
    EXPECT_TRUE(t.dlg->m_bSavePending);

    // Searching: the first tick opens COM1, asks, and the device is identified.
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(ReadFile(t.IniPath()), "COM=1;\r\n");
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1939-003");
    EXPECT_EQ(t.Text(IDC_SERIAL_NO), "305419896");
    EXPECT_EQ(t.Text(IDC_FIRMWARE), "0.5N");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_VOLTAGE) != "Not available"; }, 3000));
    EXPECT_EQ(t.Text(IDC_CYLINDERS_REPORTED), "4");
    EXPECT_EQ(t.Text(IDC_HZ_PER_MPH_REPORTED), "1.7881");

    // Linked: one poll a second.
    const auto pollsBefore = CommandsMatching(ReadSimLog(log), "AT RALL").size();
    RunFor(3200);
    const auto polls = CommandsMatching(ReadSimLog(log), "AT RALL");
    EXPECT_GE(polls.size() - pollsBefore, 2u);
    EXPECT_LE(polls.size() - pollsBefore, 4u);

    // Factory Default: both commands, 15 ms apart at least, each byte paced.
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_FACTORY_DEFAULT), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return !CommandsMatching(ReadSimLog(log), "AT HZ=").empty(); }));
    {
        const auto cn = CommandsMatching(ReadSimLog(log), "AT CN=");
        const auto hz = CommandsMatching(ReadSimLog(log), "AT HZ=");
        ASSERT_EQ(cn.size(), 1u);
        ASSERT_EQ(hz.size(), 1u);
        EXPECT_EQ(cn[0].text, "AT CN=4\r\n");
        EXPECT_EQ(hz[0].text, "AT HZ=01.7881\r\n");
        EXPECT_GE(hz[0].firstUs - cn[0].lastUs, 15'000);
    }

    // Proceed to Change with typed values: the device reports them at the next polls.
    t.SetText(IDC_CYLINDERS, "6");
    t.SetText(IDC_HZ_PER_MPH, "2.5");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_CYLINDERS_REPORTED) == "6"; }, 3000));
    EXPECT_TRUE(t.Text(IDC_HZ_PER_MPH_REPORTED).startsWith("2.5"))
        << t.Text(IDC_HZ_PER_MPH_REPORTED).toStdString();
    EXPECT_EQ(CommandsMatching(ReadSimLog(log), "AT CN=").back().text, "AT CN=6\r\n");
    EXPECT_EQ(CommandsMatching(ReadSimLog(log), "AT HZ=").back().text, "AT HZ=02.5000\r\n");

    // The device falls silent: the dialog resets and searches; it comes back: identified again.
    sim.Pause();
    ASSERT_TRUE(WaitFor([&] { return !t.Identified(); }, 3000));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_EQ(t.Text(IDC_ENGINE_RPM), "Not available");
    sim.Resume();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1939-003");

    // The user picks another port with another device, disconnects and connects: the new
    // port is remembered after its identification. (The choice reaches the member with the
    // next device line, before the Disconnect puts the member back into the box.)
    SimProcess other(t.ExePath(), "COM3", {"--product", "OBD2-002", "--serial", "7"});
    t.SetText(IDC_PORT, "COM3");
    ASSERT_TRUE(WaitFor([&] { return t.dlg->m_strPort == "COM3"; }, 3000));
    t.dlg->OnDisconnect();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-OBD2-002");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(t.IniPath()) == "COM=3;\r\n"; }, 3000));
    EXPECT_TRUE(t.messages.empty()) << t.messages.front().text;
}

TEST(SimEndToEnd, EveryProductCodeEnablesItsSettings) {
    const struct {
        const char* code;
        const char* productId;
        bool cylinders;
        bool hz;
    } products[] = {
        {"0x2A", "ZK4-J1939-001", true, false}, {"0x2B", "ZK4-J1939-002", false, true},
        {"0x2C", "ZK4-J1939-003", true, true},  {"0x54", "ZK4-J1708-001", true, false},
        {"0x55", "ZK4-J1708-002", false, true}, {"0x56", "ZK4-J1708-003", true, true},
        {"0x57", "ZK4-OBD2-001", true, false},  {"0x58", "ZK4-OBD2-002", false, true},
        {"0x59", "ZK4-OBD2-003", true, true},   {"0x5A", "ZK4-COMBO-001", true, false},
        {"0x5B", "ZK4-COMBO-002", false, true}, {"0x5C", "ZK4-COMBO-003", true, true},
    };
    for (const auto& p : products) {
        SCOPED_TRACE(p.productId);
        LiveDialog t;
        SimProcess sim(t.ExePath(), "COM1", {"--code", p.code, "--serial", "4294967295"});
        t.dlg->OnInitDialog();
        t.dlg->OnConnect();
        ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
        EXPECT_EQ(t.Text(IDC_PRODUCT_ID), p.productId);
        EXPECT_EQ(t.Text(IDC_SERIAL_NO), "4294967295");
        EXPECT_EQ(t.Enabled(IDC_CYLINDERS), p.cylinders);
        EXPECT_EQ(t.Enabled(IDC_HZ_PER_MPH), p.hz);
        EXPECT_TRUE(t.Enabled(IDC_PROCEED));
        EXPECT_TRUE(t.messages.empty());
    }
}

TEST(SimEndToEnd, FirmwareMismatchHaltsWithTheMessage) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {"--product", "COMBO-003", "--firmware", "0.5M2"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return !t.messages.empty(); }, kIdentifyMs));
    EXPECT_NE(t.messages[0].text.find("version 0.5N"), std::string::npos);
    EXPECT_FALSE(t.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(t.Enabled(IDC_DISCONNECT));
    EXPECT_FALSE(t.Enabled(IDC_PROCEED));
    RunFor(1500);
    EXPECT_EQ(t.messages.size(), 1u);  // halted: no more polls, no more messages
}

TEST(SimEndToEnd, UnknownProductCodeStops) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {"--code", "0x30"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return !t.dlg->IsTimerRunning(kTimerId); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_TRUE(t.Enabled(IDC_CONNECT));
    EXPECT_TRUE(t.messages.empty());
}

TEST(SimEndToEnd, BadChecksumIsIgnoredAndTheNextConnectRecovers) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {"--product", "J1708-001", "--bad-checksum", "1"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    RunFor(500);
    EXPECT_FALSE(t.Identified());
    EXPECT_FALSE(t.dlg->m_bIdPending);
    // The next tick connects again and the second answer is good.
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1708-001");
}

TEST(SimEndToEnd, LowerCaseLinesBehindNoiseAreUnderstood) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1",
                   {"--product", "J1939-002", "--lowercase", "--noise", "--firmware", "0.5n7"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1939-002");
    EXPECT_EQ(t.Text(IDC_FIRMWARE), "0.5N7");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_HZ_PER_MPH_REPORTED) == "1.7881"; }, 3000));
    EXPECT_TRUE(t.messages.empty());
}

TEST(SimEndToEnd, SilenceResetsQuietlyAndSearchingGoesOn) {
    LiveDialog t;
    const std::string log = t.dir / "sim.log";
    SimProcess sim(t.ExePath(), "COM1", {"--silent-after", "2", "--log", log});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    ASSERT_TRUE(WaitFor([&] { return !t.Identified(); }, 5000));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_TRUE(t.dlg->IsTimerRunning(kTimerId));
    // Still searching: the three commands keep coming once a second.
    const auto asked = CommandsMatching(ReadSimLog(log), "AT ID?").size();
    RunFor(2200);
    EXPECT_GE(CommandsMatching(ReadSimLog(log), "AT ID?").size(), asked + 2);
    EXPECT_TRUE(t.messages.empty());
}

TEST(SimEndToEnd, HangUpWhileLinkedReturnsToTheDisconnectedLook) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {"--hangup-after", "2"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    ASSERT_TRUE(sim.WaitForExit(5000));
    ASSERT_TRUE(WaitFor([&] { return !t.Identified(); }, 4000));
    RunFor(2500);  // the dialog keeps running; nothing repeats by itself
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    EXPECT_LE(t.messages.size(), 1u);
    for (const auto& m : t.messages) {
        EXPECT_EQ(m.icon, MessageIcon::Stop);
        EXPECT_NE(m.text.find("COM1"), std::string::npos) << m.text;
    }
    EXPECT_FALSE(t.dlg->IsTimerRunning(kTimerId));
}

}  // namespace
}  // namespace zk4::test
