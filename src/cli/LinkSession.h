// zk4ctl's view of one link: the link on one port, driven from the event loop, and what it tells
// turned into the few moments a command acts on. The link decides everything about the device;
// the session keeps its timer, remembers what it was told and never writes ZK4.ini.
//
// Every moment reaches the command from the event loop, after the link's input that raised it
// has been handled, so a command may call the link or end the session from there.
#pragma once

#include <QObject>
#include <QTimer>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "protocol/ReceiveFramer.h"
#include "serial/Clock.h"
#include "serial/QtSerialPort.h"
#include "serial/TracingSerialPort.h"
#include "supervision/Link.h"
#include "workshop/ValueRecord.h"

namespace zk4 {

class LinkSession final : private LinkView {
  public:
    struct Events {
        std::function<void()> identified;  // Linked or Halted: the identification is in
        // After the identification: every reported value has arrived, or the grace for a device
        // that does not report them all is over.
        std::function<void()> valuesIn;
        std::function<void(const DeviceValues&)> polled;  // once a period while linked
        std::function<void(LinkState)> stateChanged;
        std::function<void(const LinkMessage&)> message;
        std::function<void(bool taken)> settingsChecked;
    };

    // The port is "COM1" .. "COM30", looked up through `portsFolders`. With a `tracePath` every
    // byte to and from the port also goes to that file.
    LinkSession(std::string port, std::vector<std::string> portsFolders,
                const std::string& tracePath, Events events);
    ~LinkSession() override;
    LinkSession(const LinkSession&) = delete;
    LinkSession& operator=(const LinkSession&) = delete;

    // Why the trace file could not be written; empty when it is written or none was asked.
    const std::optional<UserText>& TraceError() const { return m_traceError; }

    // The link started, and its first connect burst sent at once rather than a period later.
    void Start();

    Link& GetLink() { return *m_link; }
    LinkState State() const { return m_link->State(); }
    // What the identified variant takes.
    SettingControls Settings() const { return m_settings; }
    const std::string& Port() const { return m_port; }
    // The link's values now, with the port, the device behind it and the time.
    ValueRecord Record() const;
    ValueRecord Record(const DeviceValues& values) const;

  private:
    // LinkView
    void ShowDeviceValues(const DeviceValues& values) override;
    void ShowRunningValues(const DeviceValues& values) override;
    void PollAnswered(const DeviceValues& values) override;
    void ShowState(LinkState state) override;
    void EnableSettings(SettingControls controls) override;
    void ResetEntries() override {}
    void ShowMessage(const LinkMessage& message) override;
    void SettingsChecked(bool taken) override;
    void StartTimer() override;
    void StopTimer() override;
    void SavePort(const std::string&) override {}  // the window's file is never written here

    // Hands `event` to the command from the event loop.
    void Later(std::function<void()> event);
    void CheckValuesIn(const DeviceValues& values, bool reported);
    void ValuesIn();

    std::string m_port;
    Events m_events;
    QObject m_context;  // queued moments die with the session
    QtSerialPort m_serial;
    std::unique_ptr<TracingSerialPort> m_trace;
    std::optional<UserText> m_traceError;
    SteadyClock m_clock;
    RxWindow m_rxWindow;
    QTimer m_timer3;
    QTimer m_grace;
    std::unique_ptr<Link> m_link;
    LinkState m_state = LinkState::Stopped;
    SettingControls m_settings;
    bool m_awaitingValues = false;
    bool m_reportedSinceId = false;
};

}  // namespace zk4
