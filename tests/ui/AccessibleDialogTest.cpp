// What a screen reader hears from each control of both dialogs, the dialogs in Spanish (every
// caption fits its frame, no two mnemonics of a window clash) and the font that follows the
// desktop's.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSet>
#include <QStyle>
#include <QTest>
#include <QTranslator>

#include "support/DialogHarness.h"
#include "ui/AboutDlg.h"

namespace zk4::test {
namespace {

std::string Accessible(QWidget* w, QAccessible::Text text) {
    QAccessibleInterface* iface = QAccessible::queryAccessibleInterface(w);
    return iface ? iface->text(text).toStdString() : "(none)";
}

// Every control with an identifier, in both dialogs: the name it is read by.
TEST(AccessibleDialog, EveryControlIsNamedAfterItsCaptionLabelOrFrame) {
    DialogHarness h("COM=7;\r\n");
    h.Identify();
    h.serial.Receive("AT DV=12.6\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.Text(IDC_VOLTAGE) == "12.6"; }, 1000));
    CAboutDlg about(ShowMessageBox);
    const struct {
        bool inAbout;
        int id;
        const char* name;
    } rows[] = {
        {false, IDOK_BUTTON, "Exit"},
        {false, IDC_DISCONNECT, "Disconnect"},
        {false, IDC_CONNECT, "Connect"},
        {false, IDC_PORT, "Port:"},
        {false, IDC_PRODUCT_ID, "Product ID:"},
        {false, IDC_FIRMWARE, "Firmware Version:"},
        {false, IDC_SERIAL_NO, "SN:"},
        {false, IDC_CYLINDERS, "Cylinder Number Config."},
        {false, IDC_HZ_PER_MPH, "Hz Vs. MPH config."},
        {false, IDC_FACTORY_DEFAULT, "Factory Default"},
        {false, IDC_PROCEED, "Proceed to Change"},
        {false, IDC_VOLTAGE, "Device Voltage (V)"},
        {false, IDC_ENGINE_RPM, "Engine Speed (RPM)"},
        {false, IDC_VEHICLE_MPH, "Vehicle Speed (MPH)"},
        {false, IDC_CYLINDERS_REPORTED, "Cylinder Number"},
        {false, IDC_HZ_PER_MPH_REPORTED, "Hz Vs. MPH (Hz/MPH)"},
        {true, IDOK_BUTTON, "OK"},
        {true, IDC_ABOUT_PRODUCT_ID, "Product ID:"},
        {true, IDC_ABOUT_FIRMWARE, "Firmware Version:"},
        {true, IDC_ABOUT_SERIAL_NO, "Product SN:"},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        QWidget* w = row.inAbout ? about.GetDlgItem(row.id) : h.Item(row.id);
        EXPECT_EQ(Accessible(w, QAccessible::Name), row.name);
    }
    // The value is what the box shows, never its name.
    EXPECT_EQ(Accessible(h.Item(IDC_VOLTAGE), QAccessible::Value), "12.6");
    EXPECT_EQ(Accessible(h.Item(IDC_PORT), QAccessible::Value), "COM7");
    EXPECT_EQ(h.dlg->findChild<QLabel*>()->buddy(), h.Item(IDC_PORT));

    // Whatever can take the focus is named, in both dialogs: a control added without a
    // label or frame is caught here.
    for (QWidget* dialog : {static_cast<QWidget*>(h.dlg.get()), static_cast<QWidget*>(&about)}) {
        for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
            if (w->focusPolicy() != Qt::NoFocus && !w->isHidden()) {
                EXPECT_NE(Accessible(w, QAccessible::Name), "") << w->objectName().toStdString();
            }
        }
    }
}

// Why a control's caption does not fit it, or "".
QString Overflow(QWidget* w) {
    const QFontMetrics fm(w->font());
    int needed = 0;
    QString text;
    if (auto* button = qobject_cast<QPushButton*>(w)) {
        text = button->text().remove(QRegularExpression("&(?!&)"));  // as shown
        needed = fm.horizontalAdvance(text) + w->style()->pixelMetric(QStyle::PM_ButtonMargin) +
                 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    } else if (auto* box = qobject_cast<QGroupBox*>(w)) {
        text = box->title();
        // A title starts 8 pixels in, or is centred; either way it stays inside the frame.
        needed = fm.horizontalAdvance(text + ' ') + 8;
    } else if (auto* label = qobject_cast<QLabel*>(w); label && label->pixmap().isNull()) {
        text = label->text();
        needed = label->sizeHint().width();
    } else if (auto* edit = qobject_cast<QLineEdit*>(w)) {
        text = edit->text();  // the placeholders of the disconnected look
        needed = fm.horizontalAdvance(text) +
                 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth) + 4;
    }
    return needed > w->width() ? QString("%1: %2 > %3").arg(text).arg(needed).arg(w->width())
                               : QString();
}

// Each catalogue as the program loads it (none: the English source), in both dialogs: every
// caption and placeholder fits its control, and no two buttons of one window share a mnemonic.
TEST(AccessibleDialog, CaptionsFitInEveryLanguageAndTheirMnemonicsDoNotClash) {
    const struct {
        const char* catalogue;
        const char* connect;  // a caption, a placeholder and a name, as they must read
        const char* placeholder;
        const char* portName;
    } rows[] = {{"", "C&onnect", "Not available", "Port:"},
                {"zk4_es", "&Conectar", "No disponible", "Pto.:"}};
    for (const auto& row : rows) {
        SCOPED_TRACE(row.catalogue);
        QTranslator translator;
        if (*row.catalogue) {
            ASSERT_TRUE(translator.load(row.catalogue, ZK4_TRANSLATIONS_DIR));
            QApplication::installTranslator(&translator);
        }
        DialogHarness h;
        CAboutDlg about(ShowMessageBox);
        QApplication::removeTranslator(&translator);

        EXPECT_EQ(h.Text(IDC_CONNECT).toStdString(), row.connect);
        EXPECT_EQ(h.Text(IDC_VOLTAGE).toStdString(), row.placeholder);
        EXPECT_EQ(Accessible(h.Item(IDC_PORT), QAccessible::Name), row.portName);
        for (QWidget* dialog :
             {static_cast<QWidget*>(h.dlg.get()), static_cast<QWidget*>(&about)}) {
            QStringList tooLong;
            QString mnemonics;
            for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                if (const QString why = Overflow(w); !why.isEmpty()) {
                    tooLong << why;
                }
                const QString caption = w->property("text").toString();
                const qsizetype amp = caption.indexOf(QRegularExpression("&[^&]"));
                if (qobject_cast<QPushButton*>(w) && amp >= 0) {
                    mnemonics += caption[amp + 1].toLower();
                }
            }
            EXPECT_EQ(tooLong.join(" | ").toStdString(), "");
            EXPECT_EQ(QSet<QChar>(mnemonics.begin(), mnemonics.end()).size(), mnemonics.size())
                << mnemonics.toStdString();
        }
    }
}

// The desktop's font size, never below the template's 8 points; the window grows with it.
TEST(AccessibleDialog, TheFontFollowsTheDesktopsSizeAndTheWindowGrowsWithIt) {
    const QFont desktop = QApplication::font();
    std::vector<int> widths;
    for (const auto& [desktopPoints, dialogPoints] : {std::pair(6, 8), {14, 14}}) {
        QFont font = desktop;
        font.setPointSize(desktopPoints);
        QApplication::setFont(font);
        DialogHarness h;
        EXPECT_EQ(h.dlg->font().pointSize(), dialogPoints);
        EXPECT_EQ(h.dlg->width(), DialogUnits(h.dlg->font()).X(MainDialogTemplate().widthDlu));
        EXPECT_EQ(Overflow(h.Item(IDC_PROCEED)), "");
        widths.push_back(h.dlg->width());
    }
    QApplication::setFont(desktop);
    EXPECT_GT(widths[1], widths[0] * 3 / 2);
}

}  // namespace
}  // namespace zk4::test
