// What only the real window can answer: the template, tab order, keys, who writes which box,
// the window menu and the About box. The link's behaviour is tested without a window.
#include <gtest/gtest.h>
#include <QApplication>
#include <QGroupBox>
#include <QLineEdit>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <QTimer>
#include <filesystem>

#include "support/DialogHarness.h"
#include "ui/AboutDlg.h"

namespace zk4::test {
namespace {

// The window shown and active, with an identified device: the setting entries are usable.
struct Shown : DialogHarness {
    Shown() {
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        Identify();
    }
};

TEST(MainDialog, StartsFromTheTemplateInTheDisconnectedLookWithItsTabOrder) {
    DialogHarness h("COM=7;\r\n");
    // Each control as stacked (frames beneath): "~" before a disabled one, "^" before a centred
    // title, "#" after a read-only box, and after a combo box "+", how many items and the last.
    QStringList look(h.dlg->windowTitle());
    for (QWidget* w : h.dlg->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        const auto* edit = qobject_cast<QLineEdit*>(w);
        const auto* list = qobject_cast<QComboBox*>(w);
        const auto* frame = qobject_cast<QGroupBox*>(w);
        const int items = list ? list->count() : 0;
        look << (w->isEnabled() ? "" : "~") +
                    (frame  ? (frame->alignment() & Qt::AlignHCenter ? "^" : "") + frame->title()
                     : list ? list->currentText()
                            : w->property("text").toString()) +
                    (edit && edit->isReadOnly() ? "#" : "") +
                    (items ? QString("+%1:%2").arg(items).arg(list->itemText(items - 1)) : "");
    }
    EXPECT_EQ(
        look.join('|').toStdString(),
        "ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01|"
        "^Ek ZK4-J1939 Configuration and running status|Step 2: Config Ek ZK4-J1939|"
        "~Hz Vs. MPH config.|~Cylinder Number Config.|^Hz Vs. MPH (Hz/MPH)|^Cylinder Number|"
        "^Vehicle Speed (MPH)|^Engine Speed (RPM)|^Device Voltage (V)|^Firmware Version:|^SN:|"
        "^Product ID:|Step 1: Connect to Ek ZK4-J1939|E&xit|Port:|~D&isconnect|C&onnect|"
        "~4+12:12|Not Found Yet!#|0#|Not Found Yet!#|Not available#|Not available#|"
        "Not available#|Not available#|Not available#|~1.7881|COM7+30:COM30|"
        "~Proceed to &Change|~&Factory Default||");
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.serial.IsOpen(), h.messages.size()),
              std::tuple(true, false, 0u));
    std::vector<int> order;  // from Exit on, the controls a Tab reaches
    QWidget* w = h.Item(IDOK_BUTTON);
    for (int guard = 0; guard < 200 && order.size() < 8; ++guard, w = w->nextInFocusChain()) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->property("ctrlId").isValid()) {
            order.push_back(w->property("ctrlId").toInt());
        }
    }
    EXPECT_EQ(order,
              (std::vector<int>{IDOK_BUTTON, IDC_DISCONNECT, IDC_CONNECT, IDC_CYLINDERS,
                                IDC_HZ_PER_MPH, IDC_PORT, IDC_PROCEED, IDC_FACTORY_DEFAULT}));
    // A port typed while the tool searches is the one the next tick opens.
    h.SetText(IDC_PORT, "COM12");
    h.Tick();
    EXPECT_EQ(h.serial.selected, 12);
}

// Enter is Exit from every entry; Escape ends at once, with no look at what is typed.
TEST(MainDialog, EnterExitsFromEveryEntryAndEscapeEndsAtOnce) {
    for (const auto& [id, key, hz] : {std::tuple(IDC_HZ_PER_MPH, Qt::Key_Return, "2.5"),
                                      {IDC_PORT, Qt::Key_Return, "2.5"},
                                      {IDC_CYLINDERS, Qt::Key_Return, "2.5"},
                                      {IDC_HZ_PER_MPH, Qt::Key_Escape, "abc"}}) {
        Shown h;
        h.SetText(IDC_PORT, "COM42");  // a typed port is used, never added to the list
        h.SetText(IDC_HZ_PER_MPH, hz);
        h.Item(id)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), key);
        const bool exits = key == Qt::Key_Return;  // Exit also closes the port
        EXPECT_EQ(h.dlg->result(), exits ? QDialog::Accepted : QDialog::Rejected) << id;
        EXPECT_EQ(std::tuple(h.dlg->isVisible(), h.dlg->IsTimerRunning(), h.serial.IsOpen()),
                  std::tuple(false, false, !exits))
            << id;
        EXPECT_EQ(h.messages.size(), 0u);
        EXPECT_EQ(static_cast<QComboBox*>(h.Item(IDC_PORT))->count(), 30);
    }
}

// The device answers a poll.
void Poll(DialogHarness& h) {
    h.serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n");
    h.Tick();
}

// Empties a box, then types `keys` one at a time with polls coming in between: what the box
// shows after each step.
QString EmptyThenType(DialogHarness& h, int id, const QString& keys) {
    QWidget* box = h.Item(id);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
    for (QString seen;; seen += "|") {
        Poll(h);
        Poll(h);
        seen += h.Text(id);
        if (seen.count('|') == keys.size()) {
            return seen;
        }
        QTest::keyClicks(box, keys.mid(seen.count('|'), 1));
    }
}

TEST(MainDialog, PollsNeverRewriteWhatTheUserTypesButFactoryDefaultAndDisconnectDo) {
    Shown h;
    EXPECT_EQ(EmptyThenType(h, IDC_HZ_PER_MPH, "99.9999"), "|9|99|99.|99.9|99.99|99.999|99.9999");
    EXPECT_EQ(EmptyThenType(h, IDC_CYLINDERS, "2"), "|2");
    EXPECT_EQ(EmptyThenType(h, IDC_PORT, "COM"), "|C|CO|COM");  // combo boxes keep it as typed
    // Running values are redrawn at most five times a second.
    EXPECT_TRUE(QTest::qWaitFor([&] { return h.Text(IDC_ENGINE_RPM) == "800"; }, 1000));
    h.serial.ClearWritten();
    h.Click(IDC_PROCEED);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=2\r\nAT HZ=99.9999\r\n");  // the highest taken

    // Factory Default and Disconnect reset the settings, but the port choice stays.
    h.SetText(IDC_PORT, "COM12");
    h.SetText(IDC_HZ_PER_MPH, "abc");
    h.serial.ClearWritten();
    h.Click(IDC_FACTORY_DEFAULT);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=4\r\nAT HZ=01.7881\r\n");
    EXPECT_EQ(h.Text(IDC_CYLINDERS) + " " + h.Text(IDC_HZ_PER_MPH), "4 1.7881");
    h.SetText(IDC_CYLINDERS, "6");
    h.SetText(IDC_HZ_PER_MPH, "2.5");
    h.Click(IDC_DISCONNECT);
    EXPECT_EQ(h.Text(IDC_CYLINDERS) + " " + h.Text(IDC_HZ_PER_MPH) + " " + h.Text(IDC_PORT),
              "4 1.7881 COM12");
    h.Click(IDC_CONNECT);
    EXPECT_EQ(h.serial.selected, 12);
    EXPECT_TRUE(h.messages.empty());
}

// Told only at the click, with the entry focused and selected and nothing sent; Exit closes the
// port and stops the timer first, then stays open.
TEST(MainDialog, RefusedEntryIsToldOnlyWhenTheUserActsAndSendsNothing) {
    const std::tuple<int, const char*, const char*, int> cases[] = {
        {IDC_HZ_PER_MPH, "500", "Please enter a number between 0.25 and 99.9999.", IDC_PROCEED},
        {IDC_HZ_PER_MPH, "2.5x", "Please enter a number.", IDC_PROCEED},
        {IDC_CYLINDERS, "13", "Please enter a number between 1 and 12.", IDC_PROCEED},
        {IDC_CYLINDERS, "04", "Please enter a number between 1 and 12.", IDC_PROCEED},
        {IDC_HZ_PER_MPH, "100", "Please enter a number between 0.25 and 99.9999.", IDOK_BUTTON}};
    for (const auto& [id, text, message, button] : cases) {
        SCOPED_TRACE(text);
        Shown h;
        h.SetText(id, text);
        Poll(h);
        Poll(h);
        EXPECT_TRUE(h.messages.empty());
        h.serial.ClearWritten();
        h.Click(button);
        ASSERT_EQ(h.messages.size(), 1u);
        EXPECT_EQ(std::tuple(h.messages[0].text, h.messages[0].icon),
                  std::tuple(std::string(message), MessageIcon::Exclamation));
        EXPECT_EQ(std::tuple(h.Item(id)->hasFocus(), h.Text(id), h.dlg->isVisible()),
                  std::tuple(true, QString(text), true));
        const auto* edit = qobject_cast<QLineEdit*>(h.Item(id));  // selected in an edit box
        EXPECT_EQ(edit ? edit->selectedText() : text, text);
        EXPECT_EQ(h.serial.WrittenText(), "");
        // A refused Exit changes nothing: still linked, polled, the entries as typed.
        h.serial.Receive("AT RPM=500\r\n");
        h.Tick();
        EXPECT_EQ(std::tuple(h.serial.WrittenText(), h.Enabled(IDC_PROCEED), h.Text(id)),
                  std::tuple(std::string("AT RALL\r\n"), true, QString(text)));
    }
}

// Messages wait their turn, from start-up on: here a settings file that cannot be written and a
// missing port. While one box is open the link goes on, and the next box opens after it.
TEST(MainDialog, NeverTwoMessagesAtOnceAndTheSearchGoesOnBehindThem) {
    DialogHarness h;
    std::filesystem::remove(h.ini);
    std::filesystem::create_directory(h.ini);  // ZK4.ini is a folder
    h.serial.refuseOpen = "Cannot open COM1 (/dev/ttyUSB0): the device does not exist.";
    h.whileOpen = [&h] {
        h.Tick();  // a tick behind the box
        QApplication::processEvents();
    };
    h.dlg->OnInitDialog();
    h.Tick();
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.messages.size() == 2; }, 1000));
    EXPECT_EQ(h.mostOpen, 1);
    EXPECT_TRUE(h.messages[1].text.ends_with("Click Disconnect to stop.")) << h.messages[1].text;

    // Disconnect is there to stop the search, and Connect starts it again.
    h.Click(IDC_DISCONNECT);
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.Enabled(IDC_DISCONNECT)),
              std::tuple(false, false));
    h.serial.refuseOpen.reset();
    h.Click(IDC_CONNECT);
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.serial.IsOpen()), std::tuple(true, true));
    // The port each identification saves cannot be written either: told once, the link goes on.
    for (int identified = 0; identified < 2; ++identified) {
        h.dlg->OnDisconnect();
        h.Identify();
        h.Tick();
    }
    QApplication::processEvents();
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.serial.IsOpen(), h.messages.size()),
              std::tuple(true, true, 2u));
}

// Opens the About box with `command`; once it is up: its boxes ("~" after one Tab skips), then
// the same after the dialog resets behind it; then OK. "-" when no About box came.
QString AboutBoxes(DialogHarness& h, unsigned command) {
    QString seen = "-";
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        for (int pass = 0; about && pass < 2; ++pass) {
            seen = pass ? seen + " " : "";
            for (int id : {IDC_ABOUT_PRODUCT_ID, IDC_ABOUT_FIRMWARE, IDC_ABOUT_SERIAL_NO}) {
                const auto* box = static_cast<QLineEdit*>(about->GetDlgItem(id));
                seen += box->text() + (box->focusPolicy() & Qt::TabFocus ? "|" : "~|");
            }
            h.dlg->OnDisconnect();
        }
        if (about) {
            QTest::keyClick(about, Qt::Key_Return);  // OK takes the box back
            seen += about->isVisible() ? " not closed by OK" : "";
            about->reject();  // so that a failed OK is told, not a hang
        }
    });
    h.dlg->OnSysCommand(command);
    QApplication::processEvents();
    return seen;
}

// Only an identified device is shown, a halted one too; what the box shows stays while the
// dialog resets behind it.
TEST(MainDialog, AboutBoxFromTheWindowMenuShowsASnapshotOfAValidDeviceOnly) {
    DialogHarness h;
    h.dlg->show();
    EXPECT_EQ(AboutBoxes(h, kIdmAboutBox), "||0| ||0|");
    h.Identify("AT FW=0.5M2\r\n");
    QApplication::processEvents();  // the firmware message
    const QString shown = "ZK4-J1708-003|0.5M2|305419896|";
    EXPECT_EQ(AboutBoxes(h, kIdmAboutBox | 0x3), shown + " " + shown);
    EXPECT_EQ(h.messages.size(), 1u);  // the firmware's: none from the About box
    EXPECT_EQ(h.dlg->WindowMenu()->actions().back()->data().toUInt(), kIdmAboutBox);
    EXPECT_EQ(AboutBoxes(h, 0xF010), "-");  // move: not ours
    h.dlg->OnSysCommand(kScClose);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zk4::test
