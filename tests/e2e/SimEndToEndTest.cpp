// The real dialog on the real serial layer against zk4-sim running as a separate process. These
// check order and content on the wire; timing is checked against a fake clock elsewhere.
#include <gtest/gtest.h>
#include <QTest>

#include "e2e/LiveDialog.h"
#include "e2e/SimLog.h"
#include "e2e/SimProcess.h"

namespace zk4::test {
namespace {

constexpr int kIdentifyMs = 4000;  // the first tick comes after one second

std::vector<std::string> Texts(const std::vector<LoggedCommand>& commands) {
    std::vector<std::string> texts;
    for (const auto& c : commands) {
        texts.push_back(c.text);
    }
    return texts;
}

TEST(SimEndToEnd, WholeLifeOfALink) {
    LiveDialog t;
    const std::string log = t.dir / "sim.log";
    WriteFile(t.IniPath(), "COM=1\r\n");  // malformed: COM1, written back at the first tick
    SimProcess sim(t.ExePath(), "COM1",
                   {"--product", "J1939-003", "--serial", "305419896", "--log", log});
    t.dlg->OnInitDialog();
    EXPECT_EQ(t.Text(IDC_PORT), "COM1");

    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    const std::vector<std::string> burst = {"AT FW=?\r\n", "AT ID?\r\n", "AT RALL\r\n"};
    ASSERT_TRUE(WaitFor([&] { return Texts(ReadSimLog(log)) == burst; }, 500));
    EXPECT_EQ(ReadFile(t.IniPath()), "COM=1;\r\n");  // the first tick wrote it back
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1939-003");
    EXPECT_EQ(t.Text(IDC_SERIAL_NO), "305419896");
    EXPECT_EQ(t.Text(IDC_FIRMWARE), "0.5N");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_VOLTAGE) != "Not available"; }, 3000));
    EXPECT_EQ(t.Text(IDC_HZ_PER_MPH_REPORTED), "1.7881");

    // Linked: polls only, no more connect bursts.
    const auto asked = CommandsMatching(ReadSimLog(log), "AT ID?").size();
    const auto polls = CommandsMatching(ReadSimLog(log), "AT RALL").size();
    ASSERT_TRUE(WaitFor(
        [&] { return CommandsMatching(ReadSimLog(log), "AT RALL").size() >= polls + 2; }, 3500));
    EXPECT_EQ(CommandsMatching(ReadSimLog(log), "AT ID?").size(), asked);

    // Factory Default, then typed values: the device takes them and reports them.
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_FACTORY_DEFAULT), Qt::LeftButton);
    t.SetText(IDC_CYLINDERS, "6");
    t.SetText(IDC_HZ_PER_MPH, "2.5");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_CYLINDERS_REPORTED) == "6"; }, 3000));
    EXPECT_TRUE(t.Text(IDC_HZ_PER_MPH_REPORTED).startsWith("2.5"));
    const auto logged = ReadSimLog(log);
    const std::vector<std::string> settings = {"AT CN=4\r\n", "AT HZ=01.7881\r\n", "AT CN=6\r\n",
                                               "AT HZ=02.5000\r\n"};
    std::vector<std::string> sent;
    for (const auto& c : logged) {
        if (c.text.starts_with("AT CN=") || c.text.starts_with("AT HZ=")) {
            sent.push_back(c.text);
        }
    }
    EXPECT_EQ(sent, settings);

    // The device falls silent: reset and search; it comes back: identified again.
    sim.Pause();
    ASSERT_TRUE(WaitFor([&] { return !t.Identified(); }, 3000));
    EXPECT_EQ(t.Text(IDC_ENGINE_RPM), "Not available");
    sim.Resume();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));

    // Another port with another device: the choice reaches the link at the next Connect and
    // is remembered once the device there answers.
    SimProcess other(t.ExePath(), "COM3", {"--product", "OBD2-002", "--serial", "7"});
    t.SetText(IDC_PORT, "COM3");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_DISCONNECT), Qt::LeftButton);
    EXPECT_EQ(t.Text(IDC_PORT), "COM3");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-OBD2-002");
    ASSERT_TRUE(WaitFor([&] { return ReadFile(t.IniPath()) == "COM=3;\r\n"; }, 3000));
    EXPECT_TRUE(t.messages.empty()) << t.messages.front().text;
}

struct OutcomeRow {
    const char* name;
    std::vector<std::string> options;
    const char* productId;  // what the box shows in the end
    bool identified;
    const char* message;  // nullptr: none
};

void PrintTo(const OutcomeRow& row, std::ostream* os) {
    *os << row.name;
}

class SimOutcomes : public ::testing::TestWithParam<OutcomeRow> {};

TEST_P(SimOutcomes, DeviceEndsAsExpected) {
    const OutcomeRow& row = GetParam();
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", row.options);
    t.dlg->OnInitDialog();
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    ASSERT_TRUE(WaitFor(
        [&] {
            return t.Text(IDC_PRODUCT_ID) == row.productId && t.Identified() == row.identified &&
                   (row.message == nullptr || !t.messages.empty());
        },
        kIdentifyMs));
    RunFor(1200);  // nothing more comes by itself
    if (row.message == nullptr) {
        EXPECT_TRUE(t.messages.empty()) << t.messages.front().text;
    } else {
        ASSERT_EQ(t.messages.size(), 1u);
        EXPECT_NE(t.messages[0].text.find(row.message), std::string::npos) << t.messages[0].text;
    }
}

const OutcomeRow kOutcomes[] = {
    {"Cylinders", {"--code", "0x2A"}, "ZK4-J1939-001", true, nullptr},
    {"HzPerMph", {"--code", "0x58"}, "ZK4-OBD2-002", true, nullptr},
    {"Both", {"--code", "0x5C", "--serial", "4294967295"}, "ZK4-COMBO-003", true, nullptr},
    {"FirmwareMismatchHalts", {"--firmware", "0.5M2"}, "ZK4-J1939-003", true, "version 0.5N"},
    {"UnknownProductStops", {"--code", "0x30"}, "Not Found Yet!", false, nullptr},
    {"BadChecksumRecoversAtTheNextConnect",
     {"--bad-checksum", "1"},
     "ZK4-J1939-003",
     true,
     nullptr},
    {"LowerCaseBehindNoise",
     {"--product", "J1939-002", "--lowercase", "--noise", "--firmware", "0.5n7"},
     "ZK4-J1939-002",
     true,
     nullptr},
};

INSTANTIATE_TEST_SUITE_P(SimEndToEnd, SimOutcomes, ::testing::ValuesIn(kOutcomes),
                         [](const auto& info) { return std::string(info.param.name); });

TEST(SimEndToEnd, HangUpWhileLinkedIsToldOnceAndEndsDisconnected) {
    LiveDialog t;
    SimProcess sim(t.ExePath(), "COM1", {"--hangup-after", "2"});
    t.dlg->OnInitDialog();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    ASSERT_TRUE(sim.WaitForExit(5000));
    ASSERT_TRUE(WaitFor([&] { return !t.messages.empty(); }, 4000));
    RunFor(2500);  // the dialog keeps running; nothing repeats by itself
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "Not Found Yet!");
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].icon, MessageIcon::Stop);
    EXPECT_NE(t.messages[0].text.find("COM1"), std::string::npos) << t.messages[0].text;
}

TEST(SimEndToEnd, AnAdapterThatComesLaterOrComesBackIsFoundWithoutAClick) {
    LiveDialog t;
    WriteFile(t.IniPath(), "COM=10;\r\n");  // /dev/ttyUSB9 unless a link says otherwise
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.messages.size() == 1; }, kIdentifyMs));
    EXPECT_NE(t.messages[0].text.find("keeps looking"), std::string::npos) << t.messages[0].text;
    {
        SimProcess sim(t.ExePath(), "COM10", {});  // plugged in
        ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    }  // pulled out
    ASSERT_TRUE(WaitFor([&] { return !t.Identified() && t.messages.size() == 2; }, kIdentifyMs));
    RunFor(2500);  // searching quietly
    SimProcess sim(t.ExePath(), "COM10", {"--product", "OBD2-001"});  // the next truck
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-OBD2-001");
    EXPECT_EQ(t.messages.size(), 2u);
}

TEST(SimEndToEnd, RefusedCylinderEntrySendsNothingAndUntakenSettingsAreToldOnce) {
    LiveDialog t;
    const std::string log = t.dir / "sim.log";
    SimProcess sim(t.ExePath(), "COM1", {"--keep-settings", "--log", log});
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, kIdentifyMs));
    t.SetText(IDC_CYLINDERS, "13");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].text, "Please enter a number between 1 and 12.");
    t.SetText(IDC_CYLINDERS, "6");
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_TRUE(WaitFor([&] { return t.messages.size() == 2; }, 4500));
    EXPECT_EQ(t.messages[1].text,
              "The device has not taken the new settings: it reports cylinder number \"4\" and "
              "Hz per MPH \"1.7881\".");
    RunFor(2200);
    EXPECT_EQ(t.messages.size(), 2u);
    EXPECT_EQ(CommandsMatching(ReadSimLog(log), "AT CN=").size(), 1u);
}

}  // namespace
}  // namespace zk4::test
