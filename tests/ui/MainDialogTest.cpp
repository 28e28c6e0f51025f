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
        {IDC_HZ_PER_MPH, "1.7881", false},
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
        {kIdOk, "E&xit", true},
    };
    for (const auto& e : expected) {
        SCOPED_TRACE(e.id);
        EXPECT_EQ(h.Text(e.id), QString::fromUtf8(e.text));
        EXPECT_EQ(h.Enabled(e.id), e.enabled);
    }
    EXPECT_FALSE(h.Enabled(IDC_CYLINDER_GROUP));
    EXPECT_FALSE(h.Enabled(IDC_HZ_GROUP));
    EXPECT_EQ(h.dlg->m_strPort, "COM7");
    EXPECT_TRUE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_FALSE(h.serial.IsOpen());
    EXPECT_FALSE(h.dlg->m_bSavePending);
    EXPECT_TRUE(h.messages.empty());
}

TEST(MainDialog, ControlsFollowTheTemplate) {
    DialogHarness h;
    // Frames and labels: caption and whether the caption is centred.
    const struct {
        const char* caption;
        bool centred;
    } frames[] = {
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
    for (const auto& f : frames) {
        SCOPED_TRACE(f.caption);
        const auto it = std::find_if(boxes.begin(), boxes.end(), [&](QGroupBox* b) {
            return b->title() == QString::fromUtf8(f.caption);
        });
        ASSERT_NE(it, boxes.end());
        EXPECT_EQ(((*it)->alignment() & Qt::AlignHCenter) != 0, f.centred);
    }
    const auto labels = h.dlg->findChildren<QLabel*>();
    ASSERT_EQ(labels.size(), 1);
    EXPECT_EQ(labels.front()->text(), "Port:");

    // Read-only boxes are not tab stops and cannot be typed into.
    for (int id : {IDC_PRODUCT_ID, IDC_FIRMWARE, IDC_SERIAL_NO, IDC_VOLTAGE, IDC_ENGINE_RPM,
                   IDC_VEHICLE_MPH, IDC_CYLINDERS_REPORTED, IDC_HZ_PER_MPH_REPORTED}) {
        SCOPED_TRACE(id);
        auto* edit = qobject_cast<QLineEdit*>(h.dlg->GetDlgItem(id));
        ASSERT_NE(edit, nullptr);
        EXPECT_TRUE(edit->isReadOnly());
        EXPECT_FALSE(edit->focusPolicy() & Qt::TabFocus);
    }
    auto* hz = qobject_cast<QLineEdit*>(h.dlg->GetDlgItem(IDC_HZ_PER_MPH));
    ASSERT_NE(hz, nullptr);
    EXPECT_FALSE(hz->isReadOnly());

    // Both combo boxes are editable and keep their lists in order.
    auto* port = qobject_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_PORT));
    auto* cylinders = qobject_cast<QComboBox*>(h.dlg->GetDlgItem(IDC_CYLINDERS));
    ASSERT_TRUE(port && cylinders);
    EXPECT_TRUE(port->isEditable() && cylinders->isEditable());
    ASSERT_EQ(port->count(), 30);
    EXPECT_EQ(port->itemText(0), "COM1");
    EXPECT_EQ(port->itemText(29), "COM30");
    ASSERT_EQ(cylinders->count(), 12);
    EXPECT_EQ(cylinders->itemText(9), "10");

    auto* exit = qobject_cast<QPushButton*>(h.dlg->GetDlgItem(kIdOk));
    ASSERT_NE(exit, nullptr);
    EXPECT_TRUE(exit->isDefault());
    EXPECT_FALSE(h.dlg->GetDlgItem(IDC_COMM)->isVisible());

    // The three sections stack from top to bottom, the value boxes inside their frames.
    EXPECT_LT(h.dlg->GetDlgItem(IDC_CONNECT)->x(), h.dlg->GetDlgItem(IDC_DISCONNECT)->x());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_DISCONNECT)->x(), exit->x());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_FACTORY_DEFAULT)->y(), h.dlg->GetDlgItem(IDC_PROCEED)->y());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_PRODUCT_ID)->y(), h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y());
    EXPECT_LT(h.dlg->GetDlgItem(IDC_HZ_PER_MPH)->y(), h.dlg->GetDlgItem(IDC_VOLTAGE)->y());
}

TEST(MainDialog, TabOrderFollowsTheTemplate) {
    DialogHarness h;
    const std::vector<int> expected = {kIdOk,         IDC_DISCONNECT,     IDC_CONNECT,
                                       IDC_CYLINDERS, IDC_HZ_PER_MPH,     IDC_PORT,
                                       IDC_PROCEED,   IDC_FACTORY_DEFAULT};
    std::vector<int> order;
    QWidget* w = h.dlg->GetDlgItem(kIdOk);
    for (int guard = 0; guard < 200 && order.size() < expected.size(); ++guard) {
        const QVariant id = w->property("ctrlId");
        if ((w->focusPolicy() & Qt::TabFocus) && id.isValid()) {
            order.push_back(id.toInt());
        }
        w = w->nextInFocusChain();
    }
    EXPECT_EQ(order, expected);
}

TEST(MainDialog, EnterActivatesExitFromTheEntryBoxes) {
    for (int id : {IDC_HZ_PER_MPH, IDC_PORT, IDC_CYLINDERS}) {
        SCOPED_TRACE(id);
        DialogHarness h;
        h.dlg->show();
        QApplication::setActiveWindow(h.dlg.get());
        h.dlg->EnableDlgItem(id, true);
        QWidget* box = h.dlg->GetDlgItem(id);
        box->setFocus();
        QWidget* target = QApplication::focusWidget() ? QApplication::focusWidget() : box;
        QTest::keyClick(target, Qt::Key_Return);
        EXPECT_EQ(h.dlg->result(), QDialog::Accepted);
        EXPECT_FALSE(h.dlg->isVisible());
        EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
        EXPECT_TRUE(h.messages.empty());
    }
}

TEST(MainDialog, EscapeEndsAtOnceWhateverTheHzBoxHolds) {
    for (const char* entry : {"abc", "100", "", "1.5"}) {
        SCOPED_TRACE(entry);
        DialogHarness h;
        h.dlg->show();
        QApplication::setActiveWindow(h.dlg.get());
        h.SetText(IDC_HZ_PER_MPH, entry);
        QTest::keyClick(h.dlg.get(), Qt::Key_Escape);
        EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
        EXPECT_FALSE(h.dlg->isVisible());
        EXPECT_TRUE(h.messages.empty());
    }
}

TEST(MainDialog, ExitWithAnInvalidEntryKeepsTheWindowOpenWithThePortClosed) {
    DialogHarness h;
    h.dlg->show();
    QApplication::setActiveWindow(h.dlg.get());
    h.dlg->OnConnect();
    ASSERT_TRUE(h.serial.IsOpen());
    h.dlg->EnableDlgItem(IDC_HZ_PER_MPH, true);
    h.SetText(IDC_HZ_PER_MPH, "abc");

    QTest::mouseClick(h.dlg->GetDlgItem(kIdOk), Qt::LeftButton);

    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Please enter a number.");
    EXPECT_EQ(h.messages[0].icon, MessageIcon::Exclamation);
    EXPECT_TRUE(h.dlg->isVisible());
    EXPECT_FALSE(h.serial.IsOpen());
    EXPECT_FALSE(h.dlg->IsTimerRunning(kTimerId));
    EXPECT_TRUE(h.dlg->m_bPortOpen);  // left as it was
    auto* hz = static_cast<QLineEdit*>(h.dlg->GetDlgItem(IDC_HZ_PER_MPH));
    EXPECT_TRUE(hz->hasFocus());
    EXPECT_EQ(hz->selectedText(), "abc");
}

TEST(MainDialog, OutOfRangeEntryIsReportedWithBothBoundsAndKept) {
    DialogHarness h;
    h.SetText(IDC_HZ_PER_MPH, "100");
    EXPECT_FALSE(h.dlg->UpdateData(true));
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Please enter a number between 0.25 and 99.9999.");
    EXPECT_DOUBLE_EQ(h.dlg->m_dHzPerMph, 100.0);
    h.dlg->UpdateData(false);
    EXPECT_EQ(h.Text(IDC_HZ_PER_MPH), "100");
}

TEST(MainDialog, TypedPortKeepsItsCaseInTheMemberAndSelectsTheListItem) {
    DialogHarness h;
    h.SetText(IDC_PORT, "com5");
    ASSERT_TRUE(h.dlg->UpdateData(true));
    EXPECT_EQ(h.dlg->m_strPort, "com5");
    h.dlg->UpdateData(false);
    EXPECT_EQ(h.Text(IDC_PORT), "COM5");
    EXPECT_EQ(h.dlg->m_strPort, "com5");

    h.SetText(IDC_PORT, "COM42");
    ASSERT_TRUE(h.dlg->UpdateData(true));
    h.dlg->UpdateData(false);
    EXPECT_EQ(h.Text(IDC_PORT), "COM42");  // not in the list: stays as typed
}

TEST(MainDialog, AutomaticExchangesNeverReportTheEntryOnlyUserActionsDo) {
    DialogHarness h;
    h.dlg->OnConnect();
    h.Device("AT FW=0.5N\r\n");
    h.Device(MakeIdLine(0x2C, 7));
    ASSERT_TRUE(h.Enabled(IDC_PROCEED));
    h.SetText(IDC_HZ_PER_MPH, "500");
    for (int i = 0; i < 5; ++i) {
        h.Device("AT RPM=1500\r\nAT DV=12.6\r\n");
    }
    h.dlg->OnTimer(kTimerId);
    EXPECT_TRUE(h.messages.empty());
    EXPECT_EQ(h.Text(IDC_ENGINE_RPM), "1500");

    h.serial.ClearWritten();
    QTest::mouseClick(h.dlg->GetDlgItem(IDC_PROCEED), Qt::LeftButton);
    ASSERT_EQ(h.messages.size(), 1u);
    EXPECT_EQ(h.messages[0].text, "Please enter a number between 0.25 and 99.9999.");
    EXPECT_EQ(h.serial.WrittenText(), "");  // a rejected entry sends nothing
}

TEST(MainDialog, WindowMenuEndsWithTheAboutItem) {
    DialogHarness h;
    const auto actions = h.dlg->WindowMenu()->actions();
    ASSERT_GE(actions.size(), 2);
    EXPECT_TRUE(actions[actions.size() - 2]->isSeparator());
    EXPECT_EQ(actions.back()->text(), "&About ZK4 Toolset...");
    EXPECT_EQ(actions.back()->data().toUInt(), kIdmAboutBox);
}

// Runs `inside` once the next modal About box is up, then closes it with `key`.
void WhenAboutOpens(std::function<void(CAboutDlg&)> inside, Qt::Key key = Qt::Key_Return) {
    QTimer::singleShot(0, [inside, key] {
        auto* about = qobject_cast<CAboutDlg*>(QApplication::activeModalWidget());
        ASSERT_NE(about, nullptr);
        inside(*about);
        QTest::keyClick(about, key);
    });
}

QString AboutText(CAboutDlg& about, int id) {
    return static_cast<QLineEdit*>(about.GetDlgItem(id))->text();
}

TEST(MainDialog, AboutBoxShowsASnapshotOnlyOfAValidDevice) {
    DialogHarness h;
    h.dlg->show();
    // Before any identification: empty texts and 0, although the dialog says "Not Found Yet!".
    bool opened = false;
    WhenAboutOpens([&](CAboutDlg& about) {
        opened = true;
        EXPECT_EQ(about.windowTitle(), "About Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset");
        EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), "");
        EXPECT_EQ(AboutText(about, IDC_ABOUT_FIRMWARE), "");
        EXPECT_EQ(AboutText(about, IDC_ABOUT_SERIAL_NO), "0");
    });
    h.dlg->OnSysCommand(kIdmAboutBox);
    EXPECT_TRUE(opened);

    // Identified (here with firmware the tool rejects: the product is still valid).
    h.dlg->OnConnect();
    h.Device("AT FW=0.5M2\r\n");
    h.Device(kIdJ1708_003);
    ASSERT_EQ(h.messages.size(), 1u);
    opened = false;
    WhenAboutOpens(
        [&](CAboutDlg& about) {
            opened = true;
            EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), "ZK4-J1708-003");
            EXPECT_EQ(AboutText(about, IDC_ABOUT_FIRMWARE), "0.5M2");
            EXPECT_EQ(AboutText(about, IDC_ABOUT_SERIAL_NO), "305419896");
            // The main dialog resets behind the box; the box keeps its snapshot.
            h.dlg->OnDisconnect();
            EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), "ZK4-J1708-003");
        },
        Qt::Key_Escape);
    h.dlg->OnSysCommand(kIdmAboutBox | 0x3);  // the low four bits do not matter
    EXPECT_TRUE(opened);
    EXPECT_EQ(h.Text(IDC_PRODUCT_ID), "Not Found Yet!");
}

TEST(MainDialog, AboutBoxAfterIdentificationAndAfterAnUnknownCode) {
    const struct {
        std::string idLine;
        const char* productId;
        const char* serialNo;
    } cases[] = {
        {std::string(kIdJ1939_001), "ZK4-J1939-001", "1"},
        {MakeIdLine(0x30, 5), "", "0"},  // "Wrong ID" is reset away and nothing is valid
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.productId);
        DialogHarness h;
        h.dlg->show();
        h.Identify("AT FW=0.5N\r\n", c.idLine);
        bool opened = false;
        WhenAboutOpens([&](CAboutDlg& about) {
            opened = true;
            EXPECT_EQ(AboutText(about, IDC_ABOUT_PRODUCT_ID), c.productId);
            EXPECT_EQ(AboutText(about, IDC_ABOUT_FIRMWARE), *c.productId ? "0.5N" : "");
            EXPECT_EQ(AboutText(about, IDC_ABOUT_SERIAL_NO), c.serialNo);
        });
        h.dlg->OnSysCommand(kIdmAboutBox);
        EXPECT_TRUE(opened);
    }
}

TEST(MainDialog, OtherWindowCommandsDoNotOpenTheAboutBox) {
    DialogHarness h;
    h.dlg->show();
    h.dlg->OnSysCommand(0xF010);  // move: default handling, nothing of ours
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
    EXPECT_TRUE(h.dlg->isVisible());
    h.dlg->OnSysCommand(kScClose);
    EXPECT_FALSE(h.dlg->isVisible());
    EXPECT_EQ(h.dlg->result(), QDialog::Rejected);
}

}  // namespace
}  // namespace zk4::test
