// What the link tells the window: the device's values, the link's state, which setting
// controls are usable, messages, the timer and the port worth remembering.
#pragma once

#include <cstdint>
#include <string>

namespace zk4 {

enum class LinkState { Stopped, Searching, Linked, Halted };

enum class MessageIcon { Exclamation, Stop };

// What the device boxes show. Texts are the device's bytes, one character per byte.
struct DeviceValues {
    std::string m_strProductId;
    std::string m_strFirmware;
    std::uint32_t m_dwSerialNo = 0;
    std::string m_strVoltage;
    std::string m_strEngineRpm;
    std::string m_strHzPerMphReported;
    std::string m_strVehicleMph;
    std::string m_strCylindersReported;

    bool operator==(const DeviceValues&) const = default;
};

// Which setting controls a user may use: the cylinder group with its box, the Hz-per-MPH group
// with its box, and the two buttons that send.
struct SettingControls {
    bool cylinders = false;
    bool hzPerMph = false;
    bool changeButtons = false;

    bool operator==(const SettingControls&) const = default;
};

// Implemented by the window. Every call comes on the UI thread; ShowMessage may run a nested
// event loop in which ticks and bytes reach the link again.
class LinkView {
  public:
    virtual ~LinkView() = default;
    virtual void ShowDeviceValues(const DeviceValues& values) = 0;
    // Only running values changed (report lines); a window may show these at a lower rate.
    virtual void ShowRunningValues(const DeviceValues& values) { ShowDeviceValues(values); }
    virtual void ShowState(LinkState state) = 0;
    virtual void EnableSettings(SettingControls controls) = 0;
    // The disconnected look: the two setting entries go back to their factory values.
    virtual void ResetEntries() = 0;
    virtual void ShowMessage(const std::string& text, MessageIcon icon) = 0;
    // Timer 3: a full period of 1000 ms starts at each StartTimer.
    virtual void StartTimer() = 0;
    virtual void StopTimer() = 0;
    // The port the device answered on, to be remembered in the settings file.
    virtual void SavePort(const std::string& port) = 0;
};

}  // namespace zk4
