// The link with a fake port, a fake clock and a view that records what the window would show.
// No QApplication: everything runs on the test's thread.
#pragma once

#include <functional>
#include <numeric>
#include <string>
#include <vector>

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
    void ShowState(LinkState s) override { state = s; }
    void EnableSettings(SettingControls c) override { settings = c; }
    void ResetEntries() override {}
    void ShowMessage(const std::string& text, MessageIcon icon) override {
        messages.push_back({text, icon});
        if (onMessage) {
            onMessage();  // what the box's nested loop delivers
        }
    }
    void StartTimer() override { timer = true; }
    void StopTimer() override { timer = false; }
    void SavePort(const std::string& port) override { saved.push_back(port); }

    DeviceValues values;
    LinkState state = LinkState::Stopped;
    SettingControls settings;
    std::vector<RecordedMessage> messages;
    std::function<void()> onMessage;
    bool timer = false;
    std::vector<std::string> saved;
};

// Identification lines with correct checksums, as the device sends them.
inline constexpr std::string_view kIdJ1939_001 = "ACK IDA2100000000003\r\n";  // serial 1
inline constexpr std::string_view kIdJ1708_003 = "ACK ID65876543210051\r\n";  // 305419896
inline constexpr std::string_view kFirmwareOk = "AT FW=0.5N\r\n";
inline const std::string kConnectBurst = "AT FW=?\r\nAT ID?\r\nAT RALL\r\n";
inline const std::string kPoll = "AT RALL\r\n";

// An identification line: pairs with the low-nibble character first, two free characters, and
// the checksum that makes bytes 0..17 plus itself sum to 0 (one off when asked).
inline std::string MakeIdLine(std::uint8_t code, std::uint32_t serialNo, bool goodChecksum = true) {
    std::string line = "ACK ID";
    const char* hex = "0123456789ABCDEF";
    const auto pair = [&](unsigned b) { line += {hex[b & 0xF], hex[(b >> 4) & 0xF]}; };
    for (unsigned b :
         {unsigned{code}, serialNo, serialNo >> 8, serialNo >> 16, serialNo >> 24, 0u}) {
        pair(b & 0xFF);
    }
    const unsigned sum = std::accumulate(line.begin(), line.end(), 0u,
                                         [](unsigned s, char c) { return s + std::uint8_t(c); });
    pair((goodChecksum ? 0 : 1) - sum);
    return line + "\r\n";
}

struct LinkHarness {
    LinkHarness() { link.Start(false); }

    void Device(std::string_view bytes) { port.Receive(bytes); }
    void Identify(std::string_view firmware = kFirmwareOk, std::string_view id = kIdJ1939_001) {
        link.Connect("COM1");
        Device(firmware);
        Device(id);
    }
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
