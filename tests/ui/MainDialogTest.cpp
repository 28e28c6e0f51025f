// What only the real window can answer: the template, tab order, keys, who writes which box,
// the window menu and the About box. The link's behaviour is tested without a window.
#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <unistd.h>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
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
    EXPECT_EQ(h.dlg->windowTitle(),
              "ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01");
    // Each control's text, "~" before a disabled one, "#" after a read-only box, "+", how many
    // items and the last after an editable combo box.
    QStringList look;
    for (int id : std::initializer_list<int>{
             IDC_PRODUCT_ID, IDC_FIRMWARE, IDC_SERIAL_NO, IDC_CYLINDERS, IDC_CYLINDER_GROUP,
             IDC_HZ_PER_MPH, IDC_HZ_GROUP, IDC_VOLTAGE, IDC_ENGINE_RPM, IDC_VEHICLE_MPH,
             IDC_CYLINDERS_REPORTED, IDC_HZ_PER_MPH_REPORTED, IDC_PORT, IDC_CONNECT, IDC_DISCONNECT,
             IDC_FACTORY_DEFAULT, IDC_PROCEED, IDOK_BUTTON}) {
        const auto* edit = qobject_cast<QLineEdit*>(h.Item(id));
        const auto* list = qobject_cast<QComboBox*>(h.Item(id));
        const int items = list && list->isEditable() ? list->count() : 0;
        look << (h.Enabled(id) ? "" : "~") + h.Text(id) + (edit && edit->isReadOnly() ? "#" : "") +
                    (items ? QString("+%1:%2").arg(items).arg(list->itemText(items - 1)) : "");
    }
    EXPECT_EQ(
        look.join('|').toStdString(),
        "Not Found Yet!#|Not Found Yet!#|0#|~4+12:12|~|~1.7881|~|Not available#|Not available#|"
        "Not available#|Not available#|Not available#|COM7+30:COM30|C&onnect|~D&isconnect|"
        "~&Factory Default|~Proceed to &Change|E&xit");
    QStringList frames;  // "^": centred
    for (const QGroupBox* box : h.dlg->findChildren<QGroupBox*>()) {
        frames << (box->alignment() & Qt::AlignHCenter ? "^" : "") + box->title();
    }
    frames.sort();
    EXPECT_EQ(frames.join('|').toStdString(),
              "Cylinder Number Config.|Hz Vs. MPH config.|Step 1: Connect to Ek ZK4-J1939|"
              "Step 2: Config Ek ZK4-J1939|^Cylinder Number|^Device Voltage (V)|"
              "^Ek ZK4-J1939 Configuration and running status|^Engine Speed (RPM)|"
              "^Firmware Version:|^Hz Vs. MPH (Hz/MPH)|^Product ID:|^SN:|^Vehicle Speed (MPH)");
    EXPECT_EQ(h.dlg->findChildren<QLabel*>().size(), 1);
    EXPECT_TRUE(static_cast<QPushButton*>(h.Item(IDOK_BUTTON))->isDefault());
    EXPECT_LT(h.Item(IDC_PRODUCT_ID)->y(), h.Item(IDC_HZ_PER_MPH)->y());
    EXPECT_LT(h.Item(IDC_HZ_PER_MPH)->y(), h.Item(IDC_VOLTAGE)->y());
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

// Each value in the box its caption names: the device sends a different text for each.
TEST(MainDialog, EachValueIsShownInTheBoxItsCaptionNames) {
    DialogHarness h;
    h.Identify();
    h.serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT MPH=55\r\nAT CN=7\r\nAT HZVSMPH=2.5\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.Text(IDC_VOLTAGE) != "Not available"; }, 1000));
    QStringList shown;  // each box with the caption of the innermost frame around it
    for (const QLineEdit* box : h.dlg->findChildren<QLineEdit*>(Qt::FindDirectChildrenOnly)) {
        const QGroupBox* inner = nullptr;
        for (const QGroupBox* frame : h.dlg->findChildren<QGroupBox*>()) {
            if (frame->geometry().contains(box->geometry()) &&
                (!inner || inner->geometry().contains(frame->geometry()))) {
                inner = frame;
            }
        }
        shown << (inner ? inner->title() : "?") + "=" + box->text();
    }
    shown.sort();
    EXPECT_EQ(shown.join('|').toStdString(),
              "Cylinder Number=7|Device Voltage (V)=12.6|Engine Speed (RPM)=800|"
              "Firmware Version:=0.5N|Hz Vs. MPH (Hz/MPH)=2.5|Hz Vs. MPH config.=1.7881|"
              "Product ID:=ZK4-J1708-003|SN:=305419896|Vehicle Speed (MPH)=55");
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
    EXPECT_EQ(EmptyThenType(h, IDC_HZ_PER_MPH, "2.25"), "|2|2.|2.2|2.25");
    EXPECT_EQ(EmptyThenType(h, IDC_CYLINDERS, "2"), "|2");
    EXPECT_EQ(EmptyThenType(h, IDC_PORT, "COM"), "|C|CO|COM");  // combo boxes keep it as typed
    for (int i = 0; i < 100 && h.Text(IDC_ENGINE_RPM) != "800"; ++i) {
        QTest::qWait(10);  // running values are redrawn at most five times a second
    }
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "800");
    h.serial.ClearWritten();
    h.Click(IDC_PROCEED);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=2\r\nAT HZ=02.2500\r\n");

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

// A settings file that another program holds (flock) cannot take the port that each
// identification saves: told once, and the ticks go on.
TEST(MainDialog, ASettingsFileThatCannotBeWrittenIsToldOnce) {
    DialogHarness h("COM=1\r\n");  // malformed: asks for a save
    const int theirs = ::open(h.ini.c_str(), O_RDONLY);
    ASSERT_EQ(::flock(theirs, LOCK_EX | LOCK_NB), 0);
    for (int identified = 0; identified < 2; ++identified) {
        h.dlg->OnDisconnect();
        h.Identify();
        h.Tick();
        QApplication::processEvents();  // the message is posted
    }
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.serial.IsOpen()), std::tuple(true, true));
    ::close(theirs);
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_NE(h.messages[0].text.find("locked"), std::string::npos) << h.messages[0].text;
    EXPECT_EQ(ReadFile(h.ini), "COM=1\r\n");
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
    ASSERT_EQ(h.messages.size(), 2u);
    EXPECT_EQ(h.mostOpen, 1);
    const std::string& refusal = h.messages[0].text.find("COM1") != std::string::npos
                                     ? h.messages[0].text
                                     : h.messages[1].text;
    EXPECT_TRUE(refusal.ends_with("Click Disconnect to stop.")) << refusal;

    // Disconnect is there to stop the search, and Connect starts it again.
    ASSERT_TRUE(h.Enabled(IDC_DISCONNECT));
    h.Click(IDC_DISCONNECT);
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.Enabled(IDC_DISCONNECT)),
              std::tuple(false, false));
    h.serial.refuseOpen.reset();
    h.Click(IDC_CONNECT);
    EXPECT_EQ(std::tuple(h.dlg->IsTimerRunning(), h.serial.IsOpen()), std::tuple(true, true));
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
    h.messages.clear();
    const QString shown = "ZK4-J1708-003|0.5M2|305419896|";
    EXPECT_EQ(AboutBoxes(h, kIdmAboutBox | 0x3), shown + " " + shown);
    EXPECT_TRUE(h.messages.empty());
    const auto actions = h.dlg->WindowMenu()->actions();  // ends with the About item
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->data().toUInt(), kIdmAboutBox);
    EXPECT_EQ(actions.back()->text(), "&About ZK4 Toolset...");
    EXPECT_EQ(AboutBoxes(h, 0xF010), "-");  // move: not ours
    h.dlg->OnSysCommand(kScClose);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zk4::test
