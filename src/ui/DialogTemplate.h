// Dialog templates as data: each control with its identifier, kind, caption or list, and its
// rectangle in dialog units. One builder turns a template into widgets on a dialog.
#pragma once

#include <QFont>
#include <QHash>
#include <QRect>
#include <QString>
#include <QStringList>
#include <span>
#include <string_view>
#include <vector>

#include <QComboBox>
#include <functional>

#include "protocol/ReportedValues.h"

class QDialog;
class QWidget;

namespace zk4 {

// Control identifiers. The templates below use them, and so does every other user. The boxes
// of the reported values are numbered with their rows (protocol/ReportedValues.h).
enum : int {
    IDOK_BUTTON = 1,  // "E&xit" in the main dialog, "OK" in the About box
    IDC_DISCONNECT = 1000,
    IDC_CONNECT = 1001,
    IDC_CYLINDERS = 1002,
    IDC_PRODUCT_ID = 1003,
    IDC_SERIAL_NO = 1005,
    IDC_PROCEED = 1006,
    IDC_HZ_PER_MPH = 1007,
    IDC_PORT = 1008,
    IDC_FACTORY_DEFAULT = 1013,
    IDC_CYLINDER_GROUP = 1015,
    IDC_HZ_GROUP = 1016,
    IDC_COMM = 1017,
    // The About box numbers its serial-number and firmware boxes the other way round.
    IDC_ABOUT_PRODUCT_ID = 1003,
    IDC_ABOUT_SERIAL_NO = 1004,
    IDC_ABOUT_FIRMWARE = 1005,
    IDC_NONE = -1,  // labels and frames
};

enum class ControlKind {
    PushButton,
    DefaultButton,  // the button Enter activates
    StaticText,
    GroupBox,
    CentredGroupBox,  // caption centred
    ReadOnlyBox,      // read-only edit box: border, centred text, not a tab stop
    ReadOnlyTabStop,  // the same, reached with Tab (the About box's values can be copied)
    EditBox,          // editable edit box: border, centred text, tab stop
    DropDownCombo,    // drop-down combo box with an editable field, unsorted list
    Icon,             // the application icon
    Hidden,           // the serial control's place in the template: never visible
};

struct ControlSpec {
    int id;  // -1 for controls without an identifier (labels, frames)
    ControlKind kind;
    const char* caption;  // marked for translation; "" for none
    QRect dlu;            // x, y, width, height in dialog units
    bool initiallyEnabled = true;
    std::vector<std::string_view> list = {};
};

struct DialogTemplate {
    int id;
    const char* caption;  // marked for translation
    int widthDlu;
    int heightDlu;
    std::string_view fontFamily;
    int fontPointSize;
    std::vector<ControlSpec> controls;  // template order, which is also the tab order
};

const DialogTemplate& MainDialogTemplate();   // template 102
const DialogTemplate& AboutDialogTemplate();  // template 100

// Dialog units to pixels from the font's average character width and height, as the
// original dialog manager does: x * avgWidth / 4, y * height / 8.
class DialogUnits {
  public:
    explicit DialogUnits(const QFont& font);
    int X(int dlu) const;
    int Y(int dlu) const;
    QRect Map(const QRect& dlu) const;
    int AverageCharWidth() const { return m_avgWidth; }
    int CharHeight() const { return m_height; }

  private:
    int m_avgWidth;
    int m_height;
};

// The template's drop-down combo box; `onShowList` runs each time its list is about to open.
// Screen readers hear it by the name the builder gives it, and its text as its value.
class DropDownComboBox : public QComboBox {
  public:
    explicit DropDownComboBox(QWidget* parent = nullptr);
    std::function<void()> onShowList;
    void showPopup() override;
};

// The dialog's font: the template's family at the desktop's point size, never smaller than the
// template's. The dialog units follow it, so the whole window grows with the desktop's font.
QFont DialogFont(const DialogTemplate& tmpl);

// Creates the template's controls on `dialog` (caption, font, size included) and returns
// them by identifier. Frames are lowered beneath the other controls and let clicks through;
// the tab order follows the template. Every control gets an accessible name: a button its
// caption, a control with a label in front of it the label (its buddy), any other the caption
// of the innermost frame that holds it.
QHash<int, QWidget*> BuildDialogFromTemplate(QDialog& dialog, const DialogTemplate& tmpl);

}  // namespace zk4
