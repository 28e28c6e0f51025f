// What a screen reader hears from each control of both dialogs, the dialogs in Spanish (every
// caption fits its frame, no two mnemonics of a window clash) and the font that follows the
// desktop's.
#include <gtest/gtest.h>
#include <QAccessible>
#include <QApplication>
#include <QGroupBox>
#include <QKeySequence>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QStyle>
#include <QTest>
#include <QTranslator>

#include "support/DialogHarness.h"
#include "ui/AboutDlg.h"

namespace zk4::test {
namespace {

std::string Said(QWidget* w, QAccessible::Text text) {
    return QAccessible::queryAccessibleInterface(w)->text(text).toStdString();
}

// What a screen reader hears from every control of a dialog that can take the focus, in order:
// "name=value". A control added without a label or frame comes out unnamed here.
std::string Heard(QWidget* dialog) {
    std::string heard;
    for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
        if (w->focusPolicy() != Qt::NoFocus) {
            heard += Said(w, QAccessible::Name) + "=" + Said(w, QAccessible::Value) + "|";
        }
    }
    return heard;
}

// Each control is named after its caption, its label or the innermost frame around it, and each
// value box shows its own value (the device sends a different text for each); a combo box is
// named after its label, never after what it holds.
TEST(AccessibleDialog, EveryControlIsNamedAfterItsCaptionLabelOrFrameAndShowsItsOwnValue) {
    DialogHarness h("COM=7;\r\n");
    h.Identify();
    h.serial.Receive("AT DV=12.6\r\nAT RPM=800\r\nAT MPH=55\r\nAT CN=7\r\nAT HZVSMPH=2.5\r\n");
    ASSERT_TRUE(QTest::qWaitFor([&] { return h.Text(IDC_VOLTAGE) == "12.6"; }, 1000));
    EXPECT_EQ(Heard(h.dlg.get()),
              "Exit=|Disconnect=|Connect=|Cylinder Number Config.=4|Product ID:=ZK4-J1708-003|"
              "SN:=305419896|Firmware Version:=0.5N|Device Voltage (V)=12.6|"
              "Engine Speed (RPM)=800|Vehicle Speed (MPH)=55|Cylinder Number=7|"
              "Hz Vs. MPH (Hz/MPH)=2.5|Hz Vs. MPH config.=1.7881|Port:=COM7|Proceed to Change=|"
              "Factory Default=|");
    EXPECT_EQ(h.dlg->findChild<QLabel*>()->buddy(), h.Item(IDC_PORT));
    CAboutDlg about(ShowMessageBox);
    EXPECT_EQ(Heard(&about), "OK=|Product ID:=|Product SN:=|Firmware Version:=|");
}

// Why a control's caption does not fit it, or "": the text as shown, and what is drawn around it
// (a frame's title starts 8 pixels in, or is centred; either way it stays inside the frame).
QString Overflow(QWidget* w) {
    const auto* frame = qobject_cast<QGroupBox*>(w);
    const QString text = QString(frame ? frame->title() + ' ' : w->property("text").toString())
                             .remove(QRegularExpression("&(?!&)"));
    const int border = 2 * w->style()->pixelMetric(QStyle::PM_DefaultFrameWidth);
    const int needed =
        QFontMetrics(w->font()).horizontalAdvance(text) +
        (qobject_cast<QPushButton*>(w) ? w->style()->pixelMetric(QStyle::PM_ButtonMargin) + border
         : frame                       ? 8
         : qobject_cast<QLineEdit*>(w) ? border + 4
                                       : 0);
    return needed > w->width() ? QString("%1: %2 > %3; ").arg(text).arg(needed).arg(w->width())
                               : QString();
}

// Each catalogue as the program loads it (none: the English source), in both dialogs, the
// desktop's font at 6 points (the dialog keeps the template's 8) and at 14: every caption and
// placeholder fits its control, and no two controls of one window share a mnemonic.
TEST(AccessibleDialog, CaptionsFitInEveryLanguageAndFontAndTheirMnemonicsDoNotClash) {
    const QFont desktop = QApplication::font();
    const std::tuple<const char*, int, int, const char*> rows[] = {
        {"", 6, 8, "C&onnect|Not available|Port:"},  // a caption, a placeholder and a name
        {"zk4_es", 6, 8, "&Conectar|No disponible|Pto.:"},
        {"", 14, 14, "C&onnect|Not available|Port:"}};
    std::vector<int> widths;
    for (const auto& [catalogue, desktopPoints, dialogPoints, read] : rows) {
        SCOPED_TRACE(testing::Message() << catalogue << " at " << desktopPoints << " pt");
        QTranslator translator;  // none for English
        ASSERT_EQ(translator.load(catalogue, ZK4_TRANSLATIONS_DIR), *catalogue != '\0');
        QApplication::installTranslator(&translator);
        QApplication::setFont(QFont(desktop.family(), desktopPoints));
        DialogHarness h;
        CAboutDlg about(ShowMessageBox);
        QApplication::removeTranslator(&translator);
        QApplication::setFont(desktop);
        EXPECT_EQ(h.dlg->font().pointSize(), dialogPoints);
        widths.push_back(h.dlg->width());
        EXPECT_EQ((h.Text(IDC_CONNECT) + "|" + h.Text(IDC_VOLTAGE) + "|").toStdString() +
                      Said(h.Item(IDC_PORT), QAccessible::Name),
                  read);
        for (QWidget* dialog :
             {static_cast<QWidget*>(h.dlg.get()), static_cast<QWidget*>(&about)}) {
            QStringList tooLong, mnemonics;
            for (QWidget* w : dialog->findChildren<QWidget*>(Qt::FindDirectChildrenOnly)) {
                tooLong << Overflow(w);
                mnemonics << QKeySequence::mnemonic(w->property("text").toString()).toString();
            }
            mnemonics.removeAll("");
            EXPECT_EQ(tooLong.join("").toStdString(), "");
            EXPECT_EQ(mnemonics.removeDuplicates(), 0) << mnemonics.join(' ').toStdString();
        }
    }
    EXPECT_GT(widths[2], widths[0] * 3 / 2);  // the window grows with the font
}

}  // namespace
}  // namespace zk4::test
