// The link: the conversation with one ZK4 on one serial port, owned by one object that is not a
// widget. Bytes, ticks and clicks come in; bytes go to the port and what the window should
// show goes out through LinkView. The rules of each line and command live in protocol/.
//
// States: the timer runs in Searching and Linked; a device is identified in Linked and Halted.
//
//   Stopped --Connect--> Searching --identified, firmware 0.5N--> Linked
//   Searching --identified, other firmware--> Halted (polling stops, a message)
//   Searching --unknown product--> Stopped
//   Linked --a silent period--> Searching (reset, then at once a new search)
//   any --a refused open or a port gone away--> Searching (told once, tried once a second)
//   Linked or Halted --Disconnect--> Stopped
#pragma once

#include <cstdint>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/ReceiveFramer.h"
#include "serial/Clock.h"
#include "serial/SerialPort.h"
#include "supervision/LinkView.h"

namespace zk4 {

inline constexpr std::string_view kNotFoundYet = "Not Found Yet!";
inline constexpr std::string_view kNotAvailable = "Not available";
inline constexpr std::string_view kFactoryCylinders = "4";
inline constexpr double kFactoryHzPerMph = 1.7881;
inline constexpr std::string_view kKeepsLooking =
    "\n\nThe tool keeps looking for the device once a second. Click Disconnect to stop.";
inline constexpr std::string_view kMsgCannotOpenPort = "Cannot Open the selected Serial Port!";

class Link {
  public:
    // `window` is the process's receive window: it outlives reconnections and this object.
    Link(SerialPort& port, Clock& clock, RxWindow& window, LinkView& view);
    ~Link();
    Link(const Link&) = delete;
    Link& operator=(const Link&) = delete;

    // Start-up: the disconnected look, a save requested by the settings file, the timer.
    void Start(bool savePending);

    // Timer 3. `port` is the port entry as it reads now.
    void Tick(std::string_view port);
    // The Connect button. `port` as for Tick.
    void Connect(std::string_view port);
    void Disconnect();
    // Exit: the port is closed and the timer stopped before the entries are checked; the rest
    // stays as it is (the dialog may stay open when an entry is refused).
    void CloseForExit();
    // The receive notification of the port.
    void OnCommEvent(int commEvent);
    // Sends what the identified variant accepts: the cylinder command, 15 ms, the Hz command.
    void ProceedToChange(std::string_view cylinders, double hzPerMph);
    void FactoryDefault();

    LinkState State() const { return m_state; }
    bool Identified() const { return m_state == LinkState::Linked || m_state == LinkState::Halted; }
    bool TimerRunning() const {
        return m_state == LinkState::Searching || m_state == LinkState::Linked;
    }
    const DeviceValues& Values() const { return m_values; }
    bool DeviceValid() const { return m_bDeviceValid; }
    std::uint8_t ProductCode() const { return m_productCode; }
    SettingControls Settings() const { return m_settings; }

  private:
    template <typename Step>
    void Guarded(bool fromTick, Step&& step);
    void OnSerialError(const SerialError& error, bool fromTick);

    void ResetToDisconnected();
    void RunTimer(bool run);  // timer 3 started or stopped, and the state drawn anew
    void SetIdentified(bool identified);
    void ShowState(bool identified, bool timerRunning);
    void ConnectSteps();
    void DisconnectSteps();
    void OpenSelectedPort();
    void CloseIfOpen();
    void SendPaced(std::span<const std::uint8_t> bytes);
    void HandleDeviceLine(const RxWindow& window);
    void HandleIdentification(std::span<const std::uint8_t> line);
    void Message(const std::string& text, MessageIcon icon);
    void CheckSettingsTaken();

    // What the last setting commands sent, until the device's reports show it (or two polls
    // have passed without).
    struct SettingsCheck {
        std::optional<unsigned> cylinders;
        std::optional<double> hzPerMph;
        int polls = 0;
    };

    SerialPort& m_comm;
    Clock& m_clock;
    RxWindow& m_rxWindow;
    LinkView& m_view;

    LinkState m_state = LinkState::Stopped;
    DeviceValues m_values;
    SettingControls m_settings;
    std::string m_strPort;
    std::uint8_t m_productCode = 0;
    bool m_bDeviceValid = false;
    bool m_bFirmwareSeen = false;
    bool m_bIdPending = false;
    bool m_bTraffic = false;
    bool m_bSavePending = false;
    bool m_bPortOpen = false;
    bool m_bShowingSerialError = false;
    bool m_bRefusalTold = false;
    bool m_bCollectReports = false;  // inside one read: report lines are shown at its end
    bool m_bShowPending = false;
    std::optional<SettingsCheck> m_check;  // a refused port was told; retries stay quiet
};

}  // namespace zk4
