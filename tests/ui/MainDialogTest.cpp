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

TEST(MainDialog, StartsInTheDisconnectedLookShowingTheStoredPort) {
    DialogHarness h(&kCom7);
    EXPECT_EQ(h.dlg->windowTitle(),
              "ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01");
    const struct {
        int id;
        const char* text;
        bool enabled;
    } expected[] = {
        {IDC_PRODUCT_ID, "Not Found Yet!", true},
        {IDC_FIRMWARE, "Not Found Yet!", true},
        {IDC_SERIAL_NO, "0", true},
        {IDC_CYLINDERS, "4", false},
        {IDC_CYLINDER_GROUP, "", false},
        {IDC_HZ_PER_MPH, "1.7881", false},
        {IDC_HZ_GROUP, "", false},
        {IDC_VOLTAGE, "Not available", true},
        {IDC_ENGINE_RPM, "Not available", true},
        {IDC_VEHICLE_MPH, "Not available", true},
        {IDC_CYLINDERS_REPORTED, "Not available", true},
        {IDC_HZ_PER_MPH_REPORTED, "Not available", true},
        {IDC_PORT, "COM7", true},
        {IDC_CONNECT, "C&onnect", true},
        {IDC_DISCONNECT, "D&isconnect", false},
        {IDC_FACTORY_DEFAULT, "&Factory Default", false},
        {IDC_PROCEED, "Proceed to &Change", false},
        {IDOK_BUTTON, "E&xit", true},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        EXPECT_EQ(h.Text(e.id), QString::fromUtf8(e.text));
        EXPECT_EQ(h.Enabled(e.id), e.enabled);
    }
    EXPECT_TRUE(h.dlg->IsTimerRunning());
    EXPECT_FALSE(h.serial.IsOpen());
    EXPECT_TRUE(h.messages.empty());
}

TEST(MainDialog, ControlsFollowTheTemplate) {
    DialogHarness h;
    const std::pair<const char*, bool> frames[] = {
        // caption, centred
        {"Step 1: Connect to Ek ZK4-J1939", false},
        {"Product ID:", true},
        {"Firmware Version:", true},
        {"SN:", true},
        {"Cylinder Number Config.", false},
        {"Hz Vs. MPH config.", false},
        {"Step 2: Config Ek ZK4-J1939", false},
        {"Device Voltage (V)", true},
        {"Engine Speed (RPM)", true},
        {"Vehicle Speed (MPH)", true},
        {"Ek ZK4-J1939 Configuration and running status", true},
        {"Cylinder Number", true},
        {"Hz Vs. MPH (Hz/MPH)", true},
    };
    const auto boxes = h.dlg->findChildren<QGroupBox*>();
    ASSERT_EQ(boxes.size(), static_cast<qsizetype>(std::size(frames)));
    for (const auto& [caption, centred] : frames) {
        const auto it = std::find_if(boxes.begin(), boxes.end(),
                                     [&](QGroupBox* b) { return b->title() == caption; });
        ASSERT_NE(it, boxes.end()) << caption;
        EXPECT_EQ(((*it)->alignment() & Qt::AlignHCenter) != 0, centred) << caption;
    }
    EXPECT_EQ(h.dlg->findChildren<QLabel*>().size(), 1);
    for (int id : {IDC_PRODUCT_ID, IDC_FIRMWARE, IDC_SERIAL_NO, IDC_VOLTAGE, IDC_ENGINE_RPM,
                   IDC_VEHICLE_MPH, IDC_CYLINDERS_REPORTED, IDC_HZ_PER_MPH_REPORTED}) {
        auto* edit = qobject_cast<QLineEdit*>(h.dlg->GetDlgItem(id));
        ASSERT_NE(edit, nullptr) << id;
        EXPECT_TRUE(edit->isReadOnly()) << id;
    }
    auto* port = qobject_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_PORT));
    auto* cylinders = qobject_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_CYLINDERS));
    ASSERT_TRUE(port && cylinders);
    EXPECT_TRUE(port->isEditable() && cylinders->isEditable());
    ASSERT_EQ(port->count(), 30);
    EXPECT_EQ(port->itemText(29), "COM30");
    ASSERT_EQ(cylinders->count(), 12);
    EXPECT_EQ(cylinders->itemText(9), "10");
    EXPECT_TRUE(static_cast<QPushButton*>(h.dlg->GetDlgItem(IDOK_BUTTON))->isDefault());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_PRODUCT_ID)->y(), h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y(), h.dlg->GetDlgItem(IDC_VOLTAGE)->y());
}

TEST(MainDialog, TabOrderFollowsTheTemplate) {
    DialogHarness h;
    const std::vector<int> expected = {IDOK_BUTTON,   IDC_DISCONNECT,     IDC_CONNECT,
                                       IDC_CYLINDERS, IDC_HZ_PER_MPH,     IDC_PORT,
                                       IDC_PROCEED,   IDC_FACTORY_DEFAULT};
    std::vector<int> order;
    QWidget* w = h.dlg->GetDlgItem(IDOK_BUTTON);
    for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
        const QVariant id = w->property("ctrlId");
        if ((w->focusPolicy() & Qt::TabFocus) && id.isValid()) {
            order.push_back(id.toInt());
        }
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, expected);
}

TEST(MainDialog, EnterExitsFromEveryEntryAndEscapeEndsAtOnce) {
    for (int id : {IDC_HZ_PER_MPH, IDC_PORT, IDC_CYLINDERS}) {
        SCOPED_TRACE(id);
        DialogHarness h;
        h.dlg->show();
        QApplication::setActiveWindow(h.dlg.get());
        h.Identify();  // the setting entries are usable
        h.dlg->GetDlgItem(id)->setFocus();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        EXPECT_EQ(h.dlg->result(), QDialog::Accepted);
        EXPECT_FALSE(h.dlg->isVisible());
        EXPECT_FALSE(h.dlg->IsTimerRunning());
        EXPECT_FALSE(h.serial.IsOpen());
    }
    DialogHarness h;
    h.dlg->show();
    QApplication::setActiveWindow(h.dlg.get());
    h.SetText(IDC_HZ_PER_MPH, "abc");
    QTest::keyClick(h.dlg.get(), Qt::Key_Escape);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
    EXPECT_TRUE(h.messages.empty());
}

TEST(MainDialog, ExitWithARefusedEntryStaysOpenWithThePortClosedAndTheEntrySelected) {
    DialogHarness h;
    h.dlg->show();
    QApplication::setActiveWindow(h.dlg.get());
    h.Identify();
    h.SetText(IDC_HZ_PER_MPH, "100");
    QTest::mouseClick(h.dlg->GetDlgItem(IDOK_BUTTON), Qt::LeftButton);
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Please enter a number between 0.25 and 99.9999.");
    EXPECT_EQ(h.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(h.dlg->isVisible());
    EXPECT_FALSE(h.serial.IsOpen());
    EXPECT_FALSE(h.dlg->IsTimerRunning());
    EXPECT_FALSE(h.Enabled(IDC_CONNECT));  // the rest stays as it was
    auto* hz = static_cast<QLineEdit*>(h.dlg->GetDlgItem(IDC_HZ_PER_MPH));
    EXPECT_TRUE(hz->hasFocus());
    EXPECT_EQ(hz->selectedText(), "100");
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
    DialogHarness h;
    h.dlg->show();
    QApplication::setActiveWindow(h.dlg.get());
    h.Identify();

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
    EXPECT_TRUE(h.messages.empty());
    for (int i = 0; i < 100 && h.Text(IDC_ENGINE_RPM) != "800"; ++i) {
        QTest::qWait(10);  // running values are redrawn at most ten times a second
    }
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "800");

    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=2\r\nAT HZ=02.2500\r\n");
}

TEST(MainDialog, ThePortChoiceSurvivesDisconnectAndReachesTheNextConnect) {
    DialogHarness h(&kCom7);
    h.Identify();
    h.SetText(IDC_PORT, "COM12");
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_DISCONNECT), Qt::LeftButton);
    EXPECT_EQ(h.Text(IDC_PORT), "COM12");
    EXPECT_EQ(h.Text(IDC_CYLINDERS), "4");  // the settings do go back to the factory values
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_CONNECT), Qt::LeftButton);
    EXPECT_EQ(h.serial.selected, 12);
}

TEST(MainDialog, FactoryDefaultShowsTheFactoryValues) {
    DialogHarness h;
    h.Identify();
    h.SetText(IDC_CYLINDERS, "6");
    h.SetText(IDC_HZ_PER_MPH, "abc");
    h.SetText(IDC_PORT, "COM9");
    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_FACTORY_DEFAULT), Qt::LeftButton);
    EXPECT_EQ(h.Text(IDC_CYLINDERS), "4");
    EXPECT_EQ(h.Text(IDC_HZ_PER_MPH), "1.7881");
    EXPECT_EQ(h.Text(IDC_PORT), "COM9");
    EXPECT_EQ(h.serial.WrittenText(), "AT CN=4\r\nAT HZ=01.7881\r\n");
    EXPECT_TRUE(h.messages.empty());
}

TEST(MainDialog, RefusedEntryIsToldOnlyWhenTheUserActsAndSendsNothing) {
    const struct {
        int id;
        const char* text;
        const char* message;
    } cases[] = {
        {IDC_HZ_PER_MPH, "500", "Please enter a number between 0.25 and 99.9999."},
        {IDC_HZ_PER_MPH, "2.5x", "Please enter a number."},
        {IDC_CYLINDERS, "13", "Please enter a number between 1 and 12."},
        {IDC_CYLINDERS, "04", "Please enter a number between 1 and 12."},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        DialogHarness h;
        h.dlg->show();
        QApplication::setActiveWindow(h.dlg.get());
        h.Identify();
        h.SetText(c.id, c.text);
        TypeWhileLinked(h, IDC_PORT, "");
        EXPECT_TRUE(h.messages.empty());
        h.serial.ClearWritten();
        QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
        ASSERT_EQ(h.messages.size(), 1u);
        EXPECT_EQ(h.messages[0].text, c.message);
        EXPECT_EQ(h.serial.WrittenText(), "");
        EXPECT_TRUE(h.dlg->GetDlgItem(c.id)->hasFocus());
        EXPECT_EQ(h.Text(c.id), c.text);
    }
}

TEST(MainDialog, ComboBoxesKeepTheTextAsTyped) {
    DialogHarness h;
    h.dlg->show();
    QApplication::setActiveWindow(h.dlg.get());
    Clear(h, IDC_PORT);
    QTest::keyClicks(h.dlg->GetDlgItem(IDC_PORT), "COM");
    EXPECT_EQ(h.Text(IDC_PORT), "COM");
}

TEST(MainDialog, WindowMenuEndsWithTheAboutItem) {
    DialogHarness h;
    const auto actions = h.dlg->WindowMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About ZK4 Toolset...");
    EXPECT_EQ(actions.back()->data().toUInt(), kIdmAboutBox);
}

// Opens the About box with `command`, runs `inside` once it is up, then closes it.
bool WithAbout(DialogHarness& h, unsigned command, const std::function<void(CAboutDlg&)>& inside) {
    bool opened = false;
    QTimer::singleShot(0, [&] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        if (about != nullptr) {
            opened = true;
            inside(*about);
            QTest::keyClick(about, Qt::Key_Escape);
        }
    });
    h.dlg->OnSysCommand(command);
    QApplication::processEvents();
    return opened;
}

QString AboutText(CAboutDlg& about, int id) {
    return static_cast<QLineEdit*>(about.GetDlgItem(id))->text();
}

TEST(MainDialog, AboutBoxShowsASnapshotOfAValidDeviceOnly) {
    const struct {
        std::string firmware, idLine;
        const char* productId;
        const char* firmwareShown;
        const char* serialNo;
    } cases[] = {
        {"", "", "", "", "0"},  // nothing identified yet
        {"AT FW=0.5M2\r\n", std::string(kIdJ1708_003), "ZK4-J1708-003", "0.5M2", "305419896"},
        {"AT FW=0.5N\r\n", MakeIdLine(0x30, 5), "", "", "0"},  // unknown product: reset away
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        DialogHarness h;
        h.dlg->show();
        if (!c.idLine.empty()) {
            h.Identify(c.firmware, c.idLine);
        }
        EXPECT_TRUE(WithAbout(h, kIdmAboutBox | 0x3, [&](CAboutDlg& about) {
            for (int id : {IDC_ABOUT_PRODUCT_ID, IDC_ABOUT_SERIAL_NO, IDC_ABOUT_FIRMWARE}) {
                EXPECT_TRUE(about.GetDlgItem(id)->focusPolicy() & Qt::TabFocus) << id;
            }
            EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), c.productId);
            EXPECT_EQ(AboutText(about, IDC_ABOUT_FIRMWARE), c.firmwareShown);
            EXPECT_EQ(AboutText(about, IDC_ABOUT_SERIAL_NO), c.serialNo);
            h.dlg->OnDisconnect();  // the dialog resets behind the box; the box keeps its copy
            EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), c.productId);
        }));
    }
    DialogHarness h;
    h.dlg->show();
    EXPECT_FALSE(WithAbout(h, 0xF010, [](CAboutDlg&) {}));  // move: not ours
    h.dlg->OnSysCommand(kScClose);
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zk4::test
