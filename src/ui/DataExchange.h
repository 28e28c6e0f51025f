// The data exchange between the dialog's controls and the values behind them: one table of
// rows (control id, kind, value, rule), one load loop and one save loop.
#pragma once

#include <QString>
#include <cstdint>
#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "text/QtText.h"

class QWidget;

namespace zk4 {

enum class RowKind {
    DeviceText,      // a read-only box showing a device value
    DeviceUnsigned,  // a read-only box showing an unsigned number in decimal
    ComboText,       // an editable combo box: the text as typed or chosen
    Number,          // an edit box holding a number within a range
};

// Whether a refused entry is told to the user.
enum class Validation {
    Report,  // a user action: message, focus to the box, its text selected
    Quiet,   // an automatic exchange (a tick): the entry is left for the next action
};

// Which boxes a load writes.
enum class Boxes {
    Device,  // only the device boxes: what a device line or a tick may change
    All,     // the entries too: start-up, the disconnected look, Factory Default
};

struct NumberRange {
    double low;
    double high;
};

struct ExchangeRow {
    int id;
    RowKind kind;
    std::variant<const std::optional<std::string>*, const std::uint32_t*, QString*, double*> value;
    const char* placeholder = nullptr;      // DeviceText rows: shown while the value is empty
    std::optional<NumberRange> range = {};  // Number rows: both bounds allowed
    // ComboText rows: while the box is enabled, only the texts of its list are taken.
    bool listedOnly = false;
};

// Writes the rows' values into their controls. Texts are only set when they differ, so an
// unchanged box keeps its caret and selection.
void LoadRows(const std::vector<ExchangeRow>& rows, const std::function<QWidget*(int)>& control,
              Boxes boxes);

// Reads the entry rows (combo texts and numbers) into their values, in table order. Returns
// the id of the first refused row and its message; the rows after it are not read.
struct RefusedEntry {
    int id;
    UserText message;
};
std::optional<RefusedEntry> SaveRows(const std::vector<ExchangeRow>& rows,
                                     const std::function<QWidget*(int)>& control);

}  // namespace zk4
