// The values the device reports, one row each: the line that carries it, where it is kept,
// its key in recorded rows, and its box in the main dialog. The line reader, the link, the
// dialog's template and data exchange, the recorder and the command line all read this table;
// adding a value is adding a member to DeviceValues and a row here.
#pragma once

#include <array>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "text/UserText.h"

namespace zk4 {

// What the device has told since the last reset. A value it has not told is empty, and shown
// by its placeholder. Texts are the device's bytes (upper-cased by the framer), one character
// per byte.
struct DeviceValues {
    // From the identification line.
    std::optional<std::string> m_strProductId;
    std::uint32_t m_dwSerialNo = 0;
    // From report lines (kReportedValues).
    std::optional<std::string> m_strFirmware;
    std::optional<std::string> m_strVoltage;
    std::optional<std::string> m_strEngineRpm;
    std::optional<std::string> m_strVehicleMph;
    std::optional<std::string> m_strCylindersReported;
    std::optional<std::string> m_strHzPerMphReported;

    bool operator==(const DeviceValues&) const = default;
};

// A rectangle in dialog units: x, y, width, height.
struct DialogRect {
    int x, y, width, height;
};

struct ReportedValue {
    std::string_view prefix;  // compared in full; the value is the rest up to CR LF
    std::optional<std::string> DeviceValues::*member;
    std::string_view key;     // recorded rows (CSV column, JSON key)
    bool number;              // recorded as a number where the text is one, else as missing
    const char* placeholder;  // the box's text until the device reports the value
    int controlId;            // the read-only box in the main dialog
    const char* caption;      // the frame around that box
    DialogRect frame, box;
};

// The main dialog's boxes of the reported values (the other controls are numbered with the
// dialog's template).
enum : int {
    IDC_FIRMWARE = 1004,
    IDC_VOLTAGE = 1009,
    IDC_ENGINE_RPM = 1010,
    IDC_VEHICLE_MPH = 1011,
    IDC_CYLINDERS_REPORTED = 1012,
    IDC_HZ_PER_MPH_REPORTED = 1014,
};

inline constexpr const char* kNotFoundYet = QT_TRANSLATE_NOOP("zk4", "Not Found Yet!");
inline constexpr const char* kNotAvailable = QT_TRANSLATE_NOOP("zk4", "Not available");

// In the order of the dialog's template and of recorded columns. Each row: the prefix, where
// the value is kept, its key, whether it is a number, its placeholder; its box and the frame's
// caption; the frame and the box in dialog units.
// clang-format off
inline constexpr auto kReportedValues = std::to_array<ReportedValue>({
    {"AT FW=", &DeviceValues::m_strFirmware, "firmware", false, kNotFoundYet,
     IDC_FIRMWARE, QT_TRANSLATE_NOOP("zk4", "Firmware Version:"),
     {90, 32, 201, 27}, {92, 43, 197, 14}},
    {"AT DV=", &DeviceValues::m_strVoltage, "voltage", true, kNotAvailable,
     IDC_VOLTAGE, QT_TRANSLATE_NOOP("zk4", "Device Voltage (V)"),
     {16, 120, 93, 27}, {18, 130, 87, 14}},
    {"AT RPM=", &DeviceValues::m_strEngineRpm, "engine_rpm", true, kNotAvailable,
     IDC_ENGINE_RPM, QT_TRANSLATE_NOOP("zk4", "Engine Speed (RPM)"),
     {132, 120, 93, 27}, {135, 130, 87, 14}},
    {"AT MPH=", &DeviceValues::m_strVehicleMph, "vehicle_mph", true, kNotAvailable,
     IDC_VEHICLE_MPH, QT_TRANSLATE_NOOP("zk4", "Vehicle Speed (MPH)"),
     {247, 120, 93, 27}, {250, 130, 87, 14}},
    {"AT CN=", &DeviceValues::m_strCylindersReported, "cylinders", true, kNotAvailable,
     IDC_CYLINDERS_REPORTED, QT_TRANSLATE_NOOP("zk4", "Cylinder Number"),
     {15, 148, 93, 27}, {17, 159, 87, 14}},
    {"AT HZVSMPH=", &DeviceValues::m_strHzPerMphReported, "hz_per_mph", true, kNotAvailable,
     IDC_HZ_PER_MPH_REPORTED, QT_TRANSLATE_NOOP("zk4", "Hz Vs. MPH (Hz/MPH)"),
     {247, 148, 93, 27}, {250, 159, 87, 14}},
});
// clang-format on

// A reported text that is a decimal number: an optional minus, digits with at most one point
// among them (at least one digit); nothing else, not a blank, an exponent or "INF".
std::optional<double> ReportedNumber(std::string_view text);

}  // namespace zk4
