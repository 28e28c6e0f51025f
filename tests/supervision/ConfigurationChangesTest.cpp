// Proceed to Change and Factory Default: the exact bytes on the wire and the 15 ms wait.
#include <gtest/gtest.h>
#include <QTest>

#include "support/DialogHarness.h"

namespace zk4::test {
namespace {

// The commands written by one button click, split at line ends, with the clock reading
// between the last byte of one command and the first byte of the next.
struct Sent {
    std::vector<std::string> commands;
    std::vector<std::uint32_t> gaps;
};

Sent Split(const FakeSerialPort& serial) {
    Sent sent;
    std::string current;
    std::uint32_t lastAt = 0;
    for (const auto& w : serial.written) {
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

TEST(ConfigurationChanges, EachVariantGetsTheCommandsItAccepts) {
    const struct {
        std::uint8_t code;
        const char* cylinders;
        const char* hz;
        std::vector<std::string> expected;
    } cases[] = {
        {0x2C, "6", "2.5", {"AT CN=6\r\n", "AT HZ=02.5000\r\n"}},  // J1939-003
        {0x54, "12", "2.5", {"AT CN=12\r\n"}},                     // J1708-001
        {0x58, "6", "2.5", {"AT HZ=02.5000\r\n"}},                 // OBD2-002
        {0x5A, "0", "1.15", {"AT CN=4\r\n"}},                      // COMBO-001
        {0x5A, "13", "1.15", {"AT CN=4\r\n"}},
        {0x5C, "9", "99.9999", {"AT CN=9\r\n", "AT HZ=99.9999\r\n"}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(std::to_string(c.code) + " " + c.cylinders);
        DialogHarness h;
        h.Identify("AT FW=0.5N\r\n", MakeIdLine(c.code, 42));
        h.SetText(IDC_CYLINDERS, c.cylinders);
        h.SetText(IDC_HZ_PER_MPH, c.hz);
        h.serial.ClearWritten();
        const std::uint32_t before = h.clock.now;

        QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);

        const Sent sent = Split(h.serial);
        EXPECT_EQ(sent.commands, c.expected);
        EXPECT_TRUE(h.messages.empty());
        if (sent.commands.size() == 2) {
            // Two units of pacing after the last cylinder byte, then the 15 ms wait.
            ASSERT_EQ(sent.gaps.size(), 1u);
            EXPECT_GE(sent.gaps[0], 17u);
        }
        if (c.expected.size() == 1 && c.expected[0].rfind("AT HZ", 0) == 0) {
            // The wait runs even though no cylinder command went before.
            EXPECT_GE(h.serial.written.front().at - before, 15u);
        }
    }
}

TEST(ConfigurationChanges, CylinderComboIsDisabledForHzOnlyVariants) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x58, 1));
    EXPECT_FALSE(h.Enabled(IDC_CYLINDERS));
    EXPECT_TRUE(h.Enabled(IDC_HZ_PER_MPH));
}

TEST(ConfigurationChanges, FactoryDefaultShowsAndSendsTheFactoryValues) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x2C, 42));
    h.SetText(IDC_CYLINDERS, "8");
    h.SetText(IDC_HZ_PER_MPH, "abc");  // replaced before it is read
    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_FACTORY_DEFAULT), Qt::LeftButton);
    EXPECT_EQ(h.Text(IDC_CYLINDERS), "4");
    EXPECT_EQ(h.Text(IDC_HZ_PER_MPH), "1.7881");
    EXPECT_EQ(Split(h.serial).commands,
              (std::vector<std::string>{"AT CN=4\r\n", "AT HZ=01.7881\r\n"}));
    EXPECT_TRUE(h.messages.empty());
}

TEST(ConfigurationChanges, RejectedEntrySendsNothing) {
    for (const char* entry : {"abc", "100", "0.2"}) {
        SCOPED_TRACE(entry);
        DialogHarness h;
        h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x2C, 42));
        h.SetText(IDC_HZ_PER_MPH, entry);
        h.serial.ClearWritten();
        h.dlg->RunHandler([&] { h.dlg->OnProceedToChange(); });
        EXPECT_EQ(h.serial.WrittenText(), "");
        EXPECT_EQ(h.messages.size(), 1u);
    }
}

TEST(ConfigurationChanges, ClickAfterAFailedExitIsRefusedByTheClosedPort) {
    DialogHarness h;
    h.Identify("AT FW=0.5N\r\n", MakeIdLine(0x2A, 42));
    h.dlg->EnableDlgItem(IDC_HZ_PER_MPH, true);
    h.SetText(IDC_HZ_PER_MPH, "abc");
    h.dlg->accept();  // Exit: port closed, timer stopped, validation fails
    ASSERT_EQ(h.messages.size(), 1u);
    h.SetText(IDC_HZ_PER_MPH, "2");
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_EQ(h.messages.size(), 2u);
    EXPECT_EQ(h.messages[1].icon, MessageIcon::Stop);
    EXPECT_EQ(h.serial.WrittenText(), "AT FW=?\r\nAT ID?\r\nAT RALL\r\n");  // nothing since
}

}  // namespace
}  // namespace zk4::test
