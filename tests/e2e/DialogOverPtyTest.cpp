// The real dialog on the real serial layer, talking to a device on a pseudo-terminal.
#include <gtest/gtest.h>
#include <QElapsedTimer>
#include <QTest>

#include <algorithm>

#include "e2e/LiveDialog.h"
#include "e2e/PtyDevice.h"

namespace zk4::test {
namespace {

using DialogOverPty = LiveDialog;

TEST(DialogOverPty, ConnectSendsPacedCommandsAndTheAnswersIdentifyTheDevice) {
    DialogOverPty t;
    PtyDevice device(t.dir.Path() / "ports", "COM1");
    t.dlg->OnInitDialog();
    // Input that was waiting before the port opened belongs to nobody.
    device.Send("AT RPM=111\r\n");

    QElapsedTimer sending;
    sending.start();
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    const qint64 sendingNs = sending.nsecsElapsed();
    ASSERT_TRUE(t.messages.empty()) << t.messages[0].text;
    ASSERT_TRUE(WaitFor([&] { return device.Received().size() >= 26; }));
    EXPECT_EQ(device.ReceivedText(), "AT FW=?\r\nAT ID?\r\nAT RALL\r\n");
    RunFor(200);
    EXPECT_EQ(t.Text(IDC_ENGINE_RPM), "Not available");  // the line sent before the open

    // Every byte is followed by a pause of at least one millisecond: the click cannot have
    // taken less than 26 ms.
    EXPECT_GE(sendingNs, 26'000'000);
    // On the wire the bytes come one by one. The reader thread may itself be scheduled late
    // on a busy machine (or under valgrind) and then see two bytes at once, so some short
    // gaps are tolerated, but the typical gap must be a pause.
    const auto arrivals = device.Received();
    std::vector<std::chrono::nanoseconds> gaps;
    for (std::size_t i = 1; i < arrivals.size(); ++i) {
        gaps.push_back(arrivals[i].at - arrivals[i - 1].at);
    }
    std::sort(gaps.begin(), gaps.end());
    EXPECT_GE(gaps[gaps.size() / 2], std::chrono::microseconds(900));
    const auto shortGaps = std::count_if(gaps.begin(), gaps.end(),
                                         [](auto g) { return g < std::chrono::microseconds(900); });
    EXPECT_LE(shortGaps, static_cast<long>(gaps.size() / 4));

    device.Send("AT FW=0.5N\r\n");
    device.Send(std::string(kIdJ1708_003));
    device.Send("AT RPM=1234\r\nAT HZVSMPH=1.7881\r\n");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_ENGINE_RPM) == "1234"; }));
    EXPECT_EQ(t.Text(IDC_PRODUCT_ID), "ZK4-J1708-003");
    EXPECT_EQ(t.Text(IDC_SERIAL_NO), "305419896");
    EXPECT_EQ(t.Text(IDC_FIRMWARE), "0.5N");
    EXPECT_EQ(t.Text(IDC_HZ_PER_MPH_REPORTED), "1.7881");
    EXPECT_TRUE(t.dlg->IsDlgItemEnabled(IDC_CYLINDERS));
    EXPECT_TRUE(t.dlg->IsDlgItemEnabled(IDC_HZ_PER_MPH));
    EXPECT_TRUE(t.dlg->IsDlgItemEnabled(IDC_PROCEED));
    EXPECT_FALSE(t.dlg->IsDlgItemEnabled(IDC_CONNECT));
    EXPECT_TRUE(t.messages.empty());

    // Connect again while open: the port is re-opened and asked again.
    t.dlg->OnDisconnect();
    device.ClearReceived();
    t.dlg->OnConnect();
    ASSERT_TRUE(WaitFor([&] { return device.Received().size() >= 26; }));
    EXPECT_EQ(device.ReceivedText(), "AT FW=?\r\nAT ID?\r\nAT RALL\r\n");
}

TEST(DialogOverPty, MissingPortEndsTheClickWithOneStopMessageNamingTheDevice) {
    DialogOverPty t;
    std::filesystem::create_directories(t.dir.Path() / "ports");
    std::filesystem::create_symlink("/dev/zk4-no-such-adapter", t.dir.Path() / "ports" / "COM1");
    t.dlg->OnInitDialog();
    QTest::mouseClick(t.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    ASSERT_EQ(t.messages.size(), 1u);
    EXPECT_EQ(t.messages[0].icon, MessageIcon::Stop);
    EXPECT_NE(t.messages[0].text.find("/dev/zk4-no-such-adapter"), std::string::npos);
    EXPECT_NE(t.messages[0].text.find("does not exist"), std::string::npos);
    EXPECT_FALSE(t.dlg->m_bPortOpen);
}

}  // namespace
}  // namespace zk4::test
