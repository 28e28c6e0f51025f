// The link: the conversation with one ZK4 on one serial port, owned by one object that is not a
// widget. Bytes, ticks and clicks come in; bytes go to the port and what the window should
// show goes out through LinkView. The rules of each line and command live in protocol/.
//
//   Stopped --Connect--> Searching --identified, firmware 0.5N--> Linked
//   Searching --identified, other firmware--> Halted (polling stops, a message)
//   Searching --unknown product--> Stopped
//   Linked --a silent period--> Searching (reset, then at once a new search)
//   any --the port refused or gone--> Retrying (told once, tried once a second)
//   Retrying --the port opens--> Searching
//   Retrying, Linked or Halted --Disconnect--> Stopped
//
// Messages wait until the input that raised them has been handled and are shown one at a time,
// so a message box never holds up the timer, a poll or the watchdog behind it.
#pragma once

#include <cstdint>
#include <deque>
#include <optional>
#include <span>
#include <string>
#include <string_view>

#include "protocol/ReceiveFramer.h"
#include "serial/Clock.h"
#include "serial/SerialPort.h"
#include "supervision/LinkView.h"

namespace zk4 {

inline constexpr std::string_view kFactoryCylinders = "4";
inline constexpr double kFactoryHzPerMph = 1.7881;

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
    // Exit: the port is closed and the timer stopped.
    void CloseForExit();
    // The receive notification of the port.
    void OnCommEvent(int commEvent);
    // Sends what the identified variant accepts of the values given: the cylinder command,
    // 15 ms, the Hz command. The window always gives both; the command line may give one.
    void ProceedToChange(std::optional<std::string_view> cylinders, std::optional<double> hzPerMph);
    void FactoryDefault();

    LinkState State() const { return m_state; }
    bool Identified() const { return m_state == LinkState::Linked || m_state == LinkState::Halted; }
    bool TimerRunning() const {
        return m_state == LinkState::Searching || m_state == LinkState::Retrying ||
               m_state == LinkState::Linked;
    }
    const DeviceValues& Values() const { return m_values; }
    bool DeviceValid() const { return m_bDeviceValid; }

  private:
    enum class Origin {
        Tick,  // the timer: a refusal already told stays quiet
        User,  // a click, the device's bytes, start-up: always answered
    };

    // Yes the first time, then no until rearmed.
    class TellOnce {
      public:
        bool Take() {
            const bool first = !m_told;
            m_told = true;
            return first;
        }
        void Rearm() { m_told = false; }

      private:
        bool m_told = false;
    };

    // Messages raised by an input, held until the outermost input has been handled.
    class Outbox {
      public:
        void Post(LinkMessage message) { m_waiting.push_back(std::move(message)); }
        // Shows what waits, one message after the other. Called again while a message is being
        // shown (an input from its nested loop), it leaves the rest to the call showing it.
        void Deliver(LinkView& view);

      private:
        std::deque<LinkMessage> m_waiting;
        bool m_showing = false;
    };

    // What the last setting commands sent, until the device's reports show it (or two polls
    // have passed without).
    struct SettingsCheck {
        std::optional<unsigned> cylinders;
        std::optional<double> hzPerMph;
        int polls = 0;
    };

    // Runs one input: a serial refusal ends it at that point (what it changed stays), and the
    // messages it raised are delivered once the outermost input is done.
    template <typename Step>
    void Run(Origin origin, Step&& step);
    void Refused(const UserText& text, Origin origin);
    void Post(LinkMessage::Kind kind, MessageIcon icon, UserText text);

    void Enter(LinkState state, bool restartTimer = false);
    void ResetToDisconnected();
    void ConnectSteps();
    void DisconnectSteps();
    void OpenSelectedPort();
    void CloseIfOpen();
    void SendPaced(std::span<const std::uint8_t> bytes);
    bool HandleDeviceLine(std::span<const std::uint8_t> line);
    void HandleIdentification(std::span<const std::uint8_t> line);
    void CheckSettingsTaken();

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
    std::optional<SettingsCheck> m_check;
    TellOnce m_refusalTold;  // a refused port is told once; retries stay quiet until it opened
    Outbox m_outbox;
    int m_inputDepth = 0;
};

}  // namespace zk4
