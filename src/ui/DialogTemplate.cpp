#include "ui/DialogTemplate.h"

#include <QAccessibleWidget>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QFontMetrics>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>

#include "serial/PortNames.h"
#include "text/QtText.h"
#include "ui/AppIcon.h"

namespace zk4 {
namespace {

std::vector<std::string_view> NumberList(const char* const* items, int n) {
    return {items, items + n};
}

const char* const kCylinders[] = {"1", "2", "3", "4", "5", "6", "7", "8", "9", "10", "11", "12"};
// "COM1" .. "COM30": the settings file and the name-to-number rule depend on these texts.
const std::vector<std::string>& PortNames() {
    static const std::vector<std::string> names = [] {
        std::vector<std::string> out;
        for (int n = 1; n <= 30; ++n) {
            out.push_back(ComName(n));
        }
        return out;
    }();
    return names;
}

using K = ControlKind;

QRect Dlu(const DialogRect& r) {
    return {r.x, r.y, r.width, r.height};
}

// Template 102: the controls up to the identification boxes, then a frame and a read-only box
// for each reported value, then the rest.
std::vector<ControlSpec> MainControls() {
    std::vector<ControlSpec> controls = {
        {IDOK_BUTTON, K::DefaultButton, QT_TRANSLATE_NOOP("zk4", "E&xit"), {242, 15, 59, 14}},
        {IDC_NONE, K::StaticText, QT_TRANSLATE_NOOP("zk4", "Port:"), {16, 19, 16, 8}},
        {IDC_DISCONNECT, K::PushButton, QT_TRANSLATE_NOOP("zk4", "D&isconnect"), {177, 15, 59, 14}},
        {IDC_CONNECT, K::PushButton, QT_TRANSLATE_NOOP("zk4", "C&onnect"), {112, 15, 59, 14}},
        {IDC_CYLINDERS, K::DropDownCombo, "", {18, 86, 87, 44}, false, NumberList(kCylinders, 12)},
        {IDC_NONE,
         K::GroupBox,
         QT_TRANSLATE_NOOP("zk4", "Step 1: Connect to Ek ZK4-J1939"),
         {7, 5, 342, 58}},
        {IDC_NONE, K::CentredGroupBox, QT_TRANSLATE_NOOP("zk4", "Product ID:"), {10, 32, 79, 27}},
        {IDC_PRODUCT_ID, K::ReadOnlyBox, "", {13, 43, 73, 14}},
        {IDC_NONE, K::CentredGroupBox, QT_TRANSLATE_NOOP("zk4", "SN:"), {291, 32, 55, 27}},
        {IDC_SERIAL_NO, K::ReadOnlyBox, "", {293, 43, 51, 14}},
    };
    for (const ReportedValue& row : kReportedValues) {
        controls.push_back({IDC_NONE, K::CentredGroupBox, row.caption, Dlu(row.frame)});
        controls.push_back({row.controlId, K::ReadOnlyBox, "", Dlu(row.box)});
    }
    const ControlSpec rest[] = {
        {IDC_CYLINDER_GROUP,
         K::GroupBox,
         QT_TRANSLATE_NOOP("zk4", "Cylinder Number Config."),
         {15, 74, 93, 27},
         false},
        {IDC_HZ_GROUP,
         K::GroupBox,
         QT_TRANSLATE_NOOP("zk4", "Hz Vs. MPH config."),
         {132, 74, 93, 27},
         false},
        {IDC_HZ_PER_MPH, K::EditBox, "", {135, 84, 87, 14}, false},
        {IDC_NONE,
         K::GroupBox,
         QT_TRANSLATE_NOOP("zk4", "Step 2: Config Ek ZK4-J1939"),
         {7, 66, 342, 40}},
        {IDC_NONE,
         K::CentredGroupBox,
         QT_TRANSLATE_NOOP("zk4", "Ek ZK4-J1939 Configuration and running status"),
         {7, 110, 342, 69}},
        {IDC_PORT,
         K::DropDownCombo,
         "",
         {32, 17, 75, 42},
         true,
         {PortNames().begin(), PortNames().end()}},
        {IDC_PROCEED,
         K::PushButton,
         QT_TRANSLATE_NOOP("zk4", "Proceed to &Change"),
         {250, 89, 83, 14},
         false},
        {IDC_FACTORY_DEFAULT,
         K::PushButton,
         QT_TRANSLATE_NOOP("zk4", "&Factory Default"),
         {250, 72, 83, 14},
         false},
        {IDC_COMM, K::Hidden, "", {117, 150, 25, 23}},
    };
    controls.insert(controls.end(), std::begin(rest), std::end(rest));
    return controls;
}

}  // namespace

const DialogTemplate& MainDialogTemplate() {
    static const DialogTemplate t{
        102,
        QT_TRANSLATE_NOOP("zk4",
                          "ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset V1.00A Build 06222021-01"),
        356,
        186,
        "MS Sans Serif",
        8,
        MainControls(),
    };
    return t;
}

const DialogTemplate& AboutDialogTemplate() {
    // The frame ends 107 units down; the box is as tall as that plus a margin.
    static const DialogTemplate t{
        100,
        QT_TRANSLATE_NOOP("zk4", "About Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset"),
        356,
        114,
        "MS Sans Serif",
        8,
        {
            {IDC_NONE, K::Icon, "", {270, 44, 20, 20}},
            {IDC_NONE,
             K::StaticText,
             QT_TRANSLATE_NOOP("zk4", "Ek ZK4 (J1939/J1708/J1587/OBD2-CAN) Toolset"),
             {12, 9, 164, 8}},
            // The licence, in the room between the title and the product frame.
            {IDC_NONE,
             K::StaticText,
             QT_TRANSLATE_NOOP("zk4", "Free software under the GNU GPL, version 3 or later."),
             {12, 27, 240, 8}},
            {IDC_NONE,
             K::StaticText,
             QT_TRANSLATE_NOOP("zk4", "There is NO WARRANTY, to the extent permitted by law."),
             {12, 37, 240, 8}},
            {IDOK_BUTTON, K::DefaultButton, QT_TRANSLATE_NOOP("zk4", "OK"), {256, 22, 50, 14}},
            {IDC_NONE,
             K::CentredGroupBox,
             QT_TRANSLATE_NOOP("zk4", "Product Information"),
             {7, 65, 342, 42}},
            {IDC_NONE,
             K::CentredGroupBox,
             QT_TRANSLATE_NOOP("zk4", "Product ID:"),
             {11, 74, 78, 29}},
            {IDC_NONE,
             K::CentredGroupBox,
             QT_TRANSLATE_NOOP("zk4", "Firmware Version:"),
             {91, 74, 195, 29}},
            {IDC_NONE,
             K::CentredGroupBox,
             QT_TRANSLATE_NOOP("zk4", "Product SN:"),
             {288, 74, 57, 29}},
            {IDC_ABOUT_PRODUCT_ID, K::ReadOnlyTabStop, "", {13, 85, 73, 15}},
            {IDC_ABOUT_SERIAL_NO, K::ReadOnlyTabStop, "", {291, 85, 51, 15}},
            {IDC_ABOUT_FIRMWARE, K::ReadOnlyTabStop, "", {94, 85, 190, 15}},
        },
    };
    return t;
}

namespace {

// Qt names a combo box after its current text on Linux, leaving the label to a relation that
// not every screen reader follows. The template's combo boxes are named as every other control
// (their label or frame) and report their text as their value.
class AccessibleDropDown final : public QAccessibleWidget {
  public:
    explicit AccessibleDropDown(QWidget* combo) : QAccessibleWidget(combo, QAccessible::ComboBox) {}

    QString text(QAccessible::Text t) const override {
        return t == QAccessible::Value ? Combo()->currentText() : QAccessibleWidget::text(t);
    }
    QAccessible::State state() const override {
        QAccessible::State s = QAccessibleWidget::state();
        s.editable = Combo()->isEditable();
        s.expandable = true;
        return s;
    }
    QStringList actionNames() const override {
        return QAccessibleWidget::actionNames() << showMenuAction();
    }
    void doAction(const QString& action) override {
        if (action == showMenuAction()) {
            Combo()->showPopup();
        } else {
            QAccessibleWidget::doAction(action);
        }
    }

  private:
    QComboBox* Combo() const { return static_cast<QComboBox*>(widget()); }
};

QAccessibleInterface* AccessibleDropDownFactory(const QString&, QObject* object) {
    auto* combo = dynamic_cast<DropDownComboBox*>(object);
    return combo ? new AccessibleDropDown(combo) : nullptr;
}

}  // namespace

DropDownComboBox::DropDownComboBox(QWidget* parent) : QComboBox(parent) {
    QAccessible::installFactory(AccessibleDropDownFactory);  // once; a second install is ignored
}

void DropDownComboBox::showPopup() {
    if (onShowList) {
        onShowList();
    }
    QComboBox::showPopup();
}

DialogUnits::DialogUnits(const QFont& font) {
    // The average width of the 52 letters, rounded, as the Windows dialog manager computes it.
    const QFontMetrics fm(font);
    const QString letters = QStringLiteral("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz");
    m_avgWidth = (fm.horizontalAdvance(letters) / 26 + 1) / 2;
    m_height = fm.height();
}

int DialogUnits::X(int dlu) const {
    return dlu * m_avgWidth / 4;
}
int DialogUnits::Y(int dlu) const {
    return dlu * m_height / 8;
}
QRect DialogUnits::Map(const QRect& r) const {
    return {X(r.x()), Y(r.y()), X(r.width()), Y(r.height())};
}

namespace {

QString WithoutMnemonic(QString caption) {
    // "&&" stands for one ampersand; "&" alone marks the next letter.
    for (qsizetype i = caption.indexOf(QLatin1Char('&')); i >= 0 && i < caption.size();
         i = caption.indexOf(QLatin1Char('&'), i + 1)) {
        caption.remove(i, 1);
    }
    return caption;
}

// A combo box's rectangle in the template includes its dropped-down list; closed, it is one
// line of 12 units.
QRect ClosedRect(const ControlSpec& control) {
    QRect r = control.dlu;
    if (control.kind == ControlKind::DropDownCombo) {
        r.setHeight(12);
    }
    return r;
}

bool IsFrame(const ControlSpec& control) {
    return control.kind == ControlKind::GroupBox || control.kind == ControlKind::CentredGroupBox;
}

// The control a label names: the nearest one to its right whose line holds the label's middle.
const ControlSpec* LabelledBy(const ControlSpec& label, const std::vector<ControlSpec>& controls) {
    const QRect l = label.dlu;
    const ControlSpec* found = nullptr;
    for (const ControlSpec& c : controls) {
        const QRect r = ClosedRect(c);
        const bool named = c.kind != ControlKind::StaticText && !IsFrame(c) &&
                           c.kind != ControlKind::Icon && c.kind != ControlKind::Hidden;
        if (named && r.left() >= l.right() && r.top() <= l.center().y() &&
            l.center().y() <= r.bottom() && (!found || r.left() < found->dlu.left())) {
            found = &c;
        }
    }
    return found;
}

// The caption of the innermost frame that holds the control, or nullptr.
const char* FrameCaptionAround(const ControlSpec& control,
                               const std::vector<ControlSpec>& controls) {
    const QRect r = ClosedRect(control);
    const ControlSpec* inner = nullptr;
    for (const ControlSpec& frame : controls) {
        if (IsFrame(frame) && frame.dlu.contains(r) && (!inner || inner->dlu.contains(frame.dlu))) {
            inner = &frame;
        }
    }
    return inner ? inner->caption : nullptr;
}

// What a screen reader says for each control: a button's caption, the label in front of a
// control, or the caption of the frame around it. A value box then reads its text as its
// value, and a combo box is never named after what it holds.
void NameControls(const DialogTemplate& tmpl, const std::vector<QWidget*>& widgets) {
    for (std::size_t i = 0; i < tmpl.controls.size(); ++i) {
        const ControlSpec& control = tmpl.controls[i];
        QWidget* w = widgets[i];
        switch (control.kind) {
            case ControlKind::PushButton:
            case ControlKind::DefaultButton:
                w->setAccessibleName(WithoutMnemonic(Tr(control.caption)));
                break;
            case ControlKind::StaticText:
                if (const ControlSpec* named = LabelledBy(control, tmpl.controls)) {
                    QWidget* buddy = widgets[static_cast<std::size_t>(named - &tmpl.controls[0])];
                    static_cast<QLabel*>(w)->setBuddy(buddy);
                    buddy->setAccessibleName(WithoutMnemonic(Tr(control.caption)));
                }
                break;
            case ControlKind::ReadOnlyBox:
            case ControlKind::ReadOnlyTabStop:
            case ControlKind::EditBox:
            case ControlKind::DropDownCombo:
                if (w->accessibleName().isEmpty()) {
                    if (const char* caption = FrameCaptionAround(control, tmpl.controls)) {
                        w->setAccessibleName(WithoutMnemonic(Tr(caption)));
                    }
                }
                break;
            default:
                break;
        }
    }
}

}  // namespace

QFont DialogFont(const DialogTemplate& tmpl) {
    // A font set in pixels has no point size (-1) and leaves the template's.
    return QFont(Utf8(tmpl.fontFamily),
                 std::max(tmpl.fontPointSize, QApplication::font().pointSize()));
}

QHash<int, QWidget*> BuildDialogFromTemplate(QDialog& dialog, const DialogTemplate& tmpl) {
    dialog.setFont(DialogFont(tmpl));
    const DialogUnits du(dialog.font());
    dialog.setWindowTitle(Tr(tmpl.caption));
    dialog.setFixedSize(du.X(tmpl.widthDlu), du.Y(tmpl.heightDlu));

    QHash<int, QWidget*> byId;
    std::vector<QWidget*> frames;
    std::vector<QWidget*> widgets;  // in template order
    QWidget* previousTabStop = nullptr;

    for (const ControlSpec& control : tmpl.controls) {
        QWidget* w = nullptr;
        QRect rect = du.Map(control.dlu);
        bool tabStop = false;
        switch (control.kind) {
            case K::PushButton:
            case K::DefaultButton: {
                auto* b = new QPushButton(Tr(control.caption), &dialog);
                b->setDefault(control.kind == K::DefaultButton);
                w = b;
                tabStop = true;
                break;
            }
            case K::StaticText: {
                auto* l = new QLabel(&dialog);
                l->setTextFormat(Qt::PlainText);  // ampersands are shown as they are
                l->setText(Tr(control.caption));
                w = l;
                break;
            }
            case K::GroupBox:
            case K::CentredGroupBox: {
                auto* g = new QGroupBox(Tr(control.caption), &dialog);
                if (control.kind == K::CentredGroupBox) {
                    g->setAlignment(Qt::AlignHCenter);
                }
                g->setAttribute(Qt::WA_TransparentForMouseEvents);
                g->setFocusPolicy(Qt::NoFocus);
                frames.push_back(g);
                w = g;
                break;
            }
            case K::ReadOnlyBox:
            case K::ReadOnlyTabStop:
            case K::EditBox: {
                auto* e = new QLineEdit(&dialog);
                e->setAlignment(Qt::AlignCenter);
                e->setReadOnly(control.kind != K::EditBox);
                if (control.kind == K::ReadOnlyBox) {
                    e->setFocusPolicy(Qt::ClickFocus);
                } else {
                    tabStop = true;
                }
                w = e;
                break;
            }
            case K::DropDownCombo: {
                auto* c = new DropDownComboBox(&dialog);
                c->setEditable(true);
                c->setInsertPolicy(QComboBox::NoInsert);
                // What is typed stays as typed: no inline completion from the list.
                c->setCompleter(nullptr);
                for (std::string_view item : control.list) {
                    c->addItem(Utf8(item));
                }
                // The template's height includes the dropped-down list; the closed box is one
                // edit line high.
                const int listRows = std::max(1, rect.height() / std::max(1, du.Y(8)) - 1);
                c->setMaxVisibleItems(std::max(listRows, 8));
                rect.setHeight(std::max(du.Y(12), c->minimumSizeHint().height()));
                w = c;
                tabStop = true;
                break;
            }
            case K::Icon: {
                auto* l = new QLabel(&dialog);
                l->setPixmap(AppIcon().pixmap(32, 32));
                rect.setSize(QSize(32, 32));
                w = l;
                break;
            }
            case K::Hidden: {
                w = new QWidget(&dialog);
                w->hide();
                break;
            }
        }
        w->setGeometry(rect);
        w->setEnabled(control.initiallyEnabled);
        widgets.push_back(w);
        if (control.id >= 0) {
            w->setObjectName(QStringLiteral("ctrl%1").arg(control.id));
            w->setProperty("ctrlId", control.id);
            byId.insert(control.id, w);
        }
        if (tabStop) {
            w->setFocusPolicy(Qt::StrongFocus);
            if (previousTabStop) {
                QWidget::setTabOrder(previousTabStop, w);
            }
            previousTabStop = w;
        }
    }
    // Frames are drawn beneath the controls they enclose.
    for (QWidget* frame : frames) {
        frame->lower();
    }
    NameControls(tmpl, widgets);
    return byId;
}

}  // namespace zk4
