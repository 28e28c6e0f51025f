#include "ui/DataExchange.h"

#include <QComboBox>
#include <QLineEdit>

#include "ui/DataExchangeRules.h"

namespace zk4 {
namespace {

void SetText(QWidget* w, const QString& value) {
    auto* edit = static_cast<QLineEdit*>(w);
    if (edit->text() != value) {
        edit->setText(value);
    }
}

// Selects the first item that begins with the text, ignoring case ("1" picks "1", not "10";
// "com5" picks "COM5"); a text no item begins with goes into the edit field as it is.
void SetCombo(QWidget* w, const QString& value) {
    auto* combo = static_cast<QComboBox*>(w);
    std::vector<std::string> items;
    items.reserve(static_cast<std::size_t>(combo->count()));
    for (int i = 0; i < combo->count(); ++i) {
        items.push_back(combo->itemText(i).toStdString());
    }
    const int index = FindComboPrefix(items, value.toStdString());
    if (index >= 0 && combo->currentIndex() != index) {
        combo->setCurrentIndex(index);
    }
    const QString shown = index >= 0 ? combo->itemText(index) : value;
    if (combo->currentText() != shown) {
        combo->setEditText(shown);
    }
}

}  // namespace

void LoadRows(const std::vector<ExchangeRow>& rows, const std::function<QWidget*(int)>& control,
              Boxes boxes) {
    for (const ExchangeRow& row : rows) {
        QWidget* w = control(row.id);
        switch (row.kind) {
            case RowKind::DeviceText: {
                const auto& value = *std::get<const std::optional<std::string>*>(row.value);
                SetText(w, value ? Latin1(*value) : Tr(row.placeholder));
                break;
            }
            case RowKind::DeviceUnsigned:
                SetText(w, Utf8(FormatDialogUnsigned(*std::get<const std::uint32_t*>(row.value))));
                break;
            case RowKind::ComboText:
                if (boxes == Boxes::All) {
                    SetCombo(w, *std::get<QString*>(row.value));
                }
                break;
            case RowKind::Number:
                if (boxes == Boxes::All) {
                    SetText(w, Utf8(FormatDialogNumber(*std::get<double*>(row.value))));
                }
                break;
        }
    }
}

std::optional<RefusedEntry> SaveRows(const std::vector<ExchangeRow>& rows,
                                     const std::function<QWidget*(int)>& control) {
    for (const ExchangeRow& row : rows) {
        QWidget* w = control(row.id);
        switch (row.kind) {
            case RowKind::DeviceText:
            case RowKind::DeviceUnsigned:
                break;  // the link's values: never read back from their boxes
            case RowKind::ComboText: {
                auto* combo = static_cast<QComboBox*>(w);
                QString& value = *std::get<QString*>(row.value);
                value = combo->currentText();
                // A text the list does not hold is refused rather than sent as something else.
                if (row.listedOnly && combo->isEnabled() && combo->count() > 0 &&
                    combo->findText(value, Qt::MatchExactly | Qt::MatchCaseSensitive) < 0) {
                    return RefusedEntry{row.id,
                                        {kMsgEnterNumberBetween,
                                         {combo->itemText(0).toStdString(),
                                          combo->itemText(combo->count() - 1).toStdString()}}};
                }
                break;
            }
            case RowKind::Number: {
                const auto number = ParseDialogNumber(Latin1(static_cast<QLineEdit*>(w)->text()));
                if (!number) {
                    return RefusedEntry{row.id, {kMsgEnterNumber, {}}};
                }
                double& value = *std::get<double*>(row.value);
                value = *number;  // kept even when out of range
                if (row.range && !(value >= row.range->low && value <= row.range->high)) {
                    return RefusedEntry{row.id, RangeMessage(row.range->low, row.range->high)};
                }
                break;
            }
        }
    }
    return std::nullopt;
}

}  // namespace zk4
