// What only the real window can answer: the template, tab order, keys, who writes which box,
// the window menu and the About box. The link's behaviour is tested without a window.
#include <gtest/gtest.h>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QMenu>
#include <QTest>
#include <QTimer>

#include "support/DialogHarness.h"
#include "ui/AboutDlg.h"

namespace zk4::test {
namespace {

const std::string kCom7 = "COM=7;\r\n";

// The window shown and active, with an identified device: the setting entries are usable.
struct Shown : DialogHarness {
    explicit Shown(const std::string* ini = nullptr) : DialogHarness(ini) {
        dlg->show();
        QApplication::setActiveWindow(dlg.get());
        Identify();
    }
};

TEST(MainDialog, StartsFromTheTemplateInTheDisconnectedLookWithItsTabOrder) {
    DialogHarness h(&kCom7);
    EXPECT_EQ(h.dlg->windowTitle(),
              "ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01");
    // Each control's text, "~" before a disabled one, "#" after a read-only box.
    QStringList look;
    for (int id : {IDC_PRODUCT_ID, IDC_FIRMWARE, IDC_SERIAL_NO, IDC_CYLINDERS, IDC_CYLINDER_GROUP,
                   IDC_HZ_PER_MPH, IDC_HZ_GROUP, IDC_VOLTAGE, IDC_ENGINE_RPM, IDC_VEHICLE_MPH,
                   IDC_CYLINDERS_REPORTED, IDC_HZ_PER_MPH_REPORTED, IDC_PORT, IDC_CONNECT,
                   IDC_DISCONNECT, IDC_FACTORY_DEFAULT, IDC_PROCEED, IDOK_BUTTON}) {
        const auto* edit = qobject_cast<QLineEdit*>(h.dlg->GetDlgItem(id));
        look << (h.Enabled(id) ? "" : "~") + h.Text(id) + (edit && edit->isReadOnly() ? "#" : "");
    }
    EXPECT_EQ(look.join('|').toStdString(),
              "Not Found Yet!#|Not Found Yet!#|0#|~4|~|~1.7881|~|Not available#|Not available#|"
              "Not available#|Not available#|Not available#|COM7|C&onnect|~D&isconnect|"
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
    auto* port = static_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_PORT));
    auto* cylinders = static_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_CYLINDERS));
    EXPECT_TRUE(port->isEditable() && cylinders->isEditable());
    EXPECT_EQ(port->count() == 30 ? port->itemText(29) : "", "COM30");
    EXPECT_EQ(cylinders->count() == 12 ? cylinders->itemText(9) : "", "10");
    EXPECT_TRUE(static_cast<QPushButton*>(h.dlg->GetDlgItem(IDOK_BUTTON))->isDefault());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_PRODUCT_ID)->y(), h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y(), h.dlg->GetDlgItem(IDC_VOLTAGE)->y());
    EXPECT_TRUE(h.dlg->IsTimerRunning() && !h.serial.IsOpen() && h.messages.empty());
    const std::vector<int> expected = {IDOK_BUTTON,   IDC_DISCONNECT,     IDC_CONNECT,
                                       IDC_CYLINDERS, IDC_HZ_PER_MPH,     IDC_PORT,
                                       IDC_PROCEED,   IDC_FACTORY_DEFAULT};
    std::vector<int> order;
    QWidget* w = h.dlg->GetDlgItem(IDOK_BUTTON);
    for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
        if ((w->focusPolicy() & Qt::TabFocus) && w->property("ctrlId").isValid()) {
            order.push_back(w->property("ctrlId").toInt());
        }
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, expected);
}

TEST(MainDialog, EnterExitsFromEveryEntryAndEscapeEndsAtOnce) {
    for (int id : {IDC_HZ_PER_MPH, IDC_PORT, IDC_CYLINDERS}) {
        Shown h;
        h.SetText(IDC_PORT, "COM42");  // a typed port is used, never added to the list
        h.dlg->GetDlgItem(id)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(h.dlg->result(), QDialog::Accepted) << id;
        EXPECT_EQ(static_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_PORT))->count(), 30) << id;
        EXPECT_FALSE(h.dlg->isVisible() || h.dlg->IsTimerRunning() || h.serial.IsOpen()) << id;
    }
    Shown h;
    h.SetText(IDC_HZ_PER_MPH, "abc");
    QTest::keyClick(h.dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(h.messages.empty());
}

// Types into a box one key at a time while the device keeps answering polls in between.
void TypeWhileLinked(DialogHarness& h, int id, const QString& keys) {
    const auto poll = [&] {
        h.Device("AT DV=12.6\r\nAT RPM=800\r\nAT CN=4\r\nAT HZVSMPH=1.7881\r\n");
        h.Tick();
    };
    for (const QChar key : keys) {
        QTest::keyClicks(h.dlg->GetDlgItem(id), QString(key));
        poll();
    }
    poll();
    poll();
}

void Clear(DialogHarness& h, int id) {
    QWidget* box = h.dlg->GetDlgItem(id);
    box->setFocus();
    QTest::keyClick(box, Qt::Key_A, Qt::ControlModifier);
    QTest::keyClick(box, Qt::Key_Backspace);
}

TEST(MainDialog, PollsNeverRewriteWhatTheUserTypes) {
    Shown h;
    Clear(h, IDC_HZ_PER_MPH);
    TypeWhileLinked(h, IDC_HZ_PER_MPH, "");
    EXPECT_EQ(h.Text(IDC_HZ_PER_MPH), "");
    TypeWhileLinked(h, IDC_HZ_PER_MPH, "2.25");
    EXPECT_EQ(h.Text(IDC_HZ_PER_MPH), "2.25");

    Clear(h, IDC_CYLINDERS);
    TypeWhileLinked(h, IDC_CYLINDERS, "");
    EXPECT_EQ(h.Text(IDC_CYLINDERS), "");
    TypeWhileLinked(h, IDC_CYLINDERS, "2");
    EXPECT_EQ(h.Text(IDC_CYLINDERS), "2");
    Clear(h, IDC_PORT);
    TypeWhileLinked(h, IDC_PORT, "COM");  // combo boxes keep the text as typed
    EXPECT_EQ(h.Text(IDC_PORT), "COM");
    EXPECT_TRUE(h.messages.empty());
    for (int i = 0; i < 100 && h.Text(IDC_ENGINE_RPM) != "800"; ++i) {
        QTest::qWait(10);  // running values are redrawn at most ten times a second
    }
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "800");

    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=2\r\nAT HZ=02.2500\r\n");
}

TEST(MainDialog, FactoryDefaultAndDisconnectResetTheSettingsButKeepThePortChoice) {
    Shown h(&kCom7);
    h.SetText(IDC_PORT, "COM12");
    h.SetText(IDC_CYLINDERS, "6");
    h.SetText(IDC_HZ_PER_MPH, "abc");
    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_FACTORY_DEFAULT), Qt::LeftButton);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=4\r\nAT HZ=01.7881\r\n");
    EXPECT_EQ(h.Text(IDC_CYLINDERS) + " " + h.Text(IDC_HZ_PER_MPH), "4 1.7881");
    h.SetText(IDC_CYLINDERS, "6");
    h.SetText(IDC_HZ_PER_MPH, "2.5");
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_DISCONNECT), Qt::LeftButton);
    EXPECT_EQ(h.Text(IDC_CYLINDERS) + " " + h.Text(IDC_HZ_PER_MPH), "4 1.7881");
    EXPECT_EQ(h.Text(IDC_PORT), "COM12");
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    EXPECT_EQ(h.serial.selected, 12);
    EXPECT_TRUE(h.messages.empty());
}

// Exit closes the port and stops the timer first, then stays open; the rest stays as it was.
TEST(MainDialog, RefusedEntryIsToldOnlyWhenTheUserActsAndSendsNothing) {
    const std::string range = "Please enter a number between ";
    const std::tuple<int, const char*, std::string, int> cases[] = {
        {IDC_HZ_PER_MPH, "500", range + "0.25 and 99.9999.", IDC_PROCEED},
        {IDC_HZ_PER_MPH, "2.5x", "Please enter a number.", IDC_PROCEED},
        {IDC_CYLINDERS, "13", range + "1 and 12.", IDC_PROCEED},
        {IDC_CYLINDERS, "04", range + "1 and 12.", IDC_PROCEED},
        {IDC_HZ_PER_MPH, "100", range + "0.25 and 99.9999.", IDOK_BUTTON}};
    for (const auto& [id, text, message, button] : cases) {
        Shown h;
        h.SetText(id, text);
        TypeWhileLinked(h, IDC_PORT, "");
        EXPECT_TRUE(h.messages.empty()) << text;
        h.serial.ClearWritten();
        QTest::mouseClick(h.dlg->GetDlgItem(button), Qt::LeftButton);
        ASSERT_EQ(h.messages.size(), 1u) << text;
        EXPECT_EQ(h.messages[0].text, message);
        EXPECT_EQ(h.messages[0].icon, MessageIcon::Exclamation);
        EXPECT_EQ(h.serial.WrittenText(), "") << text;
        EXPECT_TRUE(h.dlg->GetDlgItem(id)->hasFocus()) << text;
        if (auto* edit = qobject_cast<QLineEdit*>(h.dlg->GetDlgItem(id))) {
            EXPECT_EQ(edit->selectedText(), text);
        }
        EXPECT_EQ(h.Text(id), text);
        EXPECT_TRUE(h.dlg->isVisible());
        EXPECT_EQ(h.serial.IsOpen() || h.dlg->IsTimerRunning(), button != IDOK_BUTTON) << text;
        EXPECT_FALSE(h.Enabled(IDC_CONNECT));
    }
}

// Opens the About box with `command`, runs `inside` once it is up, then closes it.
bool WithAbout(DialogHarness& h, unsigned command, const std::function<void(CAboutDlg&)>& inside) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        if (auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget())) {
            opened = true;
            inside(*about);
            QTest::keyClick(about, Qt::Key_Return);  // OK takes the boxes back
            if (about->isVisible()) {
                about->reject();  // refused: the failure is told below, not a hang
            }
        }
    });
    h.dlg->OnSysCommand(command);
    QApplication::processEvents();
    return opened;
}

TEST(MainDialog, AboutBoxFromTheWindowMenuShowsASnapshotOfAValidDeviceOnly) {
    const std::tuple<std::string, std::string, QString> cases[] = {
        {"", "", "||0"},  // nothing identified yet
        {"AT FW=0.5M2\r\n", std::string(kIdJ1708_003), "ZK4-J1708-003|0.5M2|305419896"},
        {"AT FW=0.5N\r\n", MakeIdLine(0x30, 5), "||0"}};  // unknown product: reset away
    for (const auto& [firmware, idLine, shown] : cases) {
        DialogHarness h;
        h.dlg->show();
        if (!idLine.empty()) {
            h.Identify(firmware, idLine);
            h.messages.clear();
        }
        EXPECT_TRUE(WithAbout(h, kIdmAboutBox | 0x3, [&](CAboutDlg& about) {
            const auto boxes = [&] {
                QStringList texts;
                for (int id : {IDC_ABOUT_PRODUCT_ID, IDC_ABOUT_FIRMWARE, IDC_ABOUT_SERIAL_NO}) {
                    EXPECT_TRUE(about.GetDlgItem(id)->focusPolicy() & Qt::TabFocus) << id;
                    texts << static_cast<QLineEdit*>(about.GetDlgItem(id))->text();
                }
                return texts.join('|');
            };
            EXPECT_EQ(boxes(), shown);
            h.dlg->OnDisconnect();  // the dialog resets behind the box; the box keeps its copy
            EXPECT_EQ(boxes(), shown);
        }));
        EXPECT_TRUE(h.messages.empty());
    }
    DialogHarness h;
    h.dlg->show();
    const auto actions = h.dlg->WindowMenu()->actions();  // ends with the About item
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About ZK4 Toolset...");
    EXPECT_EQ(actions.back()->data().toUInt(), kIdmAboutBox);
    EXPECT_FALSE(WithAbout(h, 0xF010, [](CAboutDlg&) {}));  // move: not ours
    h.dlg->OnSysCommand(kScClose);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zk4::test
