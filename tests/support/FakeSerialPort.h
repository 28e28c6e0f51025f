// A serial port for unit and dialog tests: records every call and every written byte with
// the clock reading at the time, lets the test queue received bytes and fire notifications,
// and can be told to refuse an open or a write.
#pragma once

#include <algorithm>
#include <cstdint>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include "serial/SerialPort.h"
#include "support/FakeClock.h"

namespace zk4::test {

class FakeSerialPort final : public SerialPort {
  public:
    struct WrittenByte {
        std::uint8_t byte;
        std::uint32_t at;  // clock reading when written (0 without a clock)
    };

    explicit FakeSerialPort(FakeClock* clock = nullptr) : m_clock(clock) {}

    bool IsOpen() const override { return open; }
    void Close() override {
        Call("close");
        open = false;
    }
    void SelectPort(int number) override { Call("select " + std::to_string(selected = number)); }
    void Open() override {
        Call("open");
        if (refuseOpen) {
            throw SerialError({"%1", {*refuseOpen}});
        }
        open = true;
    }
    void Configure(const PortConfig& c) override {
        Call("configure");
        config = c;
    }
    void Write(std::span<const std::uint8_t> bytes) override {
        if (!open || refuseWrite) {
            throw SerialError({"%1", {refuseWrite.value_or("The port is not open.")}});
        }
        for (auto b : bytes) {
            written.push_back({b, m_clock ? m_clock->now : 0u});
        }
        ++writeCalls;
    }
    std::vector<std::uint8_t> ReadAll() override {
        Call("read");
        return std::exchange(pending, {});
    }
    void SetReceiveHandler(ReceiveHandler handler) override { m_handler = std::move(handler); }

    // Queue bytes as if the device sent them, then notify as the port would.
    void Receive(std::string_view text, int code = kCommEventReceive) {
        pending.insert(pending.end(), text.begin(), text.end());
        m_handler(code);
    }
    std::string WrittenText() const {
        std::string text(written.size(), '\0');
        std::ranges::transform(written, text.begin(), &WrittenByte::byte);
        return text;
    }
    void ClearWritten() { written.clear(); }

    bool open = false;
    int selected = 0, writeCalls = 0;
    PortConfig config;
    std::vector<std::string> calls;
    std::vector<std::uint8_t> pending;
    std::vector<WrittenByte> written;
    std::optional<std::string> refuseOpen, refuseWrite;

  private:
    void Call(std::string name) { calls.push_back(std::move(name)); }
    FakeClock* m_clock;
    ReceiveHandler m_handler = [](int) {};
};

}  // namespace zk4::test
