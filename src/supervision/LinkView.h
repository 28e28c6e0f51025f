// What the link tells the window (or the command line): the device's values, the link's
// state, which setting controls are usable, messages, the timer and the port worth remembering.
#pragma once

#include <string>

#include "protocol/ReportedValues.h"
#include "text/UserText.h"

namespace zk4 {

// The timer runs in Searching, Retrying and Linked; a device is identified in Linked and Halted.
enum class LinkState {
    Stopped,    // nothing tried until Connect
    Searching,  // the port is opened and the device asked once a second
    Retrying,   // as Searching, after the port was refused or went away; Disconnect stops it
    Linked,     // identified, firmware supported, polled once a second
    Halted,     // identified with other firmware: no polls until Disconnect and Connect
};

enum class MessageIcon { Exclamation, Stop };

struct LinkMessage {
    enum class Kind {
        PortRefused,          // the port cannot be opened, is not a port, or went away
        FirmwareUnsupported,  // polling stops
        SettingsNotTaken,     // two polls after a change the device reports other values
    };
    Kind kind;
    MessageIcon icon;
    UserText text;

    bool operator==(const LinkMessage&) const = default;
};

// Which setting controls a user may use: the cylinder group with its box, the Hz-per-MPH group
// with its box, and the two buttons that send.
struct SettingControls {
    bool cylinders = false;
    bool hzPerMph = false;
    bool changeButtons = false;

    bool operator==(const SettingControls&) const = default;
};

// Every call comes on the UI thread, from inside one of the link's inputs.
class LinkView {
  public:
    virtual ~LinkView() = default;
    virtual void ShowDeviceValues(const DeviceValues& values) = 0;
    // Only reported values changed; a window may show these at a lower rate.
    virtual void ShowRunningValues(const DeviceValues& values) { ShowDeviceValues(values); }
    // Once a period while linked: the values the device gave in answer to the last poll.
    virtual void PollAnswered(const DeviceValues&) {}
    virtual void ShowState(LinkState state) = 0;
    virtual void EnableSettings(SettingControls controls) = 0;
    // The disconnected look: the two setting entries go back to their factory values.
    virtual void ResetEntries() = 0;
    // Given once the input that raised it has been handled (the link is in its new state),
    // never while another message is being shown. It may run a nested event loop in which
    // ticks and bytes reach the link again.
    virtual void ShowMessage(const LinkMessage& message) = 0;
    // After setting commands: whether the device reports what was sent (told two polls later
    // at the latest).
    virtual void SettingsChecked(bool /*taken*/) {}
    // Timer 3: a full period of 1000 ms starts at each StartTimer.
    virtual void StartTimer() = 0;
    virtual void StopTimer() = 0;
    // The port the device answered on, to be remembered in the settings file.
    virtual void SavePort(const std::string& port) = 0;
};

}  // namespace zk4
