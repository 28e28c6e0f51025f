// The conversion and validation rules of the dialogs' data exchange, free of Qt so that unit
// tests and the fuzzer can drive them directly.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "text/UserText.h"

namespace zk4 {

inline constexpr const char* kMsgEnterNumber = QT_TRANSLATE_NOOP("zk4", "Please enter a number.");
inline constexpr const char* kMsgEnterPositiveInteger =
    QT_TRANSLATE_NOOP("zk4", "Please enter a positive integer.");
inline constexpr const char* kMsgEnterNumberBetween =
    QT_TRANSLATE_NOOP("zk4", "Please enter a number between %1 and %2.");

// A number as typed into an edit box: at most the first 31 characters; leading blanks and
// tabs skipped; a decimal floating-point number (sign, digits, point, exponent); a zero whose
// first character is not "0" is refused (so "-0" and "" fail); only blanks and tabs may follow.
// "inf", "nan" and hexadecimal forms are not numbers here.
std::optional<double> ParseDialogNumber(std::string_view text);

// An unsigned decimal as typed: leading blanks/tabs skipped, a leading "-" fails, a zero whose
// first character is not "0" fails, only blanks/tabs may follow, values above 2^32-1 fail.
std::optional<std::uint32_t> ParseDialogUnsigned(std::string_view text);

// "%.*g" with 15 significant digits: 1.7881 -> "1.7881", 2.5 -> "2.5", 0.25 -> "0.25".
std::string FormatDialogNumber(double value);

// "%lu".
std::string FormatDialogUnsigned(std::uint32_t value);

// The range message with its two bounds as the dialog formats numbers.
UserText RangeMessage(double low, double high);

// Index of the first item that begins with `text`, ignoring ASCII case; -1 when none does.
// "1" finds "1" before "10"; "com5" finds "COM5".
int FindComboPrefix(const std::vector<std::string>& items, std::string_view text);

}  // namespace zk4
