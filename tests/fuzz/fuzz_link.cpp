// The link's state machine: fuzz bytes become a sequence of ticks (when the timer is due),
// clicks on the buttons the window has enabled, typed port names, device lines, refused opens,
// hang-ups and replugs; a message's box runs more of them while it is open. After every event:
//   - the timer runs exactly in Searching, Retrying and Linked, as the view was told;
//   - nothing is written while the port is closed;
//   - setting commands go out only for Proceed to Change or Factory Default, with the values
//     given;
//   - at most one message is open at a time;
//   - a tick never sends a connect burst within 900 ms of the previous one.
#include <fuzzer/FuzzedDataProvider.h>

#include <array>
#include <optional>
#include <string>
#include <vector>

#include "FuzzCheck.h"
#include "protocol/HostCommands.h"
#include "supervision/Link.h"
#include "support/FakeClock.h"

namespace {

using zk4::LinkState;

// A port that keeps, for every byte written, the event that wrote it.
struct Port final : zk4::SerialPort {
    bool IsOpen() const override { return open; }
    void Close() override { open = false; }
    void SelectPort(int) override {}
    void Open() override {
        if (refuseOpen) {
            throw zk4::SerialError({"refused", {}});
        }
        open = true;
    }
    void Configure(const zk4::PortConfig&) override {}
    void Write(std::span<const std::uint8_t> bytes) override {
        ZK4_CHECK(open);  // nothing is written while the port is closed
        if (gone) {
            throw zk4::SerialError({"gone", {}});
        }
        for (const std::uint8_t byte : bytes) {
            written.emplace_back(static_cast<char>(byte), event);
        }
    }
    std::vector<std::uint8_t> ReadAll() override { return std::exchange(pending, {}); }
    void SetReceiveHandler(ReceiveHandler) override {}

    bool open = false, refuseOpen = false, gone = false;
    int event = 0;
    std::vector<std::pair<char, int>> written;  // each byte with its event
    std::vector<std::uint8_t> pending;
};

// clang-format off
const std::array<std::string, 16> kLines = {
    "AT FW=0.5N\r\n", "AT FW=0.5M2\r\n", "ACK IDA2100000000003\r\n", "ACK ID65876543210051\r\n",
    "ACK IDC2FFFFFFFF00A8\r\n", "ACK ID03FFFFFFFF0043\r\n", "ACK IDA2100000000004\r\n",
    "AT CN=6\r\n", "AT HZVSMPH=2.5000\r\n", "AT CN=4\r\nAT HZVSMPH=1.7881\r\n",
    "AT RPM=650\r\nAT DV=13.8\r\nAT MPH=0\r\n", "ACK OK\r\n", "xyAT RPM=1\r\n", "AT MP", "AT\r\n",
    "HELLO\r\n"};
// clang-format on
const std::array<std::string, 6> kPorts = {"COM1", "COM12", "CO", "/dev/ttyUSB3", "", "COM31"};
const std::array<std::string, 7> kCylinders = {"6", "12", "1", "0", "13", "04", ""};
const std::array<double, 6> kHz = {2.5, 1.7881, 0.25, 99.9999, 100.0, 0.2};

struct Fuzz final : zk4::LinkView {
    explicit Fuzz(const std::uint8_t* data, std::size_t size) : input(data, size) {
        link.Start(false);
        while (input.remaining_bytes() > 0 && !ended) {
            Event(0);
        }
    }

    // The window as the link sees it: a timer model, the enabled buttons, the message boxes.
    void ShowDeviceValues(const zk4::DeviceValues&) override {}
    void ShowState(LinkState s) override { state = s; }
    void EnableSettings(zk4::SettingControls c) override { settings = c; }
    void ResetEntries() override {}
    void StartTimer() override { due = clock.now + 1000; }
    void StopTimer() override { due.reset(); }
    void SavePort(const std::string&) override {}
    void ShowMessage(const zk4::LinkMessage&) override {
        ++open;
        for (int n = depth < 2 ? input.ConsumeIntegralInRange<int>(0, 4) : 0; n > 0 && !ended;
             --n) {
            Event(depth + 1);  // what the box's nested loop delivers while it is open
        }
        --open;
    }

    // One event, and the checks after it.
    void Event(int level) {
        const int id = ++events;
        const int outer = std::exchange(port.event, id);
        const int outerDepth = std::exchange(depth, level);
        const std::size_t before = port.written.size();
        std::optional<std::string> expected;  // the setting commands this event may send
        std::optional<std::uint32_t> tickAt;
        switch (input.ConsumeIntegralInRange<int>(0, 10)) {
            case 0:
            case 1:
                if (due) {
                    clock.now = *std::exchange(due, *due + 1000);
                    tickAt = clock.now;
                }
                link.Tick(portEntry);  // without a due time: a tick queued before a stop
                break;
            case 2:
                if (!link.Identified()) {  // Connect is enabled
                    link.Connect(portEntry);
                }
                break;
            case 3:
                if (link.Identified() || state == LinkState::Retrying) {
                    link.Disconnect();
                }
                break;
            case 4:
            case 5:
            case 6:
                if (settings.changeButtons) {
                    // The window gives both values, the command line may give one; Factory
                    // Default gives 4 and 1.7881.
                    const bool factory = input.ConsumeIntegralInRange<int>(0, 2) == 0;
                    std::optional<std::string> cylinders =
                        factory ? "4" : std::optional<std::string>();
                    std::optional<double> hz = factory ? std::optional(1.7881) : std::nullopt;
                    if (!factory && input.ConsumeIntegralInRange<int>(0, 3) != 0) {
                        cylinders = input.PickValueInArray(kCylinders);
                    }
                    if (!factory && input.ConsumeIntegralInRange<int>(0, 3) != 0) {
                        hz = input.PickValueInArray(kHz);
                    }
                    expected = Expected(cylinders, hz);
                    factory ? link.FactoryDefault() : link.ProceedToChange(cylinders, hz);
                }
                break;
            case 7: {
                const std::string bytes = input.ConsumeBool() ? input.PickValueInArray(kLines)
                                                              : input.ConsumeRandomLengthString(40);
                port.pending.insert(port.pending.end(), bytes.begin(), bytes.end());
                link.OnCommEvent(zk4::kCommEventReceive);
                break;
            }
            case 8:
                port.refuseOpen = !port.refuseOpen;
                break;
            case 9:
                port.gone = !port.gone;
                break;
            case 10:
                if (level == 0 && input.ConsumeIntegralInRange<int>(0, 15) == 0) {
                    link.CloseForExit();
                    ended = true;
                } else {
                    portEntry = input.PickValueInArray(kPorts);
                }
                break;
        }
        Check(id, before, tickAt, expected);
        if (!tickAt) {
            clock.now += input.ConsumeIntegralInRange<std::uint32_t>(0, 300);
        }
        port.event = outer;
        depth = outerDepth;
    }

    // What Proceed to Change may send for the identified variant.
    std::string Expected(const std::optional<std::string>& cylinders,
                         std::optional<double> hz) const {
        std::string text;
        if (cylinders && settings.cylinders) {
            const zk4::HostCommand c = zk4::BuildCylinderCommand(*cylinders);
            text.append(c.View().begin(), c.View().end());
        }
        const auto h = hz && settings.hzPerMph ? zk4::BuildHzPerMphCommand(*hz) : std::nullopt;
        if (h) {
            text.append(h->View().begin(), h->View().end());
        }
        return text;
    }

    void Check(int id, std::size_t before, std::optional<std::uint32_t> tickAt,
               const std::optional<std::string>& expected) {
        const LinkState s = link.State();
        const bool runs =
            s == LinkState::Searching || s == LinkState::Retrying || s == LinkState::Linked;
        ZK4_CHECK(state == s);
        ZK4_CHECK(due.has_value() == runs);
        ZK4_CHECK(link.TimerRunning() == runs);
        ZK4_CHECK(open <= 1);
        std::string mine;  // this event's own bytes; a box's nested events have their own ids
        for (std::size_t i = before; i < port.written.size(); ++i) {
            mine += port.written[i].second == id ? std::string(1, port.written[i].first) : "";
        }
        const bool settingCommand =
            mine.find("AT CN=") != std::string::npos || mine.find("AT HZ=") != std::string::npos;
        ZK4_CHECK(!settingCommand || (expected && mine == *expected));
        if (mine.find("AT FW=?") != std::string::npos) {
            const std::uint32_t at = tickAt.value_or(clock.now);
            ZK4_CHECK(!tickAt || !lastBurst || at - *lastBurst >= 900);
            lastBurst = at;
        }
    }

    FuzzedDataProvider input;
    zk4::test::FakeClock clock{1000, 0, 1};
    Port port;
    zk4::RxWindow window;
    zk4::Link link{port, clock, window, *this};
    LinkState state = LinkState::Stopped;
    zk4::SettingControls settings;
    std::optional<std::uint32_t> due;  // when the timer fires next
    std::string portEntry = "COM1";
    std::optional<std::uint32_t> lastBurst;
    int events = 0, depth = 0, open = 0;
    bool ended = false;
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Fuzz fuzz(data, size);
    return 0;
}
