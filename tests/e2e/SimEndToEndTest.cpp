// The real dialog on the real serial layer and the steady clock against zk4-sim running as a
// separate process, in its own folder (its own ZK4.ini and ports/), with messages recorded
// instead of shown. These check what the user sees of a real device; the bytes on the wire and
// their timing are checked against a fake port and clock elsewhere.
#include <gtest/gtest.h>
#include <QDeadlineTimer>
#include <QTest>

#include <numeric>

#include "e2e/SimProcess.h"
#include "serial/QtSerialPort.h"
#include "support/DialogHarness.h"

namespace zk4::test {
namespace {

// Runs the event loop (timer ticks included) until `done` holds or the deadline passes; the
// first tick comes after one second.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 4000) {
    for (const QDeadlineTimer deadline(timeoutMs); !done() && !deadline.hasExpired();) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    }
    return done();
}

struct LiveDialog : DialogOn<QtSerialPort, SteadyClock> {
    // What the user sees of an identified device.
    bool Identified() const {
        return Text(IDC_PRODUCT_ID).startsWith("ZK4-") && Enabled(IDC_DISCONNECT);
    }
    std::string Said() const {  // every message, one a line
        return std::accumulate(
            messages.begin(), messages.end(), std::string(),
            [](const std::string& said, const RecordedMessage& m) { return said + m.text + "\n"; });
    }
};

TEST(SimEndToEnd, WholeLifeOfALink) {
    LiveDialog t;
    // A device that answers in lower case, with stray bytes ahead of each line, and with a bad
    // checksum in its first identification.
    SimProcess sim(t.exe, "COM1",
                   {"--product", "J1939-003", "--serial", "305419896", "--lowercase", "--noise",
                    "--bad-checksum", "1"});
    t.dlg->OnInitDialog();
    ASSERT_TRUE(WaitFor([&] { return t.Identified(); }, 6000));
    EXPECT_EQ((t.Text(IDC_PRODUCT_ID) + " " + t.Text(IDC_SERIAL_NO) + " " + t.Text(IDC_FIRMWARE))
                  .toStdString(),
              "ZK4-J1939-003 305419896 0.5N");
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_HZ_PER_MPH_REPORTED) == "1.7881"; }, 3000));

    // Typed values: the device takes them and reports them.
    t.SetText(IDC_CYLINDERS, "6");
    t.SetText(IDC_HZ_PER_MPH, "2.5");
    t.Click(IDC_PROCEED);
    ASSERT_TRUE(WaitFor([&] { return t.Text(IDC_CYLINDERS_REPORTED) == "6"; }, 3000));
    EXPECT_TRUE(t.Text(IDC_HZ_PER_MPH_REPORTED).startsWith("2.5"));

    // Another port with another device: the choice reaches the link at the next Connect and
    // is remembered once the device there answers.
    SimProcess other(t.exe, "COM3", {"--serial", "7", "--keep-settings"});
    t.SetText(IDC_PORT, "COM3");
    t.Click(IDC_DISCONNECT);
    t.Click(IDC_CONNECT);
    ASSERT_TRUE(WaitFor([&] { return t.Identified() && t.Text(IDC_SERIAL_NO) == "7"; }));
    EXPECT_EQ(t.Said(), "");

    // A refused cylinder entry sends nothing; settings the device does not take are told once.
    const std::string refused = "Please enter a number between 1 and 12.\n";
    t.SetText(IDC_CYLINDERS, "13");
    t.Click(IDC_PROCEED);
    EXPECT_EQ(t.Said(), refused);
    t.SetText(IDC_CYLINDERS, "6");
    t.Click(IDC_PROCEED);
    ASSERT_TRUE(WaitFor([&] { return t.messages.size() == 2; }, 4500));
    // Hz per MPH went back to 1.7881 at the Disconnect, which the device still holds.
    EXPECT_EQ(t.Said(), refused +
                            "The device has not taken the new cylinder number: it reports "
                            "\"4\".\n");
}

}  // namespace
}  // namespace zk4::test
