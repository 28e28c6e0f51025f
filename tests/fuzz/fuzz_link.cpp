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
#include <cmath>
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
class Port final : public zk4::SerialPort {
  public:
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
            written.push_back({byte, event});
        }
    }
    std::vector<std::uint8_t> ReadAll() override { return std::exchange(pending, {}); }
    void SetReceiveHandler(ReceiveHandler h) override { handler = std::move(h); }

    struct Byte {
        std::uint8_t value;
        int event;
    };
    bool open = false, refuseOpen = false, gone = false;
    int event = 0;
    std::vector<Byte> written;
    std::vector<std::uint8_t> pending;
    ReceiveHandler handler;
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

struct Fuzz;

// The window as the link sees it: a timer model and the enabled buttons.
struct View final : zk4::LinkView {
    explicit View(Fuzz& f) : fuzz(f) {}
    void ShowDeviceValues(const zk4::DeviceValues&) override {}
    void ShowState(LinkState s) override { state = s; }
    void EnableSettings(zk4::SettingControls c) override { settings = c; }
    void ResetEntries() override {}
    void ShowMessage(const zk4::LinkMessage&) override;
    void StartTimer() override;
    void StopTimer() override { due.reset(); }
    void SavePort(const std::string&) override {}

    Fuzz& fuzz;
    LinkState state = LinkState::Stopped;
    zk4::SettingControls settings;
    std::optional<std::uint32_t> due;  // when the timer fires next
    int open = 0;
};

struct Fuzz {
    explicit Fuzz(const std::uint8_t* data, std::size_t size) : input(data, size) {
        link.Start(false);
    }

    void Run() {
        while (input.remaining_bytes() > 0 && !ended) {
            Event(0);
        }
    }

    // One event, and the checks after it.
    void Event(int depth) {
        const int id = ++events;
        std::uint32_t start = clock.now;
        const int outer = std::exchange(port.event, id);
        const std::size_t before = port.written.size();
        std::optional<std::string> expected;  // the setting commands this event may send
        bool tick = false;
        switch (input.ConsumeIntegralInRange<int>(0, 10)) {
            case 0:
            case 1:
                if (view.due) {
                    clock.now = *view.due;
                    view.due = *view.due + 1000;
                    tick = true;
                }
                start = clock.now;
                link.Tick(portEntry);
                break;
            case 2:
                if (!link.Identified()) {  // Connect is enabled
                    link.Connect(portEntry);
                }
                break;
            case 3:
                if (link.Identified() || view.state == LinkState::Retrying) {
                    link.Disconnect();
                }
                break;
            case 4:
            case 5:
                if (view.settings.changeButtons) {
                    // The window gives both values; the command line may give one.
                    std::optional<std::string> cylinders;
                    std::optional<double> hz;
                    if (input.ConsumeIntegralInRange<int>(0, 3) != 0) {
                        cylinders = input.PickValueInArray(kCylinders);
                    }
                    if (input.ConsumeIntegralInRange<int>(0, 3) != 0) {
                        hz = input.PickValueInArray(kHz);
                    }
                    expected = Expected(cylinders, hz);
                    link.ProceedToChange(cylinders, hz);
                }
                break;
            case 6:
                if (view.settings.changeButtons) {
                    expected = Expected("4", 1.7881);
                    link.FactoryDefault();
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
                if (depth == 0 && input.ConsumeIntegralInRange<int>(0, 15) == 0) {
                    link.CloseForExit();
                    ended = true;
                } else {
                    portEntry = input.PickValueInArray(kPorts);
                }
                break;
        }
        Check(id, before, tick ? std::optional(start) : std::nullopt, expected);
        if (!tick) {
            clock.now += input.ConsumeIntegralInRange<std::uint32_t>(0, 300);
        }
        port.event = outer;
    }

    // What Proceed to Change may send for the identified variant.
    std::string Expected(const std::optional<std::string>& cylinders,
                         std::optional<double> hz) const {
        std::string text;
        if (cylinders && view.settings.cylinders) {
            const auto c = zk4::BuildCylinderCommand(*cylinders);
            text.append(c.bytes.begin(), c.bytes.begin() + c.length);
        }
        if (hz && view.settings.hzPerMph) {
            if (const auto h = zk4::BuildHzPerMphCommand(*hz)) {
                text.append(h->bytes.begin(), h->bytes.begin() + h->length);
            }
        }
        return text;
    }

    // `tickAt`: the time of the tick this event was.
    void Check(int id, std::size_t before, std::optional<std::uint32_t> tickAt,
               const std::optional<std::string>& expected) {
        const LinkState s = link.State();
        const bool runs =
            s == LinkState::Searching || s == LinkState::Retrying || s == LinkState::Linked;
        ZK4_CHECK(view.state == s);
        ZK4_CHECK(view.due.has_value() == runs);
        ZK4_CHECK(link.TimerRunning() == runs);
        ZK4_CHECK(view.open <= 1);
        // This event's own bytes (a box's nested events wrote theirs under their own ids).
        std::string mine;
        for (std::size_t i = before; i < port.written.size(); ++i) {
            if (port.written[i].event == id) {
                mine += static_cast<char>(port.written[i].value);
            }
        }
        const bool settings =
            mine.find("AT CN=") != std::string::npos || mine.find("AT HZ=") != std::string::npos;
        ZK4_CHECK(!settings || (expected && mine == *expected));
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
    View view{*this};
    zk4::Link link{port, clock, window, view};
    std::string portEntry = "COM1";
    std::optional<std::uint32_t> lastBurst;
    int events = 0;
    int depth = 0;
    bool ended = false;
};

void View::ShowMessage(const zk4::LinkMessage&) {
    ++open;
    // What the box's nested loop delivers while it is open.
    if (fuzz.depth < 2) {
        ++fuzz.depth;
        for (int n = fuzz.input.ConsumeIntegralInRange<int>(0, 4); n > 0 && !fuzz.ended; --n) {
            fuzz.Event(fuzz.depth);
        }
        --fuzz.depth;
    }
    --open;
}

void View::StartTimer() {
    due = fuzz.clock.now + 1000;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    Fuzz fuzz(data, size);
    fuzz.Run();
    return 0;
}
