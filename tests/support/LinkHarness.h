// The link with a fake port, a fake clock and a view that records what the window would show.
// No QApplication: everything runs on the test's thread.
#pragma once

#include <algorithm>
#include <functional>
#include <string>
#include <vector>

#include "SimDevice.h"
#include "supervision/Link.h"
#include "support/FakeClock.h"
#include "support/FakeSerialPort.h"

namespace zk4::test {

struct RecordedMessage {
    std::string text;
    MessageIcon icon;
};

struct RecordingView final : LinkView {
    void ShowDeviceValues(const DeviceValues& v) override { values = v; }
    void ShowRunningValues(const DeviceValues& v) override {
        values = v;
        ++runningShows;
    }
    void PollAnswered(const DeviceValues& v) override { polls.push_back(v); }
    void ShowState(LinkState s) override { state = s; }
    void EnableSettings(SettingControls c) override { settings = c; }
    void ResetEntries() override {}
    // While it is "open", onMessage runs what the box's nested loop would deliver.
    void ShowMessage(const LinkMessage& m) override {
        messages.push_back({m.text.English(), m.icon});
        kinds.push_back(m.kind);
        valuesAtMessage.push_back(values);
        openMessages = std::max(openMessages, ++open);
        onMessage();
        --open;
    }
    void SettingsChecked(bool taken) override { checks.push_back(taken); }
    void StartTimer() override { timer = true; }
    void StopTimer() override { timer = false; }
    void SavePort(const std::string& port) override { saved.push_back(port); }

    DeviceValues values;
    LinkState state = LinkState::Stopped;
    SettingControls settings;
    std::vector<RecordedMessage> messages;
    std::vector<LinkMessage::Kind> kinds;
    std::vector<DeviceValues> valuesAtMessage;  // what the boxes showed when each message came
    int open = 0, openMessages = 0;             // messages open now, and at most at once
    std::function<void()> onMessage = [] {};
    std::vector<DeviceValues> polls;
    std::vector<bool> checks;
    int runningShows = 0;
    bool timer = false;
    std::vector<std::string> saved;
};

// Identification lines with correct checksums, as the device sends them.
inline const std::string kIdJ1939_001 = "ACK IDA2100000000003\r\n";  // serial 1
inline const std::string kIdJ1708_003 = "ACK ID65876543210051\r\n";  // 305419896
inline const std::string kFirmwareOk = "AT FW=0.5N\r\n";
inline const std::string kBurst = "AT FW=?\r\nAT ID?\r\nAT RALL\r\n";
inline const std::string kPoll = "AT RALL\r\n";

struct LinkHarness {
    LinkHarness() { link.Start(false); }

    void Device(std::string_view bytes) { port.Receive(bytes); }
    // What went out since the last call.
    std::string Wire() {
        std::string text = port.WrittenText();
        port.ClearWritten();
        return text;
    }

    FakeClock clock{1000, 1};
    FakeSerialPort port{&clock};
    RxWindow window;
    RecordingView view;
    Link link{port, clock, window, view};
};

}  // namespace zk4::test
